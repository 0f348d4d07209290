#pragma once

#include "HeatModel.h"
#include "RaceCommand.h"

#include <QObject>

#include <functional>
#include <optional>

class HeatProtocol;
class QAction;
class QTimer;
struct Race;

// What a reset puts into the lanes instead of moving the ready numbers up, by lane ([1], [2]).
struct TLaneNumbers {
    int start[3] = {};
    // "Bereit"; none: two above the start number, as the reset would have it.
    std::optional<int> ready[3];
};

// The state machine of a heat: START, the lane stops, false starts, reset, the arming of the
// three barrier inputs with their lock-outs, the start light and the automatic reset. Buttons,
// keys and barrier events all go through the same actions; a disabled action does nothing.
// It reads and writes only the heat model; what the windows show follows the model.
class TRaceSequence : public QObject {
    Q_OBJECT
public:
    enum Group {
        StartGroup = THeatModel::StartGroup,
        Lane1Group = THeatModel::Lane1Group,
        Lane2Group = THeatModel::Lane2Group
    };

    explicit TRaceSequence(Race& race, QObject* parent = nullptr);

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

    // Entries of the hidden menu this sequence owns, with their shortcuts. Whether they are
    // enabled follows the heat model.
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

    THeatModel& Heat() const;
    // 1 armed (events accepted), 0 blocked.
    int ArmFlag(int group) const { return Heat().Armed(group); }
    // The barrier hardware is connected.
    bool PortOpen() const { return Heat().BarriersConnected(); }
    // The picture index the start light shows.
    int StartLight() const { return Heat().StartLight(); }
    void SetStartLight(int picture) { Heat().SetStartLight(picture); }
    void SetSoundPlayer(std::function<void(const QString&)> player) { player_ = std::move(player); }
    // Where the lanes' rows are prepared and written; none means the results go nowhere.
    void SetProtocol(HeatProtocol* protocol) { protocol_ = protocol; }
    // Asked at every reset: numbers given go into both lanes (a ladder's next pairing); none,
    // or no supplier, and each lane that is not racing moves its ready number up.
    using NextNumbers = std::function<std::optional<TLaneNumbers>()>;
    void SetNextNumbers(NextNumbers supplier) { nextNumbers_ = std::move(supplier); }

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
    // The operator's buttons: START and the stops act on the press, the others on a click.
    void bSTARTMouseDown();
    void bSTOPMouseDown(int lane);
    void bRESETClick();
    void bFehlStartButtonClick(int lane);

signals:
    // A command is being carried out; ticks is its instant (a lane's stop instant, START's).
    void CommandGiven(TRaceCommand command, int lane, TCommandSource source, qint64 ticks);
    // A lane stopped and its row is written.
    void LaneStopped(int lane);
    // Both lanes have stopped: the heat is over.
    void HeatFinished();
    // The clocks show zero again and the start numbers moved on.
    void DisplayReset();

private:
    QAction* StopAction(int lane) const;
    QAction* FalseStartAction(int lane) const;
    QTimer* LockOutTimer(int group) const;
    void UpdateActions();
    void StartLane(int lane);
    void StopLane(int lane, qint64 instant);
    void ResetLane(int lane, const std::optional<TLaneNumbers>& next);
    void OfferFalseStart(int lane, bool offered);
    bool ManualMode() const { return !PortOpen(); }

    Race& race_;
    HeatProtocol* protocol_ = nullptr;
    std::function<void(const QString&)> player_;
    NextNumbers nextNumbers_;
    std::optional<TCommandSource> source_;
};
