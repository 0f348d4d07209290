#pragma once

#include <QObject>

class QLabel;
class TRaceArea;
class TRaceSequence;
struct Race;

// Shows the heat model on the operator's buttons, arming pictures, start light and lamps,
// and hands what the operator does with them to the race sequence.
class THeatControls : public QObject {
    Q_OBJECT
public:
    THeatControls(Race& race, TRaceSequence& sequence, TRaceArea& area, QObject* parent = nullptr);

    // The start light and the lamps of the barriers that are configured.
    void ShowBarrierLamps();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowHeat();
    void ShowLane(int lane);
    QLabel* ArmImage(int group) const;

    Race& race_;
    TRaceSequence& sequence_;
    TRaceArea& c_;
};
