#pragma once

#include <QObject>

class QCheckBox;
class QLabel;
class TLed;
class TOperatorButton;
class TRaceSequence;
struct Race;

// The window's controls of a heat.
struct RaceControls {
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
    // Led[0] start contact, Led[1] … Led[4] lane 1, Led[5] … Led[8] lane 2.
    TLed* const* Led = nullptr;
};

// Shows the heat model on the operator's buttons, arming pictures, start light and lamps,
// and hands what the operator does with them to the race sequence.
class THeatControls : public QObject {
    Q_OBJECT
public:
    THeatControls(Race& race, TRaceSequence& sequence, const RaceControls& controls,
                  QObject* parent = nullptr);

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
    RaceControls c_;
};
