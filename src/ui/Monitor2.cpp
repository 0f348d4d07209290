#include "Monitor2.h"

#include "DialogLifter.h"
#include "TvCallUp.h"
#include "TvLadderPage.h"
#include "TvParts.h"
#include "TvScale.h"
#include "TvStandingsPage.h"
#include "live/LiveAddress.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "ui/LaneTimer.h"
#include "widgets/Digit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>

#include <cmath>

TFormMonitor2::TFormMonitor2(const Race& race, TFrame1* laneFrame1, TFrame1* laneFrame2,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      frame1_(laneFrame1), frame2_(laneFrame2), settings_(race.settings), heat_(race.heat) {
    Q_ASSERT(frame1_ && frame2_);
    setWindowTitle(QStringLiteral("Monitor 2"));
    // Closing the operator's window must end the program even while the TV shows.
    setAttribute(Qt::WA_QuitOnClose, false);
    setCursor(Qt::BlankCursor);
    SetColors(this, Qt::white);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(19);
    setFont(font);

    Panel1 = BlackPanel(this);
    PanelTimer = BlackPanel(Panel1);

    PanelTitle = new QLabel(QStringLiteral("* * *"), PanelTimer);
    CallUp = new TTvCallUp(PanelTimer);
    SetColors(PanelTitle, Qt::white);
    PanelTitle->setAutoFillBackground(true);
    PanelTitle->setAlignment(Qt::AlignCenter);

    QLabel** starts[2] = {&LabStart1, &LabStart2};
    QLabel** nexts[2] = {&LabNext1, &LabNext2};
    QWidget** bars[2] = {&PanelLab1, &PanelLab2};
    for (int i = 0; i < 2; ++i) {
        QWidget* bar = BlackPanel(PanelTimer);
        LaneExtras& extras = Extras[i];
        *starts[i] = BarLabel(bar, kTvLime, Qt::AlignLeft);
        extras.name = new ElidedLabel(bar);
        SetColors(extras.name, Qt::white);
        extras.name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        *nexts[i] = BarLabel(bar, kTvRed, Qt::AlignRight);
        auto* row = new QHBoxLayout(bar);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(*starts[i]);
        row->addWidget(extras.name, 1);
        row->addWidget(*nexts[i]);
        *bars[i] = bar;

        // Its mask leaves only the ring.
        extras.winFrame = BlackPanel(PanelTimer);
        SetColors(extras.winFrame, Qt::black, kTvLime);
        extras.winFrame->hide();
        extras.resultBar = BlackPanel(PanelTimer);
        extras.winBadge = new QLabel(QStringLiteral("SIEG"), extras.resultBar);
        SetColors(extras.winBadge, Qt::black, kTvLime);
        extras.winBadge->setAutoFillBackground(true);
        extras.winBadge->setAlignment(Qt::AlignCenter);
        extras.winBadge->hide();
        extras.result = new QLabel(extras.resultBar);
        extras.result->setAlignment(Qt::AlignCenter);
        SetColors(extras.result, Qt::white);
        // The badge at the left, away from the comma, whose tail reaches into this line.
        auto* line = new QHBoxLayout(extras.resultBar);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(extras.winBadge);
        line->addWidget(extras.result, 1);
    }

    TDigit** row1[6] = {&Digit4, &Digit5, &Digit6, &Digit7, &Digit8, &Digit9};
    TDigit** row2[6] = {&Digit4a, &Digit5a, &Digit6a, &Digit7a, &Digit8a, &Digit9a};
    MakeRow(PanelTimer, row1);
    MakeRow(PanelTimer, row2);
    LabSec = Comma(PanelTimer);
    LabSec2 = Comma(PanelTimer);
    // Below the opaque digits, as on the lane frame: the comma's box reaches into the tenths
    // digit, and drawn above it the comma would be laid out again with every tick.
    LabSec->stackUnder(Digit4);
    LabSec2->stackUnder(Digit4a);
    // The ring crosses the comma's tail; it must stay whole. It never touches a digit.
    for (const LaneExtras& extras : Extras)
        extras.winFrame->raise();

    LabLiveAddress = new QLabel(PanelTimer);
    SetColors(LabLiveAddress, Qt::white);
    LabLiveAddress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ImageLiveQr = new QLabel(PanelTimer);
    ImageLiveQr->setAlignment(Qt::AlignCenter);
    for (QLabel* live : {LabLiveAddress, ImageLiveQr})
        live->hide();

    connect(&race.heat, &THeatModel::LaneResultShown, this, &TFormMonitor2::ShowResult);
    connect(&race.heat, &THeatModel::LaneChanged, this, [this](int lane) {
        SetLaneNumbers(lane, heat_.Lane(lane).startNumber, heat_.Lane(lane).readyNumber);
        if (heat_.Lane(lane).running) ShowClocks(); // the next START
        RefreshCallUp();
    });
    connect(&race.heat, &THeatModel::LaneCleared, this, &TFormMonitor2::ClearResult);
    for (TFrame1* frame : {frame1_, frame2_}) {
        connect(frame, &TFrame1::ClockShown, this,
                [this, frame](const ClockFace& face) { ShowClockFace(frame->Tag(), face); });
        // Start from what the lane shows now, not from a design value.
        ClockFace face;
        const TDigit* shown[6] = {frame->Digit4, frame->Digit5, frame->Digit6,
                                  frame->Digit7, frame->Digit8, frame->Digit9};
        for (int i = 0; i < 6; ++i)
            face.digits[i] = shown[i]->Value();
        face.bright4 = frame->Digit4->ColorOn() == DigitPalette[1];
        face.bright5 = frame->Digit5->ColorOn() == DigitPalette[1];
        ShowClockFace(frame->Tag(), face);
    }
    RefreshStartLabels();

    // Dialogs opened while this window covers the operator's screen are kept above it.
    auto* lifter = new TDialogLifter(this);
    lifter->SetCovering([this] { return CoversOperatorScreen(); });

    // A monitor that goes away must not leave the window on a screen that no longer exists.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TFormMonitor2::Placement,
            Qt::QueuedConnection);

    Placement();
}

