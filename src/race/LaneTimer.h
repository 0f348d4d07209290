#pragma once

#include "LaneResult.h"

#include <QColor>
#include <QWidget>

#include <optional>

class QLabel;
class QSpinBox;
class QTimer;
class TDigit;
class HeatProtocol;
struct Race;

// Colours of the lane clocks' digits: 0 dark leading zero, 1 lit.
inline const QColor DigitPalette[2] = {QColor(0x40, 0x40, 0x40), QColor(0xFF, 0xFF, 0x00)};

// One lane's clock and start numbers. It never decides when its lane starts or stops; it
// shows what the time base says and turns the lane's instants into its protocol texts.
class TFrame1 : public QWidget {
    Q_OBJECT
public:
    // tag is the lane number, 1 or 2.
    TFrame1(Race& race, int tag, QWidget* parent = nullptr);

    int Tag() const { return tag_; }
    qint64 StopTicks() const { return stopTicks_; }
    bool IsRunning() const;

    // Where the lane's row is prepared and written; none means the results go nowhere.
    void SetProtocol(HeatProtocol* protocol) { protocol_ = protocol; }

    void ShowTime(int seconds, int milliseconds);
    void ShowTicks(qint64 ticks);
    void StartLane();
    // Freezes the clock on the stop instant: the one given (a barrier's), or now.
    void StopLane(std::optional<qint64> stopTicks = {});
    void ResetLane();
    // Runs every 10 ms while Clock is on.
    void ClockTimer();

    TDigit* Digit4;
    TDigit* Digit5;
    TDigit* Digit6;
    TDigit* Digit7;
    QLabel* LabSec;
    TDigit* Digit8;
    TDigit* Digit9;
    QWidget* Panel6;
    QLabel* Label1;
    QLabel* Label2;
    QSpinBox* editStartN1;
    QSpinBox* editStartN2;
    QTimer* Clock;
    QLabel* Image1;

signals:
    // Every time the clock shows a time, so that another display can mirror it.
    void ClockShown(const ClockFace& face);
    // The lane's texts once it has stopped, as they go to the protocol.
    void ResultShown(const LaneResult& result);
    // The lane is back at zero for the next heat.
    void Cleared();

private:
    void ShowFace(const ClockFace& face);

    Race& race_;
    const int tag_;
    HeatProtocol* protocol_ = nullptr;
    qint64 stopTicks_ = 0;
};
