#include "RaceSequence.h"

#include "LaneTimer.h"
#include "Race.h"
#include "ui/Artwork.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTimer>

namespace {

QAction* MenuEntry(QObject* parent, const QString& caption, const QKeySequence& key, bool enabled) {
    auto* action = new QAction(caption, parent);
    action->setShortcut(key);
    action->setEnabled(enabled);
    return action;
}

QTimer* LockOutTimer(QObject* parent, int interval) {
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

TRaceSequence::TRaceSequence(Race& race, const RaceControls& controls, QObject* parent)
    : QObject(parent), race_(race), c_(controls) {
    mStart = MenuEntry(this, QStringLiteral("Start"), Qt::Key_F5, true);
    mFehlstart1 = MenuEntry(this, QStringLiteral("Fehlstart 1"), Qt::Key_F6, false);
    mFehlstart2 = MenuEntry(this, QStringLiteral("Fehlstart 2"), Qt::CTRL | Qt::Key_F6, false);
    mStop1 = MenuEntry(this, QStringLiteral("Stopp 1"), Qt::Key_F8, false);
    mStop2 = MenuEntry(this, QStringLiteral("Stopp 2"), Qt::Key_F9, false);
    mReset = MenuEntry(this, QStringLiteral("0,00"), Qt::Key_F7, false);
    LockLS1 = MenuEntry(this, QStringLiteral("Lock LS start"), Qt::Key_F10, true);
    LockLS2 = MenuEntry(this, QStringLiteral("Lock LS1"), Qt::Key_F11, true);
    LockLS3 = MenuEntry(this, QStringLiteral("Lock LS2"), Qt::Key_F12, true);
    connect(mStart, &QAction::triggered, this, [this] { mStartClick(); });
    connect(mStop1, &QAction::triggered, this, [this] { mStopClick(1); });
    connect(mStop2, &QAction::triggered, this, [this] { mStopClick(2); });
    connect(mFehlstart1, &QAction::triggered, this, [this] { bFehlStartClick(1); });
    connect(mFehlstart2, &QAction::triggered, this, [this] { bFehlStartClick(2); });
    connect(mReset, &QAction::triggered, this, &TRaceSequence::mResetClick);
    connect(LockLS1, &QAction::triggered, this, [this] { LockLSClick(0); });
    connect(LockLS2, &QAction::triggered, this, [this] { LockLSClick(1); });
    connect(LockLS3, &QAction::triggered, this, [this] { LockLSClick(2); });

    TimerGesperrtStart = LockOutTimer(this, race.settings.WaitStart);
    TimerGesperrtStop1 = LockOutTimer(this, 500);
    TimerGesperrtStop2 = LockOutTimer(this, 500);
    TimerReset = LockOutTimer(this, 5000);
    for (QTimer* timer : {TimerGesperrtStart, TimerGesperrtStop1, TimerGesperrtStop2})
        connect(timer, &QTimer::timeout, this, [this, timer] { TimerGesperrtTimer(timer); });
    connect(TimerReset, &QTimer::timeout, this, &TRaceSequence::TimerResetTimer);

    // START and the stops act the moment any mouse button goes down; the others on a click.
    connect(c_.bSTART, &TOperatorButton::MouseDown, this, &TRaceSequence::bSTARTMouseDown);
    connect(c_.bSTOP1, &TOperatorButton::MouseDown, this, [this] { bSTOPMouseDown(1); });
    connect(c_.bSTOP2, &TOperatorButton::MouseDown, this, [this] { bSTOPMouseDown(2); });
    connect(c_.bRESET, &QAbstractButton::clicked, this, [this] {
        TSourceScope scope(*this, TCommandSource::Button);
        mResetClick();
    });
    for (int lane = 1; lane <= 2; ++lane)
        connect(FalseStartButton(lane), &QAbstractButton::clicked, this, [this, lane] {
            TSourceScope scope(*this, TCommandSource::Button);
            bFehlStartClick(lane);
        });

    for (int group = 0; group < 3; ++group) {
        ArmImage(group)->setPixmap(LockPicture(0));
        ArmImage(group)->installEventFilter(this);
    }
    SetStartLight(2);
}

TFrame1* TRaceSequence::Frame(int lane) const {
    return lane == 1 ? c_.FrameT1 : c_.FrameT2;
}
QAction* TRaceSequence::StopAction(int lane) const {
    return lane == 1 ? mStop1 : mStop2;
}
QAction* TRaceSequence::FalseStartAction(int lane) const {
    return lane == 1 ? mFehlstart1 : mFehlstart2;
}
TOperatorButton* TRaceSequence::StopButton(int lane) const {
    return lane == 1 ? c_.bSTOP1 : c_.bSTOP2;
}
TOperatorButton* TRaceSequence::FalseStartButton(int lane) const {
    return lane == 1 ? c_.bFehlStart1 : c_.bFehlStart2;
}
QLabel* TRaceSequence::ArmImage(int group) const {
    return group == StartGroup   ? c_.ImageLSstart
           : group == Lane1Group ? c_.ImageLSstop1
                                 : c_.ImageLSstop2;
}

bool TRaceSequence::PortOpen() const {
    return !c_.ImageLSstop1->isHidden();
}

void TRaceSequence::SetStartLight(int picture) {
    startLight_ = picture;
    c_.ImageAmpel->setPixmap(StartLightPicture(picture));
}

void TRaceSequence::SetReset(bool enabled) {
    c_.bRESET->SetOperatorButton(enabled);
    mReset->setEnabled(enabled);
}

void TRaceSequence::PlaySignal(const QString& file) {
    if (race_.settings.Sound && !file.isEmpty() && player_) player_(file);
}

void TRaceSequence::LockOutStart() {
    if (TimerGesperrtStart->interval() > 0) TimerGesperrtStart->start();
    if (armed_[StartGroup]) ImageLSClick(StartGroup);
}

void TRaceSequence::LockOutLane(int lane) {
    if (lane != 1 && lane != 2) return;
    QTimer* timer = lane == 1 ? TimerGesperrtStop1 : TimerGesperrtStop2;
    if (timer->interval() > 0) timer->start();
    if (armed_[lane]) ImageLSClick(lane);
}

void TRaceSequence::ImageLSClick(int group) {
    armed_[group] = 1 - armed_[group];
    ArmImage(group)->setPixmap(LockPicture(armed_[group]));
    if (group == StartGroup)
        SetStartLight(armed_[group] * 3); // yellow when armed, red when blocked
}

void TRaceSequence::StartAt(qint64 instant) {
    TSourceScope scope(*this, TCommandSource::Barrier);
    if (mStart->isEnabled()) mStartClick(instant);
}

void TRaceSequence::StopLaneAt(int lane, qint64 instant) {
    TSourceScope scope(*this, TCommandSource::Barrier);
    if (StopAction(lane)->isEnabled()) mStopClick(lane, instant);
}

void TRaceSequence::SetArmImagesVisible(bool visible) {
    for (int group = 0; group < 3; ++group)
        ArmImage(group)->setVisible(visible);
}

void TRaceSequence::mStartClick(std::optional<qint64> instant) {
    TSourceScope scope(*this, CurrentSource());
    // A lane still showing its last time is reset first, so both start from zero.
    for (TFrame1* lane : {c_.FrameT1, c_.FrameT2})
        if (!lane->IsRunning() && lane->StopTicks() != race_.state.StartTicks) {
            c_.bRESET->click();
            break;
        }
    race_.state.StartTicks = instant ? *instant : race_.HighResTimer1.NowTicks();
    if (race_.settings.ColSpeed0 && PortOpen()) SetStartLight(1);
    race_.state.ClearHeat();
    c_.FrameT1->StartLane();
    c_.FrameT2->StartLane();
    PlaySignal(race_.state.StartSoundFile);
    mStart->setEnabled(false);
    c_.bSTART->SetOperatorButton(false);
    for (int lane = 1; lane <= 2; ++lane) {
        StopAction(lane)->setEnabled(true);
        StopButton(lane)->SetOperatorButton(true);
    }
    for (int lane = 1; lane <= 2; ++lane)
        if (!armed_[lane]) ImageLSClick(lane);
    LockOutStart();
    SetReset(false);
    if (ManualMode())
        for (int lane = 1; lane <= 2; ++lane) {
            FalseStartAction(lane)->setEnabled(true);
            FalseStartButton(lane)->show();
        }
    emit CommandGiven(TRaceCommand::Start, 0, CurrentSource(), race_.state.StartTicks);
}

void TRaceSequence::mStopClick(int lane, std::optional<qint64> instant) {
    // The instant comes first; everything else follows it.
    const qint64 at = instant ? *instant : race_.HighResTimer1.NowTicks();
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::Stop, lane, CurrentSource(), at);
    StopLane(lane, at);
}

void TRaceSequence::StopLane(int lane, qint64 instant) {
    TRaceState& state = race_.state;
    const bool counted = !state.LaneStopped[lane];
    if (counted) {
        state.LaneStopped[lane] = true;
        if (++state.StopCount == 1) state.FirstLane = lane;
    }
    // Only a running heat can end, and only once: a false start declared before START stops
    // its lane and nothing more.
    const bool heatEnds = counted && state.StopCount == 2 && !mStart->isEnabled();
    Frame(lane)->StopLane(instant);
    StopAction(lane)->setEnabled(false);
    LockOutLane(lane);
    PlaySignal(state.StopSoundFile);
    emit LaneStopped(lane);
    if (heatEnds) {
        if (c_.cbAutomatisch->isChecked()) TimerReset->start();
        emit HeatFinished();
        if (race_.settings.ColSpeed0 && PortOpen()) SetStartLight(0);
    }
    c_.bSTOP1->SetOperatorButton(mStop1->isEnabled());
    c_.bSTOP2->SetOperatorButton(mStop2->isEnabled());
    if (c_.bSTART->isEnabled() && !armed_[StartGroup]) ImageLSClick(StartGroup);
    SetReset(true);
}

void TRaceSequence::bFehlStartClick(int lane) {
    const qint64 at = race_.HighResTimer1.NowTicks();
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::FalseStart, lane, CurrentSource(), at);
    FalseStartButton(lane)->hide();
    race_.state.FalseStartLane = lane;
    StopLane(lane, at); // also when the lane has stopped already: its row gets the dash
    race_.state.FirstLane = lane == 1 ? 2 : 1;
}