QString TFormMonitor2::StartLabelText(int startNumber) {
    return QStringLiteral(" Start-Nr.:") + QString::number(startNumber);
}

QString TFormMonitor2::NextLabelText(int readyNumber) {
    return QStringLiteral("Bereit: ") + QString::number(readyNumber) + QLatin1Char(' ');
}

void TFormMonitor2::Placement() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return; // no display at all: keep the last placement
    int index = settings_.Monitor;
    // A monitor unplugged since the settings were made: the operator's screen, where
    // Escape still closes the window.
    if (index < 0 || index >= screens.size()) index = 0;
    QScreen* screen = screens.at(index);
    placedScreen_ = index;
    setScreen(screen);
    FitTo(screen->geometry());
}

void TFormMonitor2::FitTo(const QRect& bounds) {
    k_ = TTvScale::FactorFor(bounds.size(), frame1_->width());
    setGeometry(bounds);
    Layout();
}

void TFormMonitor2::ScaleRow(const TTvScale& scale, TFrame1* source, TDigit* const row[6]) {
    const TDigit* from[6] = {source->Digit4, source->Digit5, source->Digit6,
                             source->Digit7, source->Digit8, source->Digit9};
    for (int i = 0; i < 6; ++i) {
        row[i]->setGeometry(scale.Scaled(from[i]->geometry()));
        // Only after sizing: the digit refuses a stroke wider than half its size.
        row[i]->SetThickness(scale.Scaled(from[i]->Thickness()));
    }
}

