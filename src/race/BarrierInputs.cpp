#include "BarrierInputs.h"

#include "Race.h"
#include "RaceSequence.h"
#include "serial/ComLineEvent.h"
#include "widgets/Led.h"
#include "widgets/OperatorButton.h"

#include <QLabel>
#include <QTimer>

namespace {
// Each handler keeps only its own lines in the remembered status word: a start-contact change
// reported together with a barrier pulse must not hide the pulse from the barrier handler.
constexpr quint32 kLaneLines = kModemDSR | kModemRLSD;
} // namespace

TBarrierInputs::TBarrierInputs(Race& race, TRaceSequence& sequence, TLed* const (&leds)[9],
                               QObject* parent)
    : QObject(parent), race_(race), sequence_(sequence) {
    for (int i = 0; i < 9; ++i)
        leds_[i] = leds[i];
}

void TBarrierInputs::ComPortStart(const TComLineEvent& event) {
    TRaceState& state = race_.state;
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
    TRaceState& state = race_.state;
    state.PrevModemStatus = (state.PrevModemStatus & ~followed) | (event.status & followed);
}

void TBarrierInputs::StartContactEdge(qint64 ticks) {
    if (sequence_.TimerGesperrtStart->isActive() || !sequence_.ArmFlag(TRaceSequence::StartGroup))
        return;
    leds_[0]->SetValue(true);
    sequence_.StartAt(ticks);
    if (race_.settings.ColSpeed0) sequence_.SetStartLight(1);
}

void TBarrierInputs::ComPortStop(const TComLineEvent& event, quint32 line) {
    TRaceState& state = race_.state;
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
    TRaceState& state = race_.state;
    for (int lane = 1; lane <= 2; ++lane) {
        if (!(lane == 1 ? lane1 : lane2)) continue;
        QTimer* lockOut = lane == 1 ? sequence_.TimerGesperrtStop1 : sequence_.TimerGesperrtStop2;
        if (lockOut->isActive()) {
            emit LockOutPulse(lane, ticks);
            continue;
        }
        if (sequence_.ArmFlag(lane)) {
            const int n = ++state.LaneEventCount[lane];
            // Only four slots per lane: later events (after a re-arm by hand) are counted only.
            if (n <= 4) {
                leds_[(lane - 1) * 4 + n]->SetValue(true);
                state.LaneTicks[lane][n] = ticks;
            }
            if (n >= race_.settings.BarrierCount) {
                sequence_.StopLaneAt(lane, ticks);
                sequence_.LockOutLane(lane);
            }
        } else if (sequence_.ArmFlag(TRaceSequence::StartGroup)) {
            sequence_.FalseStartButton(lane)->show();
        }
    }
}

void TBarrierInputs::bImit1Click(int tag, quint32 status) {
    TRaceSequence::TSourceScope scope(sequence_, TCommandSource::Imitation);
    // Stamped at the click: the imitation is as exact as the operator's finger.
    TComLineEvent event;
    event.ticks = race_.HighResTimer1.NowTicks();
    event.status = status;
    TRaceState& state = race_.state;
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

void TBarrierInputs::ShowBarrierLamps() {
    sequence_.ImageAmpel()->setVisible(race_.settings.ColSpeed0);
    race_.settings.UpdateBarrierCount();
    const int count = race_.settings.BarrierCount;
    for (int k = 2; k <= 4; ++k) {
        leds_[k]->setVisible(count >= k);
        leds_[k + 4]->setVisible(count >= k);
    }
}

void TBarrierInputs::ComPortOpen(quint32 levels) {
    // A contact already closed at open is the rest position, not an edge.
    race_.state.PrevModemStatus = levels & (kModemCTS | kLaneLines);
    contactEdgeSeen_ = false;
    sequence_.SetArmImagesVisible(true);
    if (race_.settings.ColSpeed0) sequence_.SetStartLight(0);
}

void TBarrierInputs::ComPortClose() {
    sequence_.SetArmImagesVisible(false);
    sequence_.SetStartLight(2);
}

void TBarrierInputs::LampsOff() {
    for (TLed* led : leds_)
        led->SetValue(false);
}
