#include "RunRecorder.h"

#include "ResultsDatabase.h"
#include "protocol/ProtocolModel.h"
#include "race/Plausibility.h"
#include "race/Race.h"
#include "race/RaceSequence.h"

#include <QLocale>

#include <algorithm>

namespace {

const QString kMark = QStringLiteral("+");

int OtherLane(int lane) {
    return lane == 1 ? 2 : 1;
}

} // namespace

TRunRecorder::TRunRecorder(TResultsDatabase& database, const Race& race, TRaceSequence& sequence,
                           TPlausibility& plausibility, const TProtocolModel& protocol,
                           QObject* parent)
    : QObject(parent), database_(database), race_(race), protocol_(protocol) {
    connect(&sequence, &TRaceSequence::CommandGiven, this,
            [this](TRaceCommand command, int, TCommandSource, qint64 ticks) {
                if (command == TRaceCommand::Start) Started(ticks);
            });
    connect(&sequence, &TRaceSequence::DisplayReset, this, [this] { heatOpen_ = false; });
    // Emitted after the row is written: the run takes the row as the stop left it.
    connect(&race.heat, &THeatModel::LaneResultShown, this, &TRunRecorder::LaneShown);
    connect(&plausibility, &TPlausibility::Warned, this,
            [this](int lane, const QString&, const TPlausibilityWarning& warning) {
                Warned(lane, warning);
            });
}

QDateTime TRunRecorder::WallAt(qint64 ticks) const {
    // The instant was stamped a moment ago (a barrier's, by the wait thread); the wall clock is
    // read now, so it is taken back by as much.
    const QDateTime now = clock_ ? clock_() : QDateTime::currentDateTime();
    return now.addMSecs(-std::max<qint64>(0, TicksToMs(race_.HighResTimer1.NowTicks() - ticks)));
}

void TRunRecorder::Started(qint64 ticks) {
    database_.BeginHeat(WallAt(ticks), ticks);
    heatOpen_ = true;
    for (int lane = 1; lane <= 2; ++lane) {
        crashPending_[lane] = false;
        warningsPending_[lane].clear();
    }
}

void TRunRecorder::LaneShown(int lane, const LaneResult& result) {
    const THeatModel& heat = race_.heat;
    const qint64 stopTicks = heat.Lane(lane).stopTicks;
    // A false start given between heats (a barrier broken before START) is a heat of its own.
    if (!heatOpen_) Started(stopTicks);

    // Stopped again (a false start after its stop): the lane's run of the heat changes.
    TRun run = database_.HeatRun(lane).value_or(TRun());
    run.lane = lane;
    run.startNumber = heat.StartNumberText(lane);
    run.opponentNumber = heat.StartNumberText(OtherLane(lane));
    if (const int row = protocol_.FindStartRow(run.startNumber)) {
        run.name = protocol_.Cell(row, ColName);
        run.firstName = protocol_.Cell(row, ColFirstName);
        run.vehicle = protocol_.Cell(row, ColVehicle);
        run.engine = protocol_.Cell(row, ColEngine);
        run.classInfo = protocol_.Cell(row, ColClass);
        run.reaction = protocol_.Cell(row, ColReaction);
        run.intermediate = protocol_.Cell(row, ColIntermediate);
        run.speed = protocol_.Cell(row, ColSpeed);
        run.finalTime = protocol_.Cell(row, ColTime);
    } else if (result.marked) { // as the row would show it
        run.reaction = run.intermediate = run.speed = QString();
        run.finalTime = QStringLiteral("-");
    } else {
        run.reaction = result.reaction;
        run.intermediate = result.intermediate;
        run.speed = result.speed;
        run.finalTime = result.finalTime;
    }
    run.falseStart = result.marked;
    run.finalMs = result.marked ? -1 : TicksToMs(stopTicks - heat.state.StartTicks);
    bool number = false;
    const double kmh = QLocale().toDouble(run.speed, &number);
    run.speedKmh = number && !result.marked ? kmh : -1.0;
    const bool crashMarked = std::exchange(crashPending_[lane], false);
    run.crashed = run.crashed || crashMarked;
    run.warnings += std::exchange(warningsPending_[lane], {});
    run.winner = Winner(lane, run);
    database_.Store(run);
    FollowWinners();
}

void TRunRecorder::Warned(int lane, const TPlausibilityWarning& warning) {
    if (!heatOpen_ || (lane != 1 && lane != 2)) return;
    std::optional<TRun> run = database_.HeatRun(lane);
    if (!run) {
        warningsPending_[lane].append(warning.text);
        return;
    }
    run->warnings.append(warning.text);
    database_.Store(*run);
}

bool TRunRecorder::Winner(int lane, const TRun& run) const {
    const THeatModel& heat = race_.heat;
    // Two lanes on one row share its mark; then each lane's own stop tells.
    const bool shared = heat.StartNumberText(1) == heat.StartNumberText(2);
    const int row = protocol_.FindStartRow(run.startNumber);
    if (row && !shared) return protocol_.Cell(row, ColWin) == kMark;
    const std::optional<LaneResult>& result = heat.Lane(lane).result;
    return result ? result->Won() : run.winner;
}

void TRunRecorder::FollowWinners() {
    // The mark moves when a false start comes after a stop; the rows say where it is now.
    for (int lane = 1; lane <= 2; ++lane) {
        std::optional<TRun> run = database_.HeatRun(lane);
        if (!run) continue;
        run->winner = Winner(lane, *run);
        database_.Store(*run);
    }
}

void TRunRecorder::MarkRow(int row, bool crashed) {
    if (row < 1 || row > protocol_.DataRowCount()) return;
    const QString number = protocol_.Cell(row, ColStartNr);
    if (number.isEmpty()) return;
    const bool winner = protocol_.Cell(row, ColWin) == kMark;
    bool inHeat = false;
    for (int lane = 1; heatOpen_ && lane <= 2; ++lane) {
        if (race_.heat.StartNumberText(lane) != number) continue;
        inHeat = true;
        if (std::optional<TRun> run = database_.HeatRun(lane)) {
            run->crashed = run->crashed || crashed;
            run->winner = winner;
            database_.Store(*run);
        } else if (crashed) {
            crashPending_[lane] = true; // still racing: its run is marked when it stops
        }
    }
    if (inHeat) return;
    for (TRun run : database_.LatestRuns(number)) {
        run.crashed = run.crashed || crashed;
        run.winner = winner;
        database_.Store(run);
    }
}

void TRunRecorder::RowCrashed(int row) {
    MarkRow(row, true);
}

void TRunRecorder::JokerToggled(int row) {
    MarkRow(row, false);
}