void TFormMonitor2::Layout() {
    Panel1->setGeometry(rect());
    for (QWidget* page : std::initializer_list<QWidget*>{StandingsPage, LadderPage})
        if (page) page->setGeometry(Panel1->rect());
    PanelTimer->setGeometry(Panel1->rect());
    const int clientWidth = PanelTimer->width();
    const int clientHeight = PanelTimer->height();
    const TTvScale scale(k_, frame1_->width(), clientWidth);

    TDigit* const row1[6] = {Digit4, Digit5, Digit6, Digit7, Digit8, Digit9};
    TDigit* const row2[6] = {Digit4a, Digit5a, Digit6a, Digit7a, Digit8a, Digit9a};
    ScaleRow(scale, frame1_, row1);

    LabSec->setGeometry(scale.Scaled(frame1_->LabSec->geometry()));
    SetFontPixels(LabSec, LabSec->font(), scale.FontPixels(frame1_->LabSec->font()));

    const int barHeight = scale.FontPixels(frame1_->font());
    for (QWidget* bar : {PanelLab1, PanelLab2}) {
        SetFontPixels(bar, font(), barHeight);
        bar->setGeometry(0, bar->y(), clientWidth, barHeight);
    }
    // The labels follow their bar's size.
    for (QLabel* label : {LabStart1, LabNext1})
        label->setFont(PanelLab1->font());
    for (QLabel* label : {LabStart2, LabNext2})
        label->setFont(PanelLab2->font());

    ScaleRow(scale, frame2_, row2);
    // The lane 2 row sits on the bottom edge whatever the monitor's aspect ratio.
    const int row2Top = clientHeight - TTvScale::RoundHalfEven(Digit4a->height() * 1.2);
    for (TDigit* digit : row2)
        digit->move(digit->x(), row2Top);
    const int d = Digit4a->y() - Digit4->y();

    LabSec2->setGeometry(scale.Scaled(frame2_->LabSec->geometry()));
    SetFontPixels(LabSec2, LabSec2->font(), scale.FontPixels(frame2_->LabSec->font()));
    LabSec2->move(LabSec2->x(), LabSec->y() + d);

    PanelLab1->move(0, Digit4->y() - TTvScale::RoundHalfEven(PanelLab1->height() * 1.2));
    PanelLab2->move(0, Digit4a->y() - TTvScale::RoundHalfEven(PanelLab2->height() * 1.2));

    SetColors(LabStart1, kTvLime);
    SetColors(LabStart2, kTvLime);
    SetColors(LabNext1, kTvRed);
    SetColors(LabNext2, kTvRed);

    SetFontPixels(PanelTitle, font(), barHeight);
    PanelTitle->setGeometry(0, 0, clientWidth, PanelLab1->height());
    LayoutExtras();
    RefreshCallUp();
}

void TFormMonitor2::SetCallUpSource(PairingSource source) {
    CallUp->SetSource(std::move(source));
    RefreshCallUp();
}

void TFormMonitor2::RefreshCallUp() {
    CallUp->Refresh(PanelTitle, height() * 4 < width() * 3, heat_.Racing());
}

void TFormMonitor2::LayoutExtras() {
    // The frame and the result line fit into the gaps the rows leave; nothing else moves.
    const int ring = std::max(2, TTvScale::RoundHalfEven(k_ * 1.5));
    const int outset = ring + std::max(1, TTvScale::RoundHalfEven(k_));
    const QRect rows[2] = {Digit4->geometry().united(Digit9->geometry()),
                           Digit4a->geometry().united(Digit9a->geometry())};
    const int limits[2] = {PanelLab2->y(), PanelTimer->height()};
    int lineHeight = limits[0];
    for (int i = 0; i < 2; ++i) {
        const QRect frame = rows[i].adjusted(-outset, -outset, outset, outset);
        Extras[i].winFrame->setGeometry(frame);
        Extras[i].winFrame->setMask(
            QRegion(0, 0, frame.width(), frame.height()) -
            QRegion(ring, ring, frame.width() - 2 * ring, frame.height() - 2 * ring));
        const int top = frame.bottom() + 1;
        Extras[i].resultBar->setGeometry(frame.left(), top, frame.width(),
                                         std::max(0, limits[i] - top));
        lineHeight = std::min(lineHeight, Extras[i].resultBar->height());
    }

    // One size for both lines: as large as the lower gap allows, and the longest line fits.
    QFont font = this->font();
    int pixels = std::max(1, lineHeight * 4 / 5);
    const QString longest = ResultLineText({QStringLiteral("9,999"),
                                            QStringLiteral("99,999"),
                                            QStringLiteral("999,9"),
                                            {},
                                            false,
                                            false},
                                           settings_);
    const int room = Extras[0].resultBar->width();
    for (; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        // Badge with its margins, the spacing, the text with a little air at both ends.
        const int needed = metrics.horizontalAdvance(QStringLiteral("SIEG")) + pixels + pixels / 2 +
                           metrics.horizontalAdvance(longest) + pixels;
        if (needed <= room) break;
    }
    for (const LaneExtras& extras : Extras) {
        for (QLabel* label : {extras.winBadge, extras.result})
            SetFontPixels(label, font, pixels);
        // The badge gets a margin of half a letter, so it reads as a plate, not as text.
        extras.winBadge->setContentsMargins(pixels / 2, 0, pixels / 2, 0);
        extras.resultBar->layout()->setSpacing(pixels / 2);
        extras.name->setContentsMargins(PanelLab1->height() / 2, 0, 0, 0);
    }
    LayoutLive();
}

