#include "Plausibility.h"

#include "BarrierInputs.h"
#include "LaneResult.h"
#include "Race.h"
#include "RaceSequence.h"

#include <QLocale>

#include <cstdlib>

namespace {

constexpr double kTicksPerMs = 1e6;

// "1,0": a tenth is enough for a minimum typed in tenths, more only where it was set finer.
QString SecondsSetting(int ms) {
    return QLocale().toString(ms / 1000.0, 'f', ms % 100 ? 3 : 1);
}

} // namespace

QList<TPlausibilityWarning> CheckLaneStop(const Race& race, int lane, qint64 stopTicks,
                                          bool barriersConnected) {
    const TRaceSettings& settings = race.settings;
    const TRaceState& state = race.heat.state;
    QList<TPlausibilityWarning> warnings;
    if (lane == state.FalseStartLane) return warnings;
    const qint64 start = state.StartTicks;
    const qint64* events = state.LaneTicks[lane];
    const int count = std::min(state.LaneEventCount[lane], 4);
    const qint64 finalTicks = stopTicks - start;

    // The protocol takes the events by position: each must come after the one before.
    bool ordered = true;
    qint64 previous = start;
    for (int k = 1; k <= count; ++k) {
        if (k == 1 ? events[k] < previous : events[k] <= previous) ordered = false;
        previous = events[k];
    }
    if (stopTicks < previous) ordered = false;
    if (!ordered)
        warnings.append({QStringLiteral("Reihenfolge"),
                         QStringLiteral("Lichtschranken-Zeiten nicht aufsteigend")});
    else if (barriersConnected && count < settings.BarrierCount)
        warnings.append(
            {QStringLiteral("Reihenfolge"), QStringLiteral("Nur %1 von %2 Lichtschranken ausgelöst")
                                                .arg(count)
                                                .arg(settings.BarrierCount)});

    // A reaction time means something only when the start light gave the start.
    if (settings.ColSpeed0 && settings.ColSpeed1 && count >= 1) {
        const qint64 reaction = events[1] - start;
        if (reaction <= 0 || reaction > kMaxReactionTicks)
            warnings.append({QStringLiteral("Reaktionszeit"),
                             QStringLiteral("Reaktionszeit %1 s nicht zwischen 0 und 5 s")
                                 .arg(TicksToText(reaction))});
    }

    if (count >= 2 && events[2] - start >= finalTicks)
        warnings.append({QStringLiteral("Zwischenzeit"),
                         QStringLiteral("Zwischenzeit %1 s nicht unter der Zeit %2 s")
                             .arg(TicksToText(events[2] - start), TicksToText(finalTicks))});

    if (finalTicks > 0) {
        const double mean = settings.Length / (finalTicks / kTicksPerMs) * 3600;
        double speed = mean;
        if (settings.ColSpeed3) {
            const qint64 trap = count >= 3 ? stopTicks - events[3] : 0;
            speed = trap > 0
                        ? (settings.Length * 10.0 - settings.LengthF) / (trap / kTicksPerMs) * 360
                        : -1;
            if (trap > 0 && speed < mean)
                warnings.append({QStringLiteral("Geschwindigkeit"),
                                 QStringLiteral("Endgeschwindigkeit %1 km/h unter dem Schnitt "
                                                "%2 km/h")
                                     .arg(FormatSpeed(speed), FormatSpeed(mean))});
        }
        if (speed >= kMaxSpeedKmh)
            warnings.append({QStringLiteral("Geschwindigkeit"),
                             QStringLiteral("Geschwindigkeit %1 km/h nicht unter 400 km/h")
                                 .arg(FormatSpeed(speed))});
    }

    if (finalTicks < qint64(settings.MinTime) * 1'000'000)
        warnings.append({QStringLiteral("Mindestzeit"),
                         QStringLiteral("Zeit %1 s unter der Mindestzeit %2 s")
                             .arg(TicksToText(finalTicks), SecondsSetting(settings.MinTime))});
    return warnings;
}

std::optional<TPlausibilityWarning> CheckStopPair(qint64 stop1, qint64 stop2) {
    const qint64 apart = std::llabs(stop1 - stop2);
    if (apart >= kStopPairTicks) return std::nullopt;
    return TPlausibilityWarning{
        QStringLiteral("Gleichzeitig"),
        QStringLiteral("Beide Bahnen %1 ms auseinander gestoppt: Verdrahtung prüfen")
            .arg(QLocale().toString(apart / kTicksPerMs, 'f', 3))};
}

TPlausibilityWarning LockOutPulseWarning(qint64 ticksAfterStop) {
    return {QStringLiteral("Sperrzeit"),
            QStringLiteral("Impuls %1 s nach dem Stopp: Lichtschranke prellt")
                .arg(TicksToText(ticksAfterStop))};
}

TPlausibility::TPlausibility(const Race& race, TRaceSequence& sequence, TBarrierInputs& barriers,
                             QObject* parent)
    : QObject(parent), race_(race), sequence_(sequence) {
    connect(&sequence, &TRaceSequence::CommandGiven, this, [this](TRaceCommand command) {
        if (command == TRaceCommand::Start) Clear();
    });
    connect(&sequence, &TRaceSequence::DisplayReset, this, &TPlausibility::Clear);
    connect(&sequence, &TRaceSequence::LaneStopped, this, &TPlausibility::LaneStopped);
    connect(&barriers, &TBarrierInputs::LockOutPulse, this, [this](int lane, qint64 ticks) {
        // One sign per heat is enough; a barrier that chatters does so again and again.
        if (!stopped_[lane] || chattered_[lane] || lane == race_.heat.state.FalseStartLane) return;
        chattered_[lane] = true;
        Warn(lane, LockOutPulseWarning(ticks - StopTicks(lane)), ticks);
    });
}

QStringList TPlausibility::Reasons(int lane) const {
    QStringList reasons;
    for (const TPlausibilityWarning& warning : found_[lane])
        reasons.append(warning.text);
    return reasons;
}

void TPlausibility::Clear() {
    for (int lane = 1; lane <= 2; ++lane) {
        stopped_[lane] = chattered_[lane] = false;
        found_[lane].clear();
    }
    emit Cleared();
}

void TPlausibility::Warn(int lane, const TPlausibilityWarning& warning, qint64 ticks) {
    found_[lane].append(warning);
    emit Warned(lane, race_.heat.StartNumberText(lane), warning, ticks);
}

qint64 TPlausibility::StopTicks(int lane) const {
    return race_.heat.Lane(lane).stopTicks;
}

void TPlausibility::LaneStopped(int lane) {
    // A false start declared after the lane's own stop: its time no longer counts.
    if (stopped_[lane]) return;
    stopped_[lane] = true;
    const qint64 stop = StopTicks(lane);
    for (const TPlausibilityWarning& warning :
         CheckLaneStop(race_, lane, stop, sequence_.PortOpen()))
        Warn(lane, warning, stop);
    const int other = lane == 1 ? 2 : 1;
    const int falseStart = race_.heat.state.FalseStartLane;
    if (stopped_[other] && falseStart != lane && falseStart != other)
        if (const auto pair = CheckStopPair(StopTicks(1), StopTicks(2)))
            for (int l = 1; l <= 2; ++l)
                Warn(l, *pair, stop);
}
