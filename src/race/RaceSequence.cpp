#include "RaceSequence.h"

#include "HeatProtocol.h"
#include "Race.h"

#include <QAction>
#include <QTimer>

namespace {

QAction* MenuEntry(QObject* parent, const QString& caption, const QKeySequence& key) {
    auto* action = new QAction(caption, parent);
    action->setShortcut(key);
    return action;
}

QTimer* SingleShot(QObject* parent, int interval) {
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(interval);
    return timer;
}

} // namespace

TRaceSequence::TSourceScope::TSourceScope(TRaceSequence& sequence, TCommandSource source)
    : sequence_(sequence), set_(!sequence.source_) {
    if (set_) sequence_.source_ = source;
}

TRaceSequence::TSourceScope::~TSourceScope() {
    if (set_) sequence_.source_.reset();
}

TRaceSequence::TRaceSequence(Race& race, QObject* parent) : QObject(parent), race_(race) {
    mStart = MenuEntry(this, QStringLiteral("Start"), Qt::Key_F5);
    mFehlstart1 = MenuEntry(this, QStringLiteral("Fehlstart 1"), Qt::Key_F6);
    mFehlstart2 = MenuEntry(this, QStringLiteral("Fehlstart 2"), Qt::CTRL | Qt::Key_F6);
    mStop1 = MenuEntry(this, QStringLiteral("Stopp 1"), Qt::Key_F8);
    mStop2 = MenuEntry(this, QStringLiteral("Stopp 2"), Qt::Key_F9);
    mReset = MenuEntry(this, QStringLiteral("0,00"), Qt::Key_F7);
    LockLS1 = MenuEntry(this, QStringLiteral("Lock LS start"), Qt::Key_F10);
    LockLS2 = MenuEntry(this, QStringLiteral("Lock LS1"), Qt::Key_F11);
    LockLS3 = MenuEntry(this, QStringLiteral("Lock LS2"), Qt::Key_F12);
    connect(mStart, &QAction::triggered, this, [this] { mStartClick(); });
    connect(mStop1, &QAction::triggered, this, [this] { mStopClick(1); });
    connect(mStop2, &QAction::triggered, this, [this] { mStopClick(2); });
    connect(mFehlstart1, &QAction::triggered, this, [this] { bFehlStartClick(1); });
    connect(mFehlstart2, &QAction::triggered, this, [this] { bFehlStartClick(2); });
    connect(mReset, &QAction::triggered, this, &TRaceSequence::mResetClick);
    connect(LockLS1, &QAction::triggered, this, [this] { LockLSClick(0); });
    connect(LockLS2, &QAction::triggered, this, [this] { LockLSClick(1); });
    connect(LockLS3, &QAction::triggered, this, [this] { LockLSClick(2); });

    TimerGesperrtStart = SingleShot(this, race.settings.WaitStart);
    TimerGesperrtStop1 = SingleShot(this, 500);
    TimerGesperrtStop2 = SingleShot(this, 500);
    TimerReset = SingleShot(this, 5000);
    for (QTimer* timer : {TimerGesperrtStart, TimerGesperrtStop1, TimerGesperrtStop2})
        connect(timer, &QTimer::timeout, this, [this, timer] { TimerGesperrtTimer(timer); });
    connect(TimerReset, &QTimer::timeout, this, &TRaceSequence::TimerResetTimer);

    // A disabled entry does nothing, so the entries follow the model at once.
    connect(&Heat(), &THeatModel::HeatChanged, this, &TRaceSequence::UpdateActions);
    connect(&Heat(), &THeatModel::LaneChanged, this, &TRaceSequence::UpdateActions);
    UpdateActions();
}

THeatModel& TRaceSequence::Heat() const {
    return race_.heat;
}

QAction* TRaceSequence::StopAction(int lane) const {
    return lane == 1 ? mStop1 : mStop2;
}
QAction* TRaceSequence::FalseStartAction(int lane) const {
    return lane == 1 ? mFehlstart1 : mFehlstart2;
}
QTimer* TRaceSequence::LockOutTimer(int group) const {
    return group == StartGroup   ? TimerGesperrtStart
           : group == Lane1Group ? TimerGesperrtStop1
                                 : TimerGesperrtStop2;
}

void TRaceSequence::UpdateActions() {
    const THeatModel& heat = Heat();
    mStart->setEnabled(heat.StartOpen());
    mReset->setEnabled(heat.ResetOpen());
    for (int lane = 1; lane <= 2; ++lane) {
        StopAction(lane)->setEnabled(heat.Lane(lane).stopOpen);
        FalseStartAction(lane)->setEnabled(heat.Lane(lane).falseStartKey);
    }
}