void TRaceSequence::mResetClick() {
    TSourceScope scope(*this, CurrentSource());
    emit CommandGiven(TRaceCommand::Reset, 0, CurrentSource(), race_.HighResTimer1.NowTicks());
    for (int lane = 1; lane <= 2; ++lane) {
        TFrame1* frame = Frame(lane);
        frame->ResetLane();
        if (!StopButton(lane)->isEnabled()) {
            // The lane is not racing: its ready number moves up and the next one is ready.
            frame->editStartN1->setValue(frame->editStartN2->value());
            frame->editStartN2->setValue(frame->editStartN2->value() + 2);
        }
    }
    emit DisplayReset();
    for (int lane = 1; lane <= 2; ++lane)
        if (armed_[lane]) ImageLSClick(lane);
    SetStartLight(0);
    SetReset(false);
    TimerReset->stop();
    mStart->setEnabled(true);
    c_.bSTART->SetOperatorButton(true);
    // With barriers connected, the next start must not depend on the operator's F10.
    if (PortOpen() && !armed_[StartGroup]) ImageLSClick(StartGroup);
    for (int lane = 1; lane <= 2; ++lane) {
        StopAction(lane)->setEnabled(false);
        StopButton(lane)->SetOperatorButton(false);
    }
    if (ManualMode())
        for (int lane = 1; lane <= 2; ++lane) {
            FalseStartAction(lane)->setEnabled(false);
            FalseStartButton(lane)->hide();
        }
}