template <typename Page> Page* TFormMonitor2::Cover(Page*& page) {
    ShowClocks();
    if (!page) page = new Page(Panel1);
    page->setGeometry(Panel1->rect());
    page->setFont(font());
    page->show();
    page->raise();
    return page;
}

void TFormMonitor2::ShowStandings(const TStandings& standings) {
    Cover(StandingsPage)->SetStandings(standings, PanelTitle->text());
}

void TFormMonitor2::ShowLadder(const TLadder& ladder, const std::optional<TPairingRef>& marked) {
    Cover(LadderPage)->SetLadder(ladder, marked);
}

bool TFormMonitor2::ShowsLadder() const {
    return LadderPage && !LadderPage->isHidden();
}

void TFormMonitor2::ShowClocks() {
    for (QWidget* page : std::initializer_list<QWidget*>{StandingsPage, LadderPage})
        if (page) page->hide();
}

void TFormMonitor2::ShowLiveAddress(const QString& address) {
    if (address == liveAddress_) return;
    liveAddress_ = address;
    LayoutLive();
}

void TFormMonitor2::LayoutLive() {
    const bool on = !liveAddress_.isEmpty();
    LabLiveAddress->setVisible(on);
    ImageLiveQr->setVisible(false);
    if (!on) return;
    // Smaller than the title, at the strip's right end, so the title keeps the middle.
    const int strip = PanelTitle->height();
    SetFontPixels(LabLiveAddress, font(), strip * 2 / 5);
    LabLiveAddress->setText(liveAddress_ + QLatin1Char(' '));
    LabLiveAddress->setGeometry(PanelTitle->geometry());
    LabLiveAddress->raise();

    // The clocks keep their places: the code gets what is left beside them, at the bottom.
    const int gap = std::max(2, TTvScale::RoundHalfEven(k_ * 2));
    const int left =
        std::max(Extras[0].winFrame->geometry().right(), Extras[1].winFrame->geometry().right()) +
        gap;
    const int side = std::min(PanelTimer->width() - gap - left, PanelTimer->height() / 3);
    const QImage unit = QrCodeImage(liveAddress_, 1);
    if (unit.isNull() || side < unit.width()) return; // less than a pixel a module: unreadable
    const QImage code = QrCodeImage(liveAddress_, side / unit.width());
    ImageLiveQr->setPixmap(QPixmap::fromImage(code));
    ImageLiveQr->setGeometry(left + (side - code.width()) / 2,
                             PanelTimer->height() - gap - code.height(), code.width(),
                             code.height());
    ImageLiveQr->show();
    ImageLiveQr->raise();
}

void TFormMonitor2::Show() {
    Placement();
    RefreshStartLabels();
    show();
    raise();
    activateWindow();
}

void TFormMonitor2::ShowFromSwitch(QWidget* mainWindow) {
    Show();
    if (placedScreen_ != 0 && mainWindow) mainWindow->activateWindow();
}

void TFormMonitor2::Close() {
    hide();
}

void TFormMonitor2::Toggle() {
    if (isVisible())
        Close();
    else
        Show();
}

