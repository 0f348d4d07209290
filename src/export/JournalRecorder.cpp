#include "JournalRecorder.h"

#include "Journal.h"
#include "protocol/ProtocolModel.h"
#include "race/Plausibility.h"
#include "race/Race.h"
#include "race/RaceSequence.h"

TJournalRecorder::TJournalRecorder(TJournal& journal, const Race& race, TRaceSequence& sequence,
                                   TComPort& port, TPlausibility& plausibility,
                                   const TProtocolModel& protocol, QObject* parent)
    : QObject(parent), journal_(journal), race_(race), port_(port), protocol_(protocol) {
    connect(&port, &TComPort::OnLineEvent, this,
            [this](TComPort* sender) { journal_.LineEvent(sender->LastEvent()); });
    connect(&port, &TComPort::OnOpen, this, [this] {
        const int latency = port_.Condition().latencyMs;
        journal_.Port(QStringLiteral("geöffnet"),
                      PortName() + (latency >= 0 ? QStringLiteral("; Latenz %1 ms").arg(latency)
                                                 : QString()));
    });
    connect(&port, &TComPort::OnClose, this,
            [this] { journal_.Port(QStringLiteral("geschlossen"), PortName()); });
    connect(&port, &TComPort::OnConditionChanged, this, &TJournalRecorder::ConditionChanged);

    const THeatModel& heat = race.heat;
    connect(&sequence, &TRaceSequence::CommandGiven, this,
            [this](TRaceCommand command, int lane, TCommandSource source, qint64 ticks) {
                const THeatModel& heat = race_.heat;
                QString numbers;
                if (command == TRaceCommand::Start)
                    numbers = heat.StartNumberText(1) + u'/' + heat.StartNumberText(2);
                else if (lane)
                    numbers = heat.StartNumberText(lane);
                journal_.Command(RaceCommandName(command), CommandSourceName(source), lane, numbers,
                                 ticks);
                if (command == TRaceCommand::Start) journal_.SetHeatRunning(true);
                if (command == TRaceCommand::Reset) {
                    journal_.SetHeatRunning(false);
                    journal_.Sync();
                }
            });
    connect(&sequence, &TRaceSequence::HeatFinished, this, [this] {
        journal_.SetHeatRunning(false);
        journal_.Sync();
    });
    connect(&heat, &THeatModel::LaneResultShown, this, [this](int lane, const LaneResult& result) {
        // As the row shows it; a lane whose row is gone has only its own texts.
        const QString number = race_.heat.StartNumberText(lane);
        const int row = protocol_.FindStartRow(number);
        const QStringList cells = row ? ResultCells(row)
                                      : QStringList{result.reaction, result.intermediate,
                                                    result.speed, result.finalTime, QString()};
        journal_.Result(lane, number, race_.heat.Lane(lane).stopTicks, cells);
    });
    connect(&plausibility, &TPlausibility::Warned, this,
            [this](int lane, const QString& startNumber, const TPlausibilityWarning& warning,
                   qint64 ticks) {
                journal_.Warning(lane, startNumber, ticks, warning.rule, warning.text);
            });
}

QString TJournalRecorder::PortName() const {
    return ComPortDisplayName(port_.Port(), port_.Condition().product);
}

QStringList TJournalRecorder::ResultCells(int row) const {
    QStringList cells;
    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
        cells << protocol_.Cell(row, column);
    return cells;
}

void TJournalRecorder::ConditionChanged() {
    const TPortCondition& now = port_.Condition();
    if (now.lost && !journaled_.lost) journal_.Port(QStringLiteral("getrennt"), PortName());
    if (now.polled && !journaled_.polled)
        journal_.Port(QStringLiteral("fragt ab"),
                      QStringLiteral("Der Treiber kann nicht auf Änderungen warten"));
    journaled_ = now;
}

void TJournalRecorder::ProtocolCommand(const QString& name, TCommandSource source, int row,
                                       const QString& text) {
    const QString number = row ? protocol_.Cell(row, ColStartNr) : QString();
    journal_.Command(name, CommandSourceName(source), 0, number, race_.HighResTimer1.NowTicks(),
                     row ? ResultCells(row) : QStringList(), text);
}

void TJournalRecorder::RunCommand(const QString& name, TCommandSource source, int lane,
                                  const QString& startNumber, const QStringList& cells,
                                  const QString& text) {
    journal_.Command(name, CommandSourceName(source), lane, startNumber,
                     race_.HighResTimer1.NowTicks(), cells, text);
}

void TJournalRecorder::LineTest(bool running) {
    journal_.Port(running ? QStringLiteral("Leitungstest an") : QStringLiteral("Leitungstest aus"),
                  QString());
}