void TRaceSequence::TimerGesperrtTimer(QTimer* sender) {
    sender->stop();
    if (sender == TimerGesperrtStart) {
        if (!armed_[StartGroup] && c_.bSTART->isEnabled()) ImageLSClick(StartGroup);
        return;
    }
    const int lane = sender == TimerGesperrtStop1 ? 1 : 2;
    if (!armed_[lane] && StopButton(lane)->isEnabled()) ImageLSClick(lane);
}

void TRaceSequence::TimerResetTimer() {
    TSourceScope scope(*this, TCommandSource::Timer);
    TimerReset->stop();
    c_.bRESET->click();
}

void TRaceSequence::bSTARTMouseDown() {
    TSourceScope scope(*this, TCommandSource::Button);
    mStart->trigger();
}

void TRaceSequence::bSTOPMouseDown(int lane) {
    TSourceScope scope(*this, TCommandSource::Button);
    StopAction(lane)->trigger();
    if (ManualMode()) {
        FalseStartAction(lane)->setEnabled(false);
        FalseStartButton(lane)->hide();
    }
}

bool TRaceSequence::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress)
        for (int group = 0; group < 3; ++group)
            if (watched == ArmImage(group)) {
                ImageLSClick(group);
                return true;
            }
    return QObject::eventFilter(watched, event);
}
