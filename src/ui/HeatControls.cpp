#include "HeatControls.h"

#include "Artwork.h"
#include "RaceArea.h"
#include "race/Race.h"
#include "race/RaceSequence.h"
#include "widgets/Led.h"
#include "widgets/OperatorButton.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>

namespace {

// A button is repainted only when its state changes.
void Show(TOperatorButton* button, bool enabled) {
    if (button->isEnabled() != enabled) button->SetOperatorButton(enabled);
}

} // namespace

THeatControls::THeatControls(Race& race, TRaceSequence& sequence, TRaceArea& area, QObject* parent)
    : QObject(parent), race_(race), sequence_(sequence), c_(area) {
    const THeatModel& heat = race.heat;
    connect(&heat, &THeatModel::HeatChanged, this, &THeatControls::ShowHeat);
    connect(&heat, &THeatModel::LaneChanged, this, &THeatControls::ShowLane);

    // START and the stops act the moment any mouse button goes down; the others on a click.
    connect(c_.bSTART, &TOperatorButton::MouseDown, &sequence, &TRaceSequence::bSTARTMouseDown);
    connect(c_.bSTOP1, &TOperatorButton::MouseDown, &sequence,
            [&sequence] { sequence.bSTOPMouseDown(1); });
    connect(c_.bSTOP2, &TOperatorButton::MouseDown, &sequence,
            [&sequence] { sequence.bSTOPMouseDown(2); });
    connect(c_.bRESET, &QAbstractButton::clicked, &sequence, &TRaceSequence::bRESETClick);
    connect(c_.bFehlStart1, &QAbstractButton::clicked, &sequence,
            [&sequence] { sequence.bFehlStartButtonClick(1); });
    connect(c_.bFehlStart2, &QAbstractButton::clicked, &sequence,
            [&sequence] { sequence.bFehlStartButtonClick(2); });
    connect(c_.cbAutomatisch, &QCheckBox::toggled, &heat,
            [&race](bool on) { race.heat.SetAutoReset(on); });
    for (int group = 0; group < 3; ++group)
        ArmImage(group)->installEventFilter(this);

    ShowHeat();
    ShowLane(1);
    ShowLane(2);
}

QLabel* THeatControls::ArmImage(int group) const {
    return group == THeatModel::StartGroup   ? c_.ImageLSstart
           : group == THeatModel::Lane1Group ? c_.ImageLSstop1
                                             : c_.ImageLSstop2;
}

void THeatControls::ShowHeat() {
    const THeatModel& heat = race_.heat;
    Show(c_.bSTART, heat.StartOpen());
    Show(c_.bRESET, heat.ResetOpen());
    for (int group = 0; group < 3; ++group) {
        ArmImage(group)->setPixmap(LockPicture(heat.Armed(group)));
        ArmImage(group)->setVisible(heat.BarriersConnected());
    }
    c_.ImageAmpel->setPixmap(StartLightPicture(heat.StartLight()));
    c_.cbAutomatisch->setChecked(heat.AutoReset());
    c_.Led[0]->SetValue(heat.StartLamp());
}

void THeatControls::ShowLane(int lane) {
    const THeatLane& l = race_.heat.Lane(lane);
    Show(lane == 1 ? c_.bSTOP1 : c_.bSTOP2, l.stopOpen);
    (lane == 1 ? c_.bFehlStart1 : c_.bFehlStart2)->setVisible(l.falseStartButton);
    for (int event = 1; event <= 4; ++event)
        c_.Led[(lane - 1) * 4 + event]->SetValue(l.lamps[event]);
}

void THeatControls::ShowBarrierLamps() {
    TRaceSettings& settings = race_.settings;
    c_.ImageAmpel->setVisible(settings.ColSpeed0);
    settings.UpdateBarrierCount();
    // The lamps shown are the first BarrierCount positions of each row.
    for (int k = 2; k <= 4; ++k) {
        c_.Led[k]->setVisible(settings.BarrierCount >= k);
        c_.Led[k + 4]->setVisible(settings.BarrierCount >= k);
    }
}

bool THeatControls::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress)
        for (int group = 0; group < 3; ++group)
            if (watched == ArmImage(group)) {
                sequence_.ImageLSClick(group);
                return true;
            }
    return QObject::eventFilter(watched, event);
}
