#include "LaneResult.h"

#include "Race.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

LaneResult ComputeLaneResult(const Race& race, int lane, qint64 stopTicks) {
    const TRaceSettings& settings = race.settings;
    const TRaceState& state = race.heat.state;
    const qint64* events = state.LaneTicks[lane];

    LaneResult result;
    result.marked = lane == state.FalseStartLane;
    result.first = lane == state.FirstLane;
    // Events are taken by position: 1 reaction, 2 intermediate, 3 start of the speed trap.
    if (events[1] > 0) result.reaction = TicksToText(events[1] - state.StartTicks);
    if (events[2] > 0) result.intermediate = TicksToText(events[2] - state.StartTicks);
    result.finalTime = TicksToText(stopTicks - state.StartTicks);

    if (result.marked) return result;
    // Within half a millisecond there is no speed to show, only a division by zero.
    if (settings.ColSpeed3) {
        // Without a trap entry the formula would run from instant 0: no speed then.
        if (events[3] <= 0) return result;
        const qint64 ms = TicksToMs(stopTicks - events[3]);
        // Trap length in decimetres per millisecond, as km/h.
        if (ms > 0)
            result.speed = FormatSpeed(double(
                static_cast<long double>(settings.Length * 10 - settings.LengthF) / ms * 360));
    } else {
        const qint64 ms = TicksToMs(stopTicks - state.StartTicks);
        // Mean speed over the track: metres per millisecond, as km/h.
        if (ms > 0)
            result.speed =
                FormatSpeed(double(static_cast<long double>(settings.Length) / ms * 3600));
    }
    return result;
}

QString FormatSpeed(double kmh) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(kmh, 'f', 1);
}

ClockFace ClockFace::FromTime(int seconds, int milliseconds) {
    ClockFace face;
    face.digits[0] = (seconds / 100) % 10;
    face.digits[1] = (seconds / 10) % 10;
    face.digits[2] = seconds % 10;
    face.digits[3] = milliseconds / 100;
    face.digits[4] = (milliseconds / 10) % 10;
    face.digits[5] = milliseconds % 10;
    // Leading zeros stay dark; a zero after a lit hundreds digit is lit.
    face.bright4 = face.digits[0] > 0;
    face.bright5 = face.digits[0] + face.digits[1] > 0;
    return face;
}

ClockFace ClockFace::FromTicks(qint64 ticks) {
    const qint64 ms = std::clamp<qint64>(TicksToMs(ticks), 0, 999999);
    return FromTime(int(ms / 1000), int(ms % 1000));
}

QString ResultLineText(const LaneResult& result, const TRaceSettings& settings) {
    QStringList parts;
    if (settings.ColSpeed1 && !result.reaction.isEmpty())
        parts << QStringLiteral("Reaktion ") + result.reaction + QStringLiteral(" s");
    if (settings.ColSpeed2 && !result.intermediate.isEmpty())
        parts << QStringLiteral("Zwischen ") + result.intermediate + QStringLiteral(" s");
    if (!result.speed.isEmpty()) parts << result.speed + QStringLiteral(" km/h");
    return parts.join(QStringLiteral("   "));
}
