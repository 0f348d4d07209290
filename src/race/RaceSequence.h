#pragma once

#include "RaceCommand.h"

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QTimer;
class TFrame1;
class TOperatorButton;
struct Race;

// The window's controls that a heat drives.
struct RaceControls {
    TFrame1* FrameT1 = nullptr;
    TFrame1* FrameT2 = nullptr;
    TOperatorButton* bSTART = nullptr;
    TOperatorButton* bSTOP1 = nullptr;
    TOperatorButton* bSTOP2 = nullptr;
    TOperatorButton* bRESET = nullptr;
    TOperatorButton* bFehlStart1 = nullptr;
    TOperatorButton* bFehlStart2 = nullptr;
    QLabel* ImageLSstart = nullptr;
    QLabel* ImageLSstop1 = nullptr;
    QLabel* ImageLSstop2 = nullptr;
    QLabel* ImageAmpel = nullptr;
    QCheckBox* cbAutomatisch = nullptr;
};

// The state machine of a heat: START, the lane stops, false starts, reset, the arming of the
// three barrier inputs with their lock-outs, the start light and the automatic reset. Buttons,
// keys and barrier events all go through the same actions; a disabled action does nothing.
class TRaceSequence : public QObject {
    Q_OBJECT
public:
    enum Group { StartGroup = 0, Lane1Group = 1, Lane2Group = 2 };

    TRaceSequence(Race& race, const RaceControls& controls, QObject* parent = nullptr);

    // Names who gives the commands handled while it lives. The outermost one counts: a reset
    // that a START runs first has the START's source. Commands reached through the actions
    // alone come from their keys.
    class TSourceScope {
    public:
        TSourceScope(TRaceSequence& sequence, TCommandSource source);
        ~TSourceScope();
        TSourceScope(const TSourceScope&) = delete;
        TSourceScope& operator=(const TSourceScope&) = delete;

    private:
        TRaceSequence& sequence_;
        bool set_;
    };
    TCommandSource CurrentSource() const { return source_.value_or(TCommandSource::Key); }

    // Entries of the hidden menu this sequence owns, with their shortcuts.
    QAction* mStart;
    QAction* mFehlstart1;
    QAction* mFehlstart2;
    QAction* mStop1;
    QAction* mStop2;
    QAction* mReset;
    QAction* LockLS1;
    QAction* LockLS2;
    QAction* LockLS3;

    QTimer* TimerGesperrtStart;
    QTimer* TimerGesperrtStop1;
    QTimer* TimerGesperrtStop2;
    QTimer* TimerReset;

    // 1 armed (events accepted), 0 blocked.
    int ArmFlag(int group) const { return armed_[group]; }
    // The barrier hardware is connected: the arming images are shown.
    bool PortOpen() const;
    // The picture index the start light shows.
    int StartLight() const { return startLight_; }
    void SetStartLight(int picture);
    void SetSoundPlayer(std::function<void(const QString&)> player) { player_ = std::move(player); }

    // A start or stop at a known instant (a barrier's) instead of the moment of handling.
    void mStartClick(std::optional<qint64> instant = {});
    void mStopClick(int lane, std::optional<qint64> instant = {});
    // Like a click of mStart or mStop1/mStop2: nothing while the entry is disabled.
    void StartAt(qint64 instant);
    void StopLaneAt(int lane, qint64 instant);
    void bFehlStartClick(int lane);
    void mResetClick();
    void ImageLSClick(int group);
    void LockLSClick(int tag) { ImageLSClick(tag); }
    void LockOutStart();
    void LockOutLane(int lane);
    void PlaySignal(const QString& file);
    void TimerGesperrtTimer(QTimer* sender);
    void TimerResetTimer();
    void bSTARTMouseDown();
    void bSTOPMouseDown(int lane);

    TOperatorButton* FalseStartButton(int lane) const;
    QLabel* ImageAmpel() const { return c_.ImageAmpel; }
    // The arming images show while the barrier port is open.
    void SetArmImagesVisible(bool visible);

signals:
    // A command is being carried out; ticks is its instant (a lane's stop instant, START's).
    void CommandGiven(TRaceCommand command, int lane, TCommandSource source, qint64 ticks);
    // A lane stopped and its row is written.
    void LaneStopped(int lane);
    // Both lanes have stopped: the heat is over.
    void HeatFinished();
    // The clocks show zero again and the start numbers moved on.
    void DisplayReset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TFrame1* Frame(int lane) const;
    QAction* StopAction(int lane) const;
    QAction* FalseStartAction(int lane) const;
    TOperatorButton* StopButton(int lane) const;
    QLabel* ArmImage(int group) const;
    void SetReset(bool enabled);
    void StopLane(int lane, qint64 instant);
    bool ManualMode() const { return !PortOpen(); }

    Race& race_;
    RaceControls c_;
    int armed_[3] = {0, 0, 0};
    int startLight_ = 2;
    std::function<void(const QString&)> player_;
    std::optional<TCommandSource> source_;
};
