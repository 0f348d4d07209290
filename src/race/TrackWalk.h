#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The barriers wired per lane besides the stop barrier, which is always there.
struct TBarrierLayout {
    bool reaction = true;
    bool intermediate = true;
    bool topSpeed = true;

    // Barrier kinds in track order: 1 reaction, 2 intermediate, 3 top speed, 4 stop.
    QList<int> Barriers() const;
};

// "Reaktion-LS", "LS-Zwischzeit", "TopSpeed-LS", "Stopp-LS".
QString BarrierName(int barrier);

// Walking the track before the first heat: someone breaks each barrier of lane 1 from the
// start to the stop, then those of lane 2. Each pulse on a lane's line ticks off that lane's
// next barrier. A lane's barriers share one line, so only their order tells them apart: a
// barrier that stays dark shows as one too few, a pulse on the other lane as swapped wires.
class TTrackWalk {
public:
    enum class TState { Waiting, Fired, Missing };
    struct TStep {
        int lane = 0;
        int barrier = 0;
        TState state = TState::Waiting;
        qint64 ticks = 0;   // when it fired
        bool early = false; // fired while the lane before it had not fired at all
        int repeats = 0;    // further pulses taken as the same barrier
    };

    // Pulses on a lane closer than this are one barrier: legs, a hand, a bouncing contact.
    static constexpr qint64 kSameBarrierTicks = 1'000'000'000; // 1 s

    void Begin(const TBarrierLayout& layout, qint64 ticks);
    bool Walking() const { return !steps_.isEmpty(); }
    qint64 BeganAt() const { return began_; }
    // A rising edge on the lane's line.
    void Pulse(int lane, qint64 ticks);
    // The expected barrier did not fire: it is marked, the next one is expected.
    void Skip();

    const QList<TStep>& Steps() const { return steps_; }
    // The step expected next; -1 when none is left.
    int Expected() const;
    bool Done() const { return Walking() && Expected() < 0; }
    // What the walk has shown so far, for the operator.
    QStringList Findings() const;

private:
    int FiredCount(int lane) const;

    QList<TStep> steps_;
    qint64 began_ = 0;
    qint64 lastPulse_[3] = {};
    int lastStep_[3] = {-1, -1, -1};
    int surplus_[3] = {}; // pulses after the lane's last barrier
};
