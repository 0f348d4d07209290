#pragma once

#include <QObject>

class TLed;
class TRaceSequence;
struct Race;

// Turns changes of the start contact and the light-barrier lines into race events: the start
// contact starts the heat by its polarity, each lane's pulses are numbered and stamped, the
// lamps light, and the lane's last configured barrier stops it. The imitation panel runs the
// same handlers without hardware.
class TBarrierInputs : public QObject {
    Q_OBJECT
public:
    // leds: Led0 (start contact), Led1 … Led4 (lane 1), Led5 … Led8 (lane 2).
    TBarrierInputs(Race& race, TRaceSequence& sequence, TLed* const (&leds)[9],
                   QObject* parent = nullptr);

    // Status word from the port, lines that pulsed unseen between two reads, and the instant
    // the change was seen.
    void ComPortStart(quint32 status, quint32 pulsed, qint64 ticks);
    void ComPortStop(quint32 status, quint32 pulsed, qint64 ticks);
    void StartContactEdge(qint64 ticks);
    void LaneBarrierEdges(bool lane1, bool lane2, qint64 ticks);
    // Imitation button 1 (start contact), 2 (lane 1) or 3 (lane 2); status is what the port
    // reads now (0 without a port).
    void bImit1Click(int tag, quint32 status);
    void ShowBarrierLamps();
    void ComPortOpen();
    void ComPortClose();
    void LampsOff();

    TLed* Led(int index) const { return leds_[index]; }

private:
    Race& race_;
    TRaceSequence& sequence_;
    TLed* leds_[9];
    bool forced_ = false; // an imitation is being handled: its input counts as a change
};
