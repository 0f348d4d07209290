#pragma once

#include "Run.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>

class TPlausibility;
class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
struct LaneResult;
struct Race;
struct TPlausibilityWarning;

// Records each lane's result as a run as the heat goes: the heat at START, a lane's run when it
// stops (from its protocol row as the stop left it), its plausibility warnings, and the winner
// mark as the rows show it whenever the heat's runs change. The crash mark and the joker are
// handed to it after they ran. Nothing the protocol does besides removes or changes a run.
class TRunRecorder : public QObject {
    Q_OBJECT
public:
    using WallClock = std::function<QDateTime()>;

    TRunRecorder(TResultsDatabase& database, const Race& race, TRaceSequence& sequence,
                 TPlausibility& plausibility, const TProtocolModel& protocol,
                 QObject* parent = nullptr);

    void SetWallClock(WallClock clock) { clock_ = std::move(clock); }

    // The row's results became "-" (F4): the row's run in the heat, or its latest of the day.
    void RowCrashed(int row);
    // The joker was given or taken on the row.
    void JokerToggled(int row);

private:
    void Started(qint64 ticks);
    void LaneShown(int lane, const LaneResult& result);
    void Warned(int lane, const TPlausibilityWarning& warning);
    // The runs of the row's start number: those of the heat's lanes that carry it, else its
    // latest of the race day. Lanes of the heat that have not stopped yet are marked pending.
    void MarkRow(int row, bool crashed);
    void FollowWinners();
    bool Winner(int lane, const TRun& run) const;
    QDateTime WallAt(qint64 ticks) const;

    TResultsDatabase& database_;
    const Race& race_;
    const TProtocolModel& protocol_;
    WallClock clock_;
    bool heatOpen_ = false; // from START (or a stop outside a heat) to the reset
    bool crashPending_[3] = {};
    QStringList warningsPending_[3];
};