void TRaceSequence::PlaySignal(const QString& file) {
    if (race_.settings.Sound && !file.isEmpty() && player_) player_(file);
}

void TRaceSequence::LockOutStart() {
    if (TimerGesperrtStart->interval() > 0) {
        TimerGesperrtStart->start();
        Heat().SetLockedOut(StartGroup, true);
    }
    if (ArmFlag(StartGroup)) ImageLSClick(StartGroup);
}

void TRaceSequence::LockOutLane(int lane) {
    if (lane != 1 && lane != 2) return;
    if (LockOutTimer(lane)->interval() > 0) {
        LockOutTimer(lane)->start();
        Heat().SetLockedOut(lane, true);
    }
    if (ArmFlag(lane)) ImageLSClick(lane);
}

void TRaceSequence::ImageLSClick(int group) {
    const bool armed = !ArmFlag(group);
    Heat().SetArmed(group, armed);
    if (group == StartGroup) // yellow when armed, red when blocked
        SetStartLight(armed ? THeatModel::LightYellow : THeatModel::LightRed);
}

void TRaceSequence::StartAt(qint64 instant) {
    TSourceScope scope(*this, TCommandSource::Barrier);
    if (mStart->isEnabled()) mStartClick(instant);
}

void TRaceSequence::StopLaneAt(int lane, qint64 instant) {
    TSourceScope scope(*this, TCommandSource::Barrier);
    if (StopAction(lane)->isEnabled()) mStopClick(lane, instant);
}

void TRaceSequence::StartLane(int lane) {
    Heat().SetLaneRunning(lane, true);
    if (protocol_) protocol_->PrepareHeatRow(Heat().StartNumberText(lane));
}

void TRaceSequence::mStartClick(std::optional<qint64> instant) {
    TSourceScope scope(*this, CurrentSource());
    THeatModel& heat = Heat();
    // A lane still showing its last time is reset first, so both start from zero.
    if (heat.ShowsResult(1) || heat.ShowsResult(2)) bRESETClick();
    heat.state.StartTicks = instant ? *instant : race_.HighResTimer1.NowTicks();
    if (race_.settings.ColSpeed0 && PortOpen()) SetStartLight(THeatModel::LightGreen);
    heat.state.ClearHeat();
    heat.StateChanged();
    StartLane(1);
    StartLane(2);
    PlaySignal(heat.state.StartSoundFile);
    heat.SetStartOpen(false);
    for (int lane = 1; lane <= 2; ++lane)
        heat.SetStopOpen(lane, true);
    for (int lane = 1; lane <= 2; ++lane)
        if (!ArmFlag(lane)) ImageLSClick(lane);
    LockOutStart();
    heat.SetResetOpen(false);
    if (ManualMode())
        for (int lane = 1; lane <= 2; ++lane)
            OfferFalseStart(lane, true);
    emit CommandGiven(TRaceCommand::Start, 0, CurrentSource(), heat.state.StartTicks);
}

void TRaceSequence::mStopClick(int lane, std::optional<qint64> instant) {
    // The instant comes first; everything else follows it.
    const qint64 at = instant ? *instant : race_.HighResTimer1.NowTicks();
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::Stop, lane, CurrentSource(), at);
    StopLane(lane, at);
}

void TRaceSequence::StopLane(int lane, qint64 instant) {
    THeatModel& heat = Heat();
    TRaceState& state = heat.state;
    const bool counted = !state.LaneStopped[lane];
    if (counted) {
        state.LaneStopped[lane] = true;
        if (++state.StopCount == 1) state.FirstLane = lane;
        heat.StateChanged();
    }
    // Only a running heat can end, and only once: a false start declared before START stops
    // its lane and nothing more.
    const bool heatEnds = counted && state.StopCount == 2 && !heat.StartOpen();
    // The texts go to the protocol before anyone hears of them: the row is what they read.
    const LaneResult result = ComputeLaneResult(race_, lane, instant);
    if (protocol_) protocol_->WriteLaneResult(heat.StartNumberText(lane), result);
    heat.SetLaneStopped(lane, instant, result);
    heat.SetStopOpen(lane, false);
    LockOutLane(lane);
    PlaySignal(state.StopSoundFile);
    emit LaneStopped(lane);
    if (heatEnds) {
        if (heat.AutoReset()) TimerReset->start();
        emit HeatFinished();
        if (race_.settings.ColSpeed0 && PortOpen()) SetStartLight(THeatModel::LightRed);
    }
    if (heat.StartOpen() && !ArmFlag(StartGroup)) ImageLSClick(StartGroup);
    heat.SetResetOpen(true);
}

