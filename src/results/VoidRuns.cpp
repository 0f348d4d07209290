#include "VoidRuns.h"

#include "ResultsDatabase.h"
#include "export/JournalRecorder.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "race/RaceSequence.h"

TVoidRuns::TVoidRuns(TResultsDatabase& results, TProtocolModel& protocol, Race& race,
                     TRaceSequence& sequence, TJournalRecorder& journal, QObject* parent)
    : QObject(parent), results_(results), protocol_(protocol), race_(race), sequence_(sequence),
      journal_(journal) {}

TVoidRuns::LastHeat TVoidRuns::Last() const {
    LastHeat last;
    for (const TRun& run : results_.Runs())
        if (run.heat > last.heat) last.heat = run.heat;
    for (const TRun& run : results_.Runs())
        if (run.heat == last.heat && (run.lane == 1 || run.lane == 2)) last.runs[run.lane] = run;
    return last;
}

bool TVoidRuns::CanVoidLastHeat() const {
    const LastHeat last = Last();
    const bool anyRun =
        (last.runs[1] && !last.runs[1]->voided) || (last.runs[2] && !last.runs[2]->voided);
    return anyRun && !race_.heat.Racing();
}

int TVoidRuns::ShownRow(const TRun& run) const {
    const int row = protocol_.FindStartRow(run.startNumber);
    if (!row) return 0;
    for (const TRun& latest : results_.LatestRuns(run.startNumber))
        if (latest.id == run.id) return row;
    return 0;
}

void TVoidRuns::SetVoid(const TRun& run, bool voided, const QString& reason,
                        TCommandSource source) {
    if (run.voided == voided) return;
    if (voided)
        results_.Void({run.id}, reason);
    else
        results_.Unvoid({run.id});
    if (const int row = ShownRow(run)) {
        // Taken back, the row shows the run's results again, as they stood.
        QStringList cells;
        if (!voided)
            cells = {run.reaction, run.intermediate, run.speed, run.finalTime,
                     run.winner ? QStringLiteral("+") : QString()};
        protocol_.SetRowResults(row, cells);
    }
    const QString text = QStringLiteral("Lauf %1").arg(run.heat) +
                         (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    journal_.RunCommand(voided ? QStringLiteral("UNGÜLTIG") : QStringLiteral("GÜLTIG"), source,
                        run.lane, run.startNumber,
                        {run.reaction, run.intermediate, run.speed, run.finalTime,
                         run.winner ? QStringLiteral("+") : QString()},
                        text);
    TRun changed = run;
    changed.voided = voided;
    changed.voidReason = voided ? reason : QString();
    emit RunVoided(changed, voided);
}

void TVoidRuns::VoidLastHeat(int lanes, const QString& reason, TCommandSource source) {
    if (!CanVoidLastHeat()) return;
    const LastHeat last = Last();
    THeatModel& heat = race_.heat;
    // The heat is over but still on the clocks: the reset clears them for the re-run.
    if (heat.ResetOpen()) {
        TRaceSequence::TSourceScope scope(sequence_, source);
        sequence_.bRESETClick();
    }
    for (int lane = 1; lane <= 2; ++lane) {
        if ((lanes != 0 && lanes != lane) || !last.runs[lane]) continue;
        const TRun& run = *last.runs[lane];
        SetVoid(run, true, reason, source);
        // The racer runs again from this lane; whoever was due moves back to "Bereit".
        const int number = run.startNumber.toInt();
        if (number > 0 && heat.Lane(lane).startNumber != number) {
            heat.SetReadyNumber(lane, heat.Lane(lane).startNumber);
            heat.SetStartNumber(lane, number);
        }
    }
}

void TVoidRuns::VoidRun(const TRun& run, const QString& reason, TCommandSource source) {
    SetVoid(run, true, reason, source);
}

void TVoidRuns::Unvoid(const TRun& run, TCommandSource source) {
    SetVoid(run, false, {}, source);
}
