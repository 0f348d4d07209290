#include "HeatModel.h"

#include <algorithm>

THeatModel::THeatModel(QObject* parent) : QObject(parent) {
    // Lane 1 runs the odd numbers, lane 2 the even ones, unless the operator types others.
    lanes_[0].startNumber = 1;
    lanes_[0].readyNumber = 3;
    lanes_[1].startNumber = 2;
    lanes_[1].readyNumber = 4;
}

template <typename T> void THeatModel::SetLane(int lane, T THeatLane::*field, T value) {
    if (At(lane).*field == value) return;
    At(lane).*field = value;
    emit LaneChanged(lane);
}

template <typename T> void THeatModel::SetHeat(T& field, T value) {
    if (field == value) return;
    field = value;
    emit HeatChanged();
}

void THeatModel::SetStartNumber(int lane, int number) {
    SetLane(lane, &THeatLane::startNumber, std::clamp(number, kMinStartNumber, kMaxStartNumber));
}

void THeatModel::SetReadyNumber(int lane, int number) {
    SetLane(lane, &THeatLane::readyNumber, std::clamp(number, kMinStartNumber, kMaxStartNumber));
}

void THeatModel::SetLaneRunning(int lane, bool running) {
    SetLane(lane, &THeatLane::running, running);
}

void THeatModel::SetLaneStopped(int lane, qint64 stopTicks, const LaneResult& result) {
    THeatLane& l = At(lane);
    l.running = false;
    l.stopTicks = stopTicks;
    l.result = result;
    emit LaneChanged(lane);
    emit LaneResultShown(lane, result);
}

void THeatModel::ClearLane(int lane) {
    THeatLane& l = At(lane);
    l.running = false;
    l.stopTicks = state.StartTicks;
    l.result.reset();
    emit LaneChanged(lane);
    emit LaneCleared(lane);
}

void THeatModel::SetStopOpen(int lane, bool open) {
    SetLane(lane, &THeatLane::stopOpen, open);
}

void THeatModel::SetFalseStartKey(int lane, bool on) {
    SetLane(lane, &THeatLane::falseStartKey, on);
}

void THeatModel::SetFalseStartButton(int lane, bool shown) {
    SetLane(lane, &THeatLane::falseStartButton, shown);
}

void THeatModel::SetLamp(int lane, int event, bool lit) {
    if (event < 1 || event > 4 || At(lane).lamps[event] == lit) return;
    At(lane).lamps[event] = lit;
    emit LaneChanged(lane);
}

void THeatModel::SetArmed(int group, bool armed) {
    SetHeat(armed_[group], armed);
}

void THeatModel::SetLockedOut(int group, bool lockedOut) {
    SetHeat(lockedOut_[group], lockedOut);
}

void THeatModel::SetStartOpen(bool open) {
    SetHeat(startOpen_, open);
}

void THeatModel::SetResetOpen(bool open) {
    SetHeat(resetOpen_, open);
}

void THeatModel::SetBarriersConnected(bool connected) {
    SetHeat(barriersConnected_, connected);
}

void THeatModel::SetAutoReset(bool on) {
    SetHeat(autoReset_, on);
}

void THeatModel::SetStartLight(int light) {
    SetHeat(startLight_, light);
}

void THeatModel::SetStartLamp(bool lit) {
    SetHeat(startLamp_, lit);
}

void THeatModel::LampsOff() {
    SetStartLamp(false);
    for (int lane = 1; lane <= 2; ++lane)
        for (int event = 1; event <= 4; ++event)
            SetLamp(lane, event, false);
}
