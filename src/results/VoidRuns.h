#pragma once

#include "Run.h"
#include "race/RaceCommand.h"

#include <QObject>

class TJournalRecorder;
class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
struct Race;

// Declares runs void and takes that back. The runs stay in the results database, marked; the
// journal says so; a void run's results leave its protocol row while the row shows that run.
// Voiding the last heat also puts its start numbers back into the lanes for the re-run.
class TVoidRuns : public QObject {
    Q_OBJECT
public:
    TVoidRuns(TResultsDatabase& results, TProtocolModel& protocol, Race& race,
              TRaceSequence& sequence, TJournalRecorder& journal, QObject* parent = nullptr);

    // The last heat's runs by lane ([1], [2]); a lane without a run has none.
    struct LastHeat {
        int heat = 0;
        std::optional<TRun> runs[3];
    };
    LastHeat Last() const;
    // A heat with runs is there and no clock runs.
    bool CanVoidLastHeat() const;
    // lanes: 0 both, 1 or 2 one of them.
    void VoidLastHeat(int lanes, const QString& reason, TCommandSource source);
    // Any run, also of an earlier day.
    void VoidRun(const TRun& run, const QString& reason, TCommandSource source);
    void Unvoid(const TRun& run, TCommandSource source);

signals:
    // A run was declared void or taken back: its heat's START and lane, for the displays.
    void RunVoided(const TRun& run, bool voided);

private:
    void SetVoid(const TRun& run, bool voided, const QString& reason, TCommandSource source);
    // The protocol row of the run's start number, while it shows this run; 0 otherwise.
    int ShownRow(const TRun& run) const;

    TResultsDatabase& results_;
    TProtocolModel& protocol_;
    Race& race_;
    TRaceSequence& sequence_;
    TJournalRecorder& journal_;
};
