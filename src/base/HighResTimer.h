#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The program's time base. Ticks are nanoseconds of CLOCK_MONOTONIC, which already
// reads the processor's invariant counter, so no calibration is needed.
class THighResTimer {
public:
    using TickSource = std::function<qint64()>;

    // Counter ticks per microsecond.
    double CountSpeed() const { return kCountSpeed; }

    qint64 NowTicks() const { return source_ ? source_() : MonotonicNow(); }

    // Lets tests (and benchmarks) drive time by hand; an empty source restores the real clock.
    void SetTickSource(TickSource source) { source_ = std::move(source); }

    static qint64 MonotonicNow();

    static constexpr double kCountSpeed = 1000.0;

private:
    TickSource source_;
};

// Whole milliseconds of a duration in ticks, rounded to nearest, ties to even.
qint64 TicksToMs(qint64 ticks);

// "s,mmm" for a duration. Seconds are never cut (1234,567 stays 1234,567);
// a negative duration gets a leading minus ("-0,005").
QString TicksToText(qint64 ticks);
