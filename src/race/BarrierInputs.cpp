#include "BarrierInputs.h"

#include "Race.h"
#include "RaceSequence.h"
#include "serial/ComLineEvent.h"

namespace {
// Each handler keeps only its own lines in the remembered status word: a start-contact change
// reported together with a barrier pulse must not hide the pulse from the barrier handler.
constexpr quint32 kLaneLines = kModemDSR | kModemRLSD;
} // namespace

TBarrierInputs::TBarrierInputs(Race& race, TRaceSequence& sequence, QObject* parent)
    : QObject(parent), race_(race), sequence_(sequence) {}

void TBarrierInputs::ComPortStart(const TComLineEvent& event) {
    TRaceState& state = race_.heat.state;
    const bool was = state.PrevModemStatus & kModemCTS;
    const bool is = event.status & kModemCTS;
    const bool folded = event.pulsed & kModemCTS; // both edges between two reads
    if (!forced_ && !folded && was == is) return;
    state.PrevModemStatus = (state.PrevModemStatus & ~kModemCTS) | (event.status & kModemCTS);
    const int alg = race_.settings.Alg;
    if (forced_) {
        const bool contact = is || state.ImitStart;
        if ((alg == 0 && contact) || (alg == 1 && !contact)) StartContactEdge(event.ticks);
        return;
    }
    // A contact settles with a few quick edges; only the first one is the start.
    const bool bounce = contactEdgeSeen_ && event.ticks - lastContactEdge_ < kContactBounceTicks;
    contactEdgeSeen_ = true;
    lastContactEdge_ = event.ticks;
    if (bounce || (alg != 0 && alg != 1)) return;
    // Alg 0 starts when the contact closes, Alg 1 when it opens. A start needs the contact
    // to end up that way, or a whole pulse that way folded between two reads; an edge back
    // to rest with a flicker folded into it is the bounce of that edge.
    const bool active = alg == 0 ? is : !is;
    if (was != is ? active : !active) StartContactEdge(event.ticks);
}

void TBarrierInputs::FollowLevels(const TComLineEvent& event) {
    constexpr quint32 followed = kModemCTS | kLaneLines;
    TRaceState& state = race_.heat.state;
    state.PrevModemStatus = (state.PrevModemStatus & ~followed) | (event.status & followed);
}

void TBarrierInputs::StartContactEdge(qint64 ticks) {
    THeatModel& heat = race_.heat;
    if (heat.LockedOut(THeatModel::StartGroup) || !heat.Armed(THeatModel::StartGroup)) return;
    heat.SetStartLamp(true);
    sequence_.StartAt(ticks);
    if (race_.settings.ColSpeed0) heat.SetStartLight(THeatModel::LightGreen);
}

void TBarrierInputs::ComPortStop(const TComLineEvent& event, quint32 line) {
    TRaceState& state = race_.heat.state;
    const quint32 status = event.status & kLaneLines;
    const quint32 previous = state.PrevModemStatus & kLaneLines;
    const quint32 folded = event.pulsed & line & kLaneLines;
    if (!forced_ && !folded && status == previous) return;
    const quint32 rising = (status & ~previous) | folded;
    const bool lane1 = (rising & kModemRLSD) || state.ImitLane1;
    const bool lane2 = (rising & kModemDSR) || state.ImitLane2;
    // The whole level is remembered, so a line that stays on is not counted again.
    state.PrevModemStatus = (state.PrevModemStatus & ~kLaneLines) | status;
    if ((race_.settings.Alg == 0 && (lane1 || lane2)) ||
        (race_.settings.Alg == 1 && !(lane1 && lane2)))
        LaneBarrierEdges(lane1, lane2, event.ticks);
}

void TBarrierInputs::LaneBarrierEdges(bool lane1, bool lane2, qint64 ticks) {
    THeatModel& heat = race_.heat;
    TRaceState& state = heat.state;
    for (int lane = 1; lane <= 2; ++lane) {
        if (!(lane == 1 ? lane1 : lane2)) continue;
        if (heat.LockedOut(lane)) {
            emit LockOutPulse(lane, ticks);
            continue;
        }
        if (heat.Armed(lane)) {
            const int n = ++state.LaneEventCount[lane];
            // Only four slots per lane: later events (after a re-arm by hand) are counted only.
            if (n <= 4) {
                heat.SetLamp(lane, n, true);
                state.LaneTicks[lane][n] = ticks;
            }
            heat.StateChanged();
            if (n >= race_.settings.BarrierCount) {
                sequence_.StopLaneAt(lane, ticks);
                sequence_.LockOutLane(lane);
            }
        } else if (heat.Armed(THeatModel::StartGroup)) {
            heat.SetFalseStartButton(lane, true);
        }
    }
}

void TBarrierInputs::bImit1Click(int tag, quint32 status) {
    TRaceSequence::TSourceScope scope(sequence_, TCommandSource::Imitation);
    // Stamped at the click: the imitation is as exact as the operator's finger.
    TComLineEvent event;
    event.ticks = race_.HighResTimer1.NowTicks();
    event.status = status;
    TRaceState& state = race_.heat.state;
    // The forced flags make the handlers take this as a change whatever the lines read.
    state.ImitStart = true;
    forced_ = true;
    if (tag == 1) {
        ComPortStart(event);
    } else if (tag == 2) {
        state.ImitLane1 = true;
        ComPortStop(event, 0);
    } else if (tag == 3) {
        state.ImitLane2 = true;
        ComPortStop(event, 0);
    }
    forced_ = false;
    state.ImitStart = state.ImitLane1 = state.ImitLane2 = false;
}

void TBarrierInputs::ComPortOpen(quint32 levels) {
    // A contact already closed at open is the rest position, not an edge.
    race_.heat.state.PrevModemStatus = levels & (kModemCTS | kLaneLines);
    contactEdgeSeen_ = false;
    race_.heat.SetBarriersConnected(true);
    if (race_.settings.ColSpeed0) race_.heat.SetStartLight(THeatModel::LightRed);
}

void TBarrierInputs::ComPortClose() {
    race_.heat.SetBarriersConnected(false);
    race_.heat.SetStartLight(THeatModel::LightDark);
}
