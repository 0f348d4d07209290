#pragma once

#include "serial/ComLineEvent.h"

#include <QObject>

class TRaceSequence;
struct Race;

// Turns changes of the start contact and the light-barrier lines into race events: the start
// contact starts the heat by its polarity, each lane's pulses are numbered and stamped, the
// lamps light, and the lane's last configured barrier stops it. The imitation panel runs the
// same handlers without hardware. Its lamps and offers are the heat model's.
class TBarrierInputs : public QObject {
    Q_OBJECT
public:
    TBarrierInputs(Race& race, TRaceSequence& sequence, QObject* parent = nullptr);

    // A start-contact edge settling within this time of the previous one is its bounce.
    static constexpr qint64 kContactBounceTicks = 10'000'000; // 10 ms

    // A line event as the port's wait thread saw it, carrying its own instant and levels.
    void ComPortStart(const TComLineEvent& event);
    // line: the lane line whose handler this is (DSR or RLSD); only its own folded pulse
    // counts, so an event that changed both lines counts each fold once.
    void ComPortStop(const TComLineEvent& event, quint32 line);
    // The lines move while nothing may come of it (the line test): only their levels are
    // followed, so that what they are left at is not taken for an edge afterwards.
    void FollowLevels(const TComLineEvent& event);
    void StartContactEdge(qint64 ticks);
    void LaneBarrierEdges(bool lane1, bool lane2, qint64 ticks);
    // Imitation button 1 (start contact), 2 (lane 1) or 3 (lane 2); status is what the port
    // reads now (0 without a port).
    void bImit1Click(int tag, quint32 status);
    // levels: the lines as they stood when the port opened; changes count from them.
    void ComPortOpen(quint32 levels);
    void ComPortClose();

signals:
    // A pulse on a lane during its lock-out after the stop; it counts for nothing.
    void LockOutPulse(int lane, qint64 ticks);

private:
    Race& race_;
    TRaceSequence& sequence_;
    bool forced_ = false; // an imitation is being handled: its input counts as a change
    bool contactEdgeSeen_ = false;
    qint64 lastContactEdge_ = 0;
};
