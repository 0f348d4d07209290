#pragma once

#include "LaneResult.h"
#include "RaceState.h"

#include <QObject>

#include <optional>

// One lane of the heat as the displays show it.
struct THeatLane {
    int startNumber = 1;  // "Start-Nr."
    int readyNumber = 3;  // "Bereit"
    bool running = false; // its clock runs
    // Its stop instant; equal to the heat's StartTicks while the lane shows zero.
    qint64 stopTicks = 0;
    // Its texts from the stop until the reset.
    std::optional<LaneResult> result;
    bool stopOpen = false;         // STOPP can be given
    bool falseStartKey = false;    // its false-start key works
    bool falseStartButton = false; // its false-start button is offered
    bool lamps[5] = {};            // barrier events 1 … 4 lit
};

// The heat as data: the two lanes, the three inputs with their arming and lock-outs, and
// what the operator's commands may do now. The rules that change it are the race sequence's
// and the barrier inputs'; windows only show it and hand the operator's input on. Every
// change is signalled.
class THeatModel : public QObject {
    Q_OBJECT
public:
    enum Group { StartGroup = 0, Lane1Group = 1, Lane2Group = 2 };
    // Pictures of the start light.
    enum Light { LightRed = 0, LightGreen = 1, LightDark = 2, LightYellow = 3 };

    static constexpr int kMinStartNumber = 1;
    static constexpr int kMaxStartNumber = 9999;

    explicit THeatModel(QObject* parent = nullptr);

    // The heat's instants and counters; its fields keep the names the timing rules use.
    TRaceState state;

    const THeatLane& Lane(int lane) const { return lanes_[lane == 2 ? 1 : 0]; }
    QString StartNumberText(int lane) const { return QString::number(Lane(lane).startNumber); }

    bool Armed(int group) const { return armed_[group]; }
    bool LockedOut(int group) const { return lockedOut_[group]; }
    // START can be given: no heat has begun since the last reset.
    bool StartOpen() const { return startOpen_; }
    bool ResetOpen() const { return resetOpen_; }
    // The light barriers are connected (the barrier port is open); without them the heat is
    // run by hand.
    bool BarriersConnected() const { return barriersConnected_; }
    bool AutoReset() const { return autoReset_; }
    int StartLight() const { return startLight_; }
    bool StartLamp() const { return startLamp_; }
    // A lane does not show zero: it stopped and was not reset since.
    bool ShowsResult(int lane) const {
        return !Lane(lane).running && Lane(lane).stopTicks != state.StartTicks;
    }
    // START has been given and not every lane has stopped.
    bool Racing() const { return Lane(1).running || Lane(2).running; }

    // Kept within 1 … 9999, as the operator's fields keep them.
    void SetStartNumber(int lane, int number);
    void SetReadyNumber(int lane, int number);
    void SetLaneRunning(int lane, bool running);
    void SetLaneStopped(int lane, qint64 stopTicks, const LaneResult& result);
    // Back to zero: no result, not running, stopped at the heat's start.
    void ClearLane(int lane);
    void SetStopOpen(int lane, bool open);
    void SetFalseStartKey(int lane, bool on);
    void SetFalseStartButton(int lane, bool shown);
    void SetLamp(int lane, int event, bool lit);
    void SetArmed(int group, bool armed);
    void SetLockedOut(int group, bool lockedOut);
    void SetStartOpen(bool open);
    void SetResetOpen(bool open);
    void SetBarriersConnected(bool connected);
    void SetAutoReset(bool on);
    void SetStartLight(int light);
    void SetStartLamp(bool lit);
    // Every lamp dark.
    void LampsOff();
    // Fields of state were changed by a rule: tell the displays.
    void StateChanged() { emit HeatChanged(); }

signals:
    // The lane's numbers, clock, result, commands or lamps changed.
    void LaneChanged(int lane);
    // The inputs, the commands, the start light or the heat's counters changed.
    void HeatChanged();
    // A lane stopped and its texts are known; emitted after LaneChanged.
    void LaneResultShown(int lane, const LaneResult& result);
    // A lane is back at zero for the next heat.
    void LaneCleared(int lane);

private:
    THeatLane& At(int lane) { return lanes_[lane == 2 ? 1 : 0]; }
    template <typename T> void SetLane(int lane, T THeatLane::*field, T value);
    template <typename T> void SetHeat(T& field, T value);

    THeatLane lanes_[2];
    bool armed_[3] = {};
    bool lockedOut_[3] = {};
    bool startOpen_ = true;
    bool resetOpen_ = false;
    bool barriersConnected_ = false;
    bool autoReset_ = false;
    int startLight_ = LightDark;
    bool startLamp_ = false;
};
