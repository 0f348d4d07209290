#include "LaneTimer.h"

#include "race/Race.h"
#include "widgets/Digit.h"
#include "widgets/Fonts.h"

#include <QLabel>
#include <QPainter>
#include <QSpinBox>
#include <QTimer>

namespace {

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void SetBlack(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QSpinBox* StartNumberEdit(QWidget* parent, int value, const QColor& color) {
    auto* edit = new QSpinBox(parent);
    edit->setRange(1, 9999); // four characters at most
    edit->setValue(value);
    edit->setFont(ArialFont(24, true));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Text, color);
    // Locked while the lane runs, but the number must stay readable.
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Disabled, QPalette::Text, color.darker(160));
    edit->setPalette(palette);
    return edit;
}

// The strip at the right edge: a chequered finish flag.
QPixmap FinishFlag() {
    QPixmap pixmap(20, 144);
    QPainter painter(&pixmap);
    for (int row = 0; row < 24; ++row)
        for (int column = 0; column < 4; ++column)
            painter.fillRect(column * 5, row * 6, 5, 6,
                             (row + column) % 2 ? QColor(0x20, 0x20, 0x20)
                                                : QColor(0xE0, 0xE0, 0xE0));
    return pixmap;
}

} // namespace

TFrame1::TFrame1(Race& race, int tag, QWidget* parent) : QWidget(parent), race_(race), tag_(tag) {
    resize(374, 143);
    SetBlack(this);
    setFont(ArialFont(19, true));

    Panel6 = new QWidget(this);
    Panel6->setGeometry(0, 0, 352, 41);
    SetBlack(Panel6);
    Label1 = new QLabel(QStringLiteral("Start-Nr.:"), Panel6);
    Label1->setGeometry(6, 6, 100, 30);
    SetTextColor(Label1, QColor(0x00, 0xFF, 0x00));
    editStartN1 = StartNumberEdit(Panel6, tag, QColor(0x00, 0xFF, 0x00));
    editStartN1->setGeometry(100, 4, 82, 34);
    Label2 = new QLabel(QStringLiteral("Bereit:"), Panel6);
    Label2->setGeometry(194, 6, 70, 30);
    SetTextColor(Label2, QColor(0xFF, 0x00, 0x00));
    editStartN2 = StartNumberEdit(Panel6, tag + 2, QColor(0xFF, 0x00, 0x00));
    editStartN2->setGeometry(266, 4, 82, 34);

    const int lefts[6] = {4, 60, 116, 188, 244, 300};
    TDigit** digits[6] = {&Digit4, &Digit5, &Digit6, &Digit7, &Digit8, &Digit9};
    for (int i = 0; i < 6; ++i) {
        auto* digit = new TDigit(this);
        digit->setGeometry(lefts[i], 43, 48, 89);
        digit->SetThickness(5); // only after sizing: a thick stroke needs the room
        digit->SetColorOn(DigitPalette[i < 2 ? 0 : 1]);
        *digits[i] = digit;
    }

    LabSec = new QLabel(QStringLiteral(","), this);
    LabSec->setGeometry(164, 70, 25, 81);
    QFont comma(QStringLiteral("Times New Roman"));
    comma.setStyleHint(QFont::Serif);
    comma.setPixelSize(64);
    comma.setBold(true);
    LabSec->setFont(comma);
    LabSec->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabSec->setAttribute(Qt::WA_TranslucentBackground);
    SetTextColor(LabSec, DigitPalette[1]);
    // Its box reaches a pixel into Digit7: above the digits, every change of that digit would
    // lay out and draw the comma again. Below them, the opaque digit covers that pixel.
    LabSec->stackUnder(Digit4);

    Image1 = new QLabel(this);
    Image1->setGeometry(354, 0, 20, 143);
    Image1->setScaledContents(true);
    Image1->setPixmap(FinishFlag());

    Clock = new QTimer(this);
    Clock->setInterval(10);
    connect(Clock, &QTimer::timeout, this, &TFrame1::ClockTimer);

    const THeatModel& heat = race.heat;
    connect(&heat, &THeatModel::LaneChanged, this, [this](int lane) {
        if (lane == tag_) LaneChanged();
    });
    connect(&heat, &THeatModel::LaneResultShown, this, [this](int lane) {
        if (lane == tag_) Stopped();
    });
    connect(&heat, &THeatModel::LaneCleared, this, [this](int lane) {
        if (lane == tag_) Cleared();
    });
    for (QSpinBox* edit : {editStartN1, editStartN2})
        connect(edit, &QSpinBox::valueChanged, this, [this, edit](int value) {
            if (edit == editStartN1)
                race_.heat.SetStartNumber(tag_, value);
            else
                race_.heat.SetReadyNumber(tag_, value);
        });
    LaneChanged();
}

bool TFrame1::IsRunning() const {
    return Clock->isActive();
}

void TFrame1::ShowTime(int seconds, int milliseconds) {
    ShowFace(ClockFace::FromTime(seconds, milliseconds));
}

void TFrame1::ShowTicks(qint64 ticks) {
    ShowFace(ClockFace::FromTicks(ticks));
}

void TFrame1::ShowFace(const ClockFace& face) {
    Digit4->SetValue(face.digits[0]);
    Digit4->SetColorOn(DigitPalette[face.bright4]);
    Digit5->SetValue(face.digits[1]);
    Digit5->SetColorOn(DigitPalette[face.bright5]);
    Digit6->SetValue(face.digits[2]);
    Digit7->SetValue(face.digits[3]);
    Digit8->SetValue(face.digits[4]);
    Digit9->SetValue(face.digits[5]);
    emit ClockShown(face);
}

void TFrame1::ClockTimer() {
    // The timer only triggers a repaint; the time itself always comes from the time base.
    ShowTicks(race_.HighResTimer1.NowTicks() - race_.heat.state.StartTicks);
}

void TFrame1::LaneChanged() {
    const THeatModel& heat = race_.heat;
    const THeatLane& lane = heat.Lane(tag_);
    editStartN1->setValue(lane.startNumber);
    editStartN2->setValue(lane.readyNumber);
    // The number stays while the lane runs and while it shows its time.
    editStartN1->setEnabled(!lane.running && !heat.ShowsResult(tag_));
    if (lane.running != Clock->isActive()) lane.running ? Clock->start() : Clock->stop();
}

void TFrame1::Stopped() {
    ShowTicks(race_.heat.Lane(tag_).stopTicks - race_.heat.state.StartTicks);
}

void TFrame1::Cleared() {
    for (TDigit* digit : {Digit9, Digit6, Digit7, Digit8})
        digit->SetColorOn(DigitPalette[1]);
    SetTextColor(LabSec, DigitPalette[1]);
    Digit4->SetColorOn(DigitPalette[0]);
    Digit5->SetColorOn(DigitPalette[0]);
    ShowTicks(0);
}
