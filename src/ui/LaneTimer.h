#pragma once

#include "race/LaneResult.h"

#include <QColor>
#include <QWidget>

class QLabel;
class QSpinBox;
class QTimer;
class TDigit;
struct Race;

// Colours of the lane clocks' digits: 0 dark leading zero, 1 lit.
inline const QColor DigitPalette[2] = {QColor(0x40, 0x40, 0x40), QColor(0xFF, 0xFF, 0x00)};

// One lane's clock and start numbers, as the heat model has them. It never decides when its
// lane starts or stops: it shows what the time base says, and hands the numbers the operator
// types to the model.
class TFrame1 : public QWidget {
    Q_OBJECT
public:
    // tag is the lane number, 1 or 2.
    TFrame1(Race& race, int tag, QWidget* parent = nullptr);

    int Tag() const { return tag_; }
    // The clock runs.
    bool IsRunning() const;

    void ShowTime(int seconds, int milliseconds);
    void ShowTicks(qint64 ticks);
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

private:
    void ShowFace(const ClockFace& face);
    void LaneChanged();
    void Stopped();
    void Cleared();

    Race& race_;
    const int tag_;
};
