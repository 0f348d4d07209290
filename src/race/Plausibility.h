#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class TBarrierInputs;
class TRaceSequence;
struct Race;

// Why a lane's result looks wrong, in German. A warning never changes a time.
struct TPlausibilityWarning {
    QString rule; // short name, as the journal writes it
    QString text; // the reason, for the operator

    bool operator==(const TPlausibilityWarning&) const = default;
};

inline constexpr qint64 kMaxReactionTicks = 5'000'000'000; // 5 s
inline constexpr double kMaxSpeedKmh = 400;
// Two lanes stopping closer than this share a wire rather than a finish.
inline constexpr qint64 kStopPairTicks = 200'000; // 0.2 ms

// The checks of one lane when it has stopped at stopTicks, from the race records: events in
// order and complete (when barriers are connected), reaction time, intermediate time, speed
// and the minimum time. A false-started lane has no time to check.
QList<TPlausibilityWarning> CheckLaneStop(const Race& race, int lane, qint64 stopTicks,
                                          bool barriersConnected);
// Both lanes' stop instants.
std::optional<TPlausibilityWarning> CheckStopPair(qint64 stop1, qint64 stop2);
// A barrier pulse ticksAfterStop into the lane's lock-out.
TPlausibilityWarning LockOutPulseWarning(qint64 ticksAfterStop);

// Runs the checks as the heat goes: after each lane stop, when both lanes have stopped, and
// for a pulse in a lane's lock-out. What it found stands until the reset or the next START.
class TPlausibility : public QObject {
    Q_OBJECT
public:
    TPlausibility(const Race& race, TRaceSequence& sequence, TBarrierInputs& barriers,
                  QObject* parent = nullptr);

    // The reasons found for the lane in this heat.
    QStringList Reasons(int lane) const;

signals:
    void Warned(int lane, const QString& startNumber, const TPlausibilityWarning& warning,
                qint64 ticks);
    void Cleared();

private:
    void Clear();
    void LaneStopped(int lane);
    void Warn(int lane, const TPlausibilityWarning& warning, qint64 ticks);
    qint64 StopTicks(int lane) const;

    const Race& race_;
    TRaceSequence& sequence_;
    bool stopped_[3] = {};
    bool chattered_[3] = {};
    QList<TPlausibilityWarning> found_[3];
};
