#pragma once

#include "race/RaceCommand.h"
#include "serial/ComPort.h"

#include <QObject>

class TJournal;
class TPlausibility;
class TProtocolModel;
class TRaceSequence;
struct Race;

// Writes the race day into the journal as it happens: the port's line events and condition,
// the heat's commands with their source, each lane's result as its row shows it, and the
// plausibility warnings. Commands on the protocol are handed to it after they ran.
class TJournalRecorder : public QObject {
    Q_OBJECT
public:
    TJournalRecorder(TJournal& journal, const Race& race, TRaceSequence& sequence, TComPort& port,
                     TPlausibility& plausibility, const TProtocolModel& protocol,
                     QObject* parent = nullptr);

    // A command on the protocol, after it ran; with the row's results when it acted on a row.
    void ProtocolCommand(const QString& name, TCommandSource source, int row = 0,
                         const QString& text = {});
    // A command on a recorded run (declared void, taken back): its lane, start number and
    // result texts, and why.
    void RunCommand(const QString& name, TCommandSource source, int lane,
                    const QString& startNumber, const QStringList& cells, const QString& text);
    // The line test begins or ends: the lines' events meanwhile start and stop nothing.
    void LineTest(bool running);

private:
    QString PortName() const;
    QStringList ResultCells(int row) const;
    void ConditionChanged();

    TJournal& journal_;
    const Race& race_;
    TComPort& port_;
    const TProtocolModel& protocol_;
    TPortCondition journaled_;
};