void TFormMonitor2::ShowClockFace(int lane, const ClockFace& face) {
    // The same values and the same leading-zero colours as on the lane's own digits.
    TDigit* const upper[6] = {Digit4, Digit5, Digit6, Digit7, Digit8, Digit9};
    TDigit* const lower[6] = {Digit4a, Digit5a, Digit6a, Digit7a, Digit8a, Digit9a};
    TDigit* const* row = lane == 1 ? upper : lower;
    for (int i = 0; i < 6; ++i)
        row[i]->SetValue(face.digits[i]);
    row[0]->SetColorOn(DigitPalette[face.bright4]);
    row[1]->SetColorOn(DigitPalette[face.bright5]);
}

void TFormMonitor2::SetLaneNumbers(int lane, int startNumber, int readyNumber) {
    QLabel* start = lane == 1 ? LabStart1 : LabStart2;
    QLabel* next = lane == 1 ? LabNext1 : LabNext2;
    start->setText(StartLabelText(startNumber));
    next->setText(NextLabelText(readyNumber));
    RefreshNames();
}

void TFormMonitor2::SetProtocol(const TProtocolModel* protocol) {
    if (protocol_) disconnect(protocol_, nullptr, this, nullptr);
    protocol_ = protocol;
    if (protocol) {
        connect(protocol, &QAbstractItemModel::modelReset, this, &TFormMonitor2::RefreshNames);
        connect(protocol, &QAbstractItemModel::dataChanged, this, &TFormMonitor2::RefreshNames);
        connect(protocol, &QAbstractItemModel::rowsInserted, this, &TFormMonitor2::RefreshNames);
        connect(protocol, &QAbstractItemModel::rowsRemoved, this, &TFormMonitor2::RefreshNames);
    }
    RefreshNames();
}

void TFormMonitor2::RefreshNames() {
    RefreshCallUp();
    for (int lane = 1; lane <= 2; ++lane)
        ExtrasOf(lane).name->setText(protocol_ ? protocol_->RiderName(heat_.Lane(lane).startNumber)
                                               : QString());
}

void TFormMonitor2::ShowResult(int lane, const LaneResult& result) {
    const LaneExtras& extras = ExtrasOf(lane);
    // A false start takes the place of the results and never wins.
    const bool winner = result.Won();
    extras.result->setText(result.marked ? QStringLiteral("FEHLSTART")
                                         : ResultLineText(result, settings_));
    SetColors(extras.result, result.marked ? kTvRed : QColor(Qt::white));
    extras.winBadge->setVisible(winner);
    extras.winFrame->setVisible(winner);
}

void TFormMonitor2::ClearResult(int lane) {
    const LaneExtras& extras = ExtrasOf(lane);
    extras.result->clear();
    extras.winBadge->hide();
    extras.winFrame->hide();
}

void TFormMonitor2::SetStartNumbers(int start1, int next1, int start2, int next2) {
    SetLaneNumbers(1, start1, next1);
    SetLaneNumbers(2, start2, next2);
}

void TFormMonitor2::SetTitle(const QString& title) {
    PanelTitle->setText(title);
    RefreshCallUp();
}

void TFormMonitor2::RefreshStartLabels() {
    for (int lane = 1; lane <= 2; ++lane)
        SetLaneNumbers(lane, heat_.Lane(lane).startNumber, heat_.Lane(lane).readyNumber);
}

bool TFormMonitor2::CoversOperatorScreen() const {
    return isVisible() && placedScreen_ == 0;
}

void TFormMonitor2::keyPressEvent(QKeyEvent* event) {
    // Escape only where the window hides the operator's own screen; on a TV it would
    // only be a stray key.
    if (event->key() == Qt::Key_Escape) {
        if (placedScreen_ == 0) Close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFormMonitor2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void TFormMonitor2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ReportVisibility(true);
}

void TFormMonitor2::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ReportVisibility(isVisible());
}

void TFormMonitor2::ReportVisibility(bool visible) {
    if (visible == reportedVisible_) return;
    reportedVisible_ = visible;
    emit VisibilityChanged(visible);
}
