#include "HighResTimer.h"

#include <cmath>
#include <ctime>

qint64 THighResTimer::MonotonicNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 TicksToMs(qint64 ticks) {
    // Extended precision keeps every tick count below 2^63 exact, so a tie is a real tie.
    const long double ms = static_cast<long double>(ticks) / THighResTimer::kCountSpeed / 1000.0L;
    return static_cast<qint64>(std::nearbyintl(ms));
}

QString TicksToText(qint64 ticks) {
    const qint64 ms = TicksToMs(ticks);
    // Built on the magnitude so that the thousandths never carry a sign of their own.
    const quint64 magnitude = ms < 0 ? quint64(0) - quint64(ms) : quint64(ms);
    QString text = QString::number(magnitude / 1000) + QLatin1Char(',') +
                   QString::number(magnitude % 1000).rightJustified(3, QLatin1Char('0'));
    if (ms < 0) text.prepend(QLatin1Char('-'));
    return text;
}