void TRaceSequence::bFehlStartClick(int lane) {
    const qint64 at = race_.HighResTimer1.NowTicks();
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::FalseStart, lane, CurrentSource(), at);
    THeatModel& heat = Heat();
    heat.SetFalseStartButton(lane, false);
    heat.state.FalseStartLane = lane;
    StopLane(lane, at); // also when the lane has stopped already: its row gets the dash
    heat.state.FirstLane = lane == 1 ? 2 : 1;
    heat.StateChanged();
}

void TRaceSequence::ResetLane(int lane, const std::optional<TLaneNumbers>& next) {
    THeatModel& heat = Heat();
    heat.ClearLane(lane);
    if (next) {
        // A pairing is due: both lanes take it, a lane abandoned while racing as well.
        heat.SetStartNumber(lane, next->start[lane]);
        heat.SetReadyNumber(lane, next->ready[lane].value_or(next->start[lane] + 2));
    } else if (!heat.Lane(lane).stopOpen) {
        // The lane is not racing: its ready number moves up and the next one is ready.
        const int ready = heat.Lane(lane).readyNumber;
        heat.SetStartNumber(lane, ready);
        heat.SetReadyNumber(lane, ready + 2);
    }
}

void TRaceSequence::mResetClick() {
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::Reset, 0, CurrentSource(), race_.HighResTimer1.NowTicks());
    THeatModel& heat = Heat();
    const std::optional<TLaneNumbers> next = nextNumbers_ ? nextNumbers_() : std::nullopt;
    ResetLane(1, next);
    ResetLane(2, next);
    heat.LampsOff();
    emit DisplayReset();
    for (int lane = 1; lane <= 2; ++lane)
        if (ArmFlag(lane)) ImageLSClick(lane);
    SetStartLight(THeatModel::LightRed);
    heat.SetResetOpen(false);
    TimerReset->stop();
    heat.SetStartOpen(true);
    // With barriers connected, the next start must not depend on the operator's F10.
    if (PortOpen() && !ArmFlag(StartGroup)) ImageLSClick(StartGroup);
    for (int lane = 1; lane <= 2; ++lane)
        heat.SetStopOpen(lane, false);
    if (ManualMode())
        for (int lane = 1; lane <= 2; ++lane)
            OfferFalseStart(lane, false);
}

void TRaceSequence::OfferFalseStart(int lane, bool offered) {
    Heat().SetFalseStartKey(lane, offered);
    Heat().SetFalseStartButton(lane, offered);
}

void TRaceSequence::TimerGesperrtTimer(QTimer* sender) {
    sender->stop();
    const int group = sender == TimerGesperrtStart   ? StartGroup
                      : sender == TimerGesperrtStop1 ? Lane1Group
                                                     : Lane2Group;
    Heat().SetLockedOut(group, false);
    const bool open = group == StartGroup ? Heat().StartOpen() : Heat().Lane(group).stopOpen;
    if (!ArmFlag(group) && open) ImageLSClick(group);
}

void TRaceSequence::TimerResetTimer() {
    TSourceScope scope(*this, TCommandSource::Timer);
    TimerReset->stop();
    bRESETClick();
}

void TRaceSequence::bSTARTMouseDown() {
    TSourceScope scope(*this, TCommandSource::Button);
    mStart->trigger();
}

void TRaceSequence::bSTOPMouseDown(int lane) {
    if (!Heat().Lane(lane).stopOpen) return; // a grey button takes no press
    TSourceScope scope(*this, TCommandSource::Button);
    StopAction(lane)->trigger();
    if (ManualMode()) OfferFalseStart(lane, false);
}

void TRaceSequence::bRESETClick() {
    // The button does nothing while it is grey.
    if (!Heat().ResetOpen()) return;
    TSourceScope scope(*this, TCommandSource::Button);
    mResetClick();
}

void TRaceSequence::bFehlStartButtonClick(int lane) {
    if (!Heat().Lane(lane).falseStartButton) return; // only an offered button can be clicked
    TSourceScope scope(*this, TCommandSource::Button);
    bFehlStartClick(lane);
}
