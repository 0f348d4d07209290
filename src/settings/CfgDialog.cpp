#include "CfgDialog.h"

#include "SettingsStore.h"
#include "TrackSchematic.h"
#include "live/LiveAddress.h"
#include "serial/PortNotice.h"
#include "widgets/SpinFloatEdit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace {

constexpr int kClientWidth = 479;
constexpr int kClientHeight = 405;
constexpr int kSlipTop = 300; // the time slips' group, under the results page's controls
constexpr int kQrSize = 100;
constexpr int kRowHeight = 21;
constexpr double kDesignLength = 0.402; // km

QFont DialogFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QLabel* Label(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// A label whose text ends just before the control it names.
void PlaceBefore(QLabel* label, int right, int top) {
    const int width = label->sizeHint().width();
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(right - 4 - width, top, width, kRowHeight);
}

void PlaceAfter(QLabel* label, const QWidget* control) {
    label->setGeometry(control->geometry().right() + 4, control->y(), label->sizeHint().width(),
                       kRowHeight);
}

TSpinFloatEdit* FloatEdit(QWidget* parent, double min, double max, double step, int decimals,
                          double design, const QRect& geometry) {
    auto* edit = new TSpinFloatEdit(parent);
    edit->SetDecimals(decimals);
    edit->SetMaxValue(max);
    edit->SetMinValue(min);
    edit->SetIncrement(step);
    edit->SetValue(design);
    edit->setGeometry(geometry);
    return edit;
}

QCheckBox* CheckBox(const QString& text, QWidget* parent, QPoint at, bool checked) {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(checked);
    box->move(at);
    box->resize(box->sizeHint());
    return box;
}

} // namespace

int ScaleRounded(double value, int factor) {
    if (std::isnan(value)) return 0;
    if (std::isinf(value)) return value > 0 ? INT_MAX : INT_MIN;
    int shift = 0;
    for (int f = factor; f >= 10 && f % 10 == 0; f /= 10)
        ++shift;

    // The shortest digits that read back as this double: what the operator typed.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string text(buffer, result.ptr);
    const bool negative = text.front() == '-';
    const auto e = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i)
        if (text[i] != '.') digits += text[i];
    // value = digits × 10^exponent
    const int exponent = std::stoi(text.substr(e + 1)) - int(digits.size() - 1) + shift;

    const int whole = int(digits.size()) + exponent; // digits before the decimal point
    long long magnitude = 0;
    const auto accumulate = [&](char digit) {
        if (magnitude < LLONG_MAX / 100) magnitude = magnitude * 10 + (digit - '0');
    };
    for (int i = 0; i < whole; ++i)
        accumulate(i < int(digits.size()) ? digits[i] : '0');
    if (whole < int(digits.size())) {
        const std::string fraction = digits.substr(std::max(whole, 0));
        const std::string leading(std::max(-whole, 0), '0');
        const std::string rest = leading + fraction;
        const bool pastHalf = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) !=
                                                                      std::string::npos);
        const bool half = rest[0] == '5' && !pastHalf;
        if (pastHalf || (half && magnitude % 2 == 1)) ++magnitude;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    return int(std::clamp<long long>(signedValue, INT_MIN, INT_MAX));
}

TCfgDialog::TCfgDialog(TRaceSettings& settings, const TPortScan& ports, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Einstellungen"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls(ports);

    if (settings_.Length == 0) settings_.Length = ScaleRounded(kDesignLength, 1000);
}

void TCfgDialog::CreateControls(const TPortScan& ports) {
    LabLen = new QLabel(QStringLiteral("Streckenlänge:"), this);
    sfeLen = FloatEdit(this, 0.1, 999, 0.1, 3, kDesignLength, QRect(399, 6, 57, kRowHeight));
    sfeLen->setToolTip(QStringLiteral("Km"));
    PlaceBefore(LabLen, sfeLen->x(), sfeLen->y());
    PlaceAfter(Label(QStringLiteral("Km"), this), sfeLen);

    gbLS = new QGroupBox(QStringLiteral("Lichtschranken-Anschluss"), this);
    gbLS->setGeometry(8, 28, 465, 165);
    Schematic = new TTrackSchematic(gbLS);
    Schematic->setGeometry(0, 0, gbLS->width(), gbLS->height());

    seStartLen = FloatEdit(gbLS, 0, 1000, 1, 1, 0, QRect(56, 16, 60, kRowHeight));
    PlaceAfter(Label(QStringLiteral("m"), gbLS), seStartLen);
    seCentrLen = FloatEdit(gbLS, 0.1, 10000, 0.1, 1, 201.0, QRect(207, 16, 60, kRowHeight));
    PlaceAfter(Label(QStringLiteral("m"), gbLS), seCentrLen);
    seFinalLen = FloatEdit(gbLS, 0.1, 10000, 0.1, 1, 392.0, QRect(336, 16, 60, kRowHeight));
    PlaceAfter(Label(QStringLiteral("m"), gbLS), seFinalLen);

    cbAmpel = CheckBox(QString(), gbLS, QPoint(13, 104), true);
    cbAmpel->setToolTip(QStringLiteral("Ampel-Kontakt"));
    cbLsStart = CheckBox(QString(), gbLS, QPoint(107, 105), true);
    cbLsStart->setToolTip(QStringLiteral("Reaktion-LS"));
    cbLsCentr = CheckBox(QString(), gbLS, QPoint(206, 105), true);
    cbLsCentr->setToolTip(QStringLiteral("LS-Zwischzeit"));
    cbLsFinal = CheckBox(QString(), gbLS, QPoint(383, 105), true);
    cbLsFinal->setToolTip(QStringLiteral("TopSpeed-LS"));

    LabPort = new QLabel(QStringLiteral("Port:"), gbLS);
    cbPort = new QComboBox(gbLS);
    cbPort->setMaxVisibleItems(16);
    cbPort->setToolTip(QStringLiteral("AMPEL (7+8), LS1 (1-4), LS2 (4-6)"));
    cbPort->addItem(QStringLiteral("Kein"), 0);
    const int highest = std::min(int(ports.present >> 16), kComPortCount);
    for (int port = 1; port <= highest; ++port)
        if (ports.present & (1u << (port - 1)))
            cbPort->addItem(ports.names.value(port, ComPortDisplayName(port)), port);
    for (const TPortCondition& refused : ports.refused)
        refusedNotices_ << PortNoticeText(refused);
    // Wide enough for the device names; the controls after it make room where needed.
    // The box stays narrow enough for the controls after it; its list shows the whole names.
    cbPort->setGeometry(58, 139, std::clamp(cbPort->sizeHint().width(), 60, 120), kRowHeight);
    cbPort->view()->setMinimumWidth(cbPort->sizeHint().width());
    PlaceBefore(LabPort, cbPort->x(), cbPort->y());

    LabAlg = Label(QStringLiteral("Ampel algorithmus:"), gbLS);
    cbAlg = new QComboBox(gbLS);
    cbAlg->addItems({QStringLiteral("Ein"), QStringLiteral("Aus")});
    cbAlg->setEnabled(false);
    const int algLeft =
        std::max(226, cbPort->geometry().right() + 8 + LabAlg->sizeHint().width() + 4);
    cbAlg->setGeometry(algLeft, 139, 43, kRowHeight);
    PlaceBefore(LabAlg, cbAlg->x(), cbAlg->y());

    LabWait = new QLabel(QStringLiteral("Sperrzeit:"), gbLS);
    seWait = FloatEdit(gbLS, 0, 600, 0.1, 1, 0.2, QRect(381, 139, 51, kRowHeight));
    seWait->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PlaceBefore(LabWait, seWait->x(), seWait->y());
    PlaceAfter(Label(QStringLiteral("Sek."), gbLS), seWait);
    Schematic->lower();

    LabMonitor = new QLabel(QStringLiteral("TV-Anschluss:"), this);
    cbMonitor = new QComboBox(this);
    cbMonitor->setGeometry(151, 196, 202, kRowHeight);
    cbMonitor->addItem(QStringLiteral("Kein"));
    cbMonitor->setEnabled(false);
    LabMonitor->setEnabled(false);
    PlaceBefore(LabMonitor, cbMonitor->x(), cbMonitor->y());

    cbKlass = CheckBox(QStringLiteral("Klassen"), this, QPoint(385, 198), false);
    cbManyStart = CheckBox(
        QStringLiteral("Ein Teilnehmer kann mehrmals starten (Nr. = Platz, Platz, Platz...)"), this,
        QPoint(55, 220), false);

    LabMinTime = new QLabel(QStringLiteral("Mindestzeit:"), this);
    seMinTime = FloatEdit(this, 0, 999, 0.1, 1, 1.0, QRect(130, 246, 51, kRowHeight));
    seMinTime->setToolTip(QStringLiteral("Eine kürzere Zeit wird im Protokoll markiert"));
    PlaceBefore(LabMinTime, seMinTime->x(), seMinTime->y());
    auto* minTimeUnit = Label(QStringLiteral("Sek."), this);
    PlaceAfter(minTimeUnit, seMinTime);
    bLineTest = new QPushButton(QStringLiteral("Lichtschranken testen..."), this);
    bLineTest->setGeometry(kClientWidth - 8 - 170, 245, 170, 23);
    bLineTest->setToolTip(
        QStringLiteral("Pegel, Flanken und Strecke abgehen, vor dem ersten Lauf"));
    connect(bLineTest, &QPushButton::clicked, this, [this] {
        if (actions_.OpenLineTest)
            actions_.OpenLineTest(
                {cbLsStart->isChecked(), cbLsCentr->isChecked(), cbLsFinal->isChecked()});
    });
    cbLive = CheckBox(QStringLiteral("Live-Ergebnisse im Netzwerk"), this, QPoint(55, 274), false);
    cbLive->setToolTip(QStringLiteral("Eine Ergebnisseite für Handys im WLAN der Strecke"));
    LabLivePort = new QLabel(QStringLiteral("Port:"), this);
    seLivePort = new QSpinBox(this);
    seLivePort->setRange(1, 65535);
    seLivePort->setValue(8080);
    seLivePort->setGeometry(385, 273, 70, kRowHeight);
    PlaceBefore(LabLivePort, seLivePort->x(), seLivePort->y());
    LabLiveAddress = new QLabel(this);
    LabLiveAddress->setWordWrap(true);
    LabLiveAddress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabLiveAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ImageLiveQr = new QLabel(this);
    ImageLiveQr->setAlignment(Qt::AlignCenter);
    for (QWidget* live :
         {static_cast<QWidget*>(LabLiveAddress), static_cast<QWidget*>(ImageLiveQr)})
        live->hide();

    LabPortNotice = new QLabel(this);
    LabPortNotice->setWordWrap(true);
    LabPortNotice->setFrameStyle(QFrame::Box | QFrame::Plain);
    LabPortNotice->setMargin(3);
    LabPortNotice->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF2B0; color: #900000; border: 1px solid #C08000; }"));
    LabPortNotice->hide();

    CreateSlipControls();

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(8, kClientHeight - 33, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setGeometry(kClientWidth - 8 - 75, kClientHeight - 33, 75, 25);
    connect(OKBtn, &QPushButton::clicked, this, &TCfgDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TCfgDialog::reject);

    TimerBlink = new QTimer(this);
    TimerBlink->setInterval(500);
    connect(TimerBlink, &QTimer::timeout, this, &TCfgDialog::TimerBlinkTimer);

    for (QWidget* control : std::initializer_list<QWidget*>{
             LabMonitor, cbMonitor, cbKlass, cbManyStart, LabMinTime, seMinTime, minTimeUnit,
             bLineTest, cbLive, LabLivePort, seLivePort, LabLiveAddress, ImageLiveQr, gbSlip, OKBtn,
             CancelBtn})
        belowNotice_.append({control, control->y()});
    connect(cbLive, &QCheckBox::toggled, this, &TCfgDialog::ShowLiveAddress);
    connect(seLivePort, &QSpinBox::valueChanged, this, &TCfgDialog::ShowLiveAddress);

    connect(cbPort, &QComboBox::currentIndexChanged, this, [this] {
        UpdateEnabledStates();
        RefreshSchematic();
        ShowPortNotice();
    });
    for (QCheckBox* box : {cbLsStart, cbLsCentr, cbLsFinal})
        connect(box, &QCheckBox::toggled, this, [this] {
            UpdateEnabledStates();
            RefreshSchematic();
        });

    // The distances follow a track length the operator has finished typing: following each
    // keystroke would cut 392 m to 100 m on the way from "0,402" to "0,5".
    const auto* lengthText = sfeLen->findChild<QLineEdit*>();
    connect(sfeLen, &TSpinFloatEdit::OnChange, this, [this, lengthText] {
        if (!lengthText->isModified()) FollowTrackLength();
    });
    connect(sfeLen, &QAbstractSpinBox::editingFinished, this, &TCfgDialog::FollowTrackLength);
    FollowTrackLength();
    UpdateEnabledStates();
    RefreshSchematic();
}

void TCfgDialog::CreateSlipControls() {
    gbSlip = new QGroupBox(QStringLiteral("Zeitzettel"), this);
    gbSlip->setGeometry(8, kSlipTop, kClientWidth - 16, 62);
    cbSlipPrint = CheckBox(QStringLiteral("Zeitzettel drucken"), gbSlip, QPoint(10, 18), false);
    cbSlipPrint->setToolTip(QStringLiteral("Nach jedem Lauf ein Zettel je Fahrer"));
    LabSlipPaper = new QLabel(QStringLiteral("Papier:"), gbSlip);
    cbSlipPaper = new QComboBox(gbSlip);
    cbSlipPaper->addItems(
        {QStringLiteral("Bonrolle 58 mm"), QStringLiteral("Bonrolle 80 mm"), QStringLiteral("A6")});
    cbSlipPaper->setGeometry(gbSlip->width() - 8 - 120, 16, 120, kRowHeight);
    PlaceBefore(LabSlipPaper, cbSlipPaper->x(), cbSlipPaper->y());
    LabSlipPrinter = new QLabel(QStringLiteral("Drucker:"), gbSlip);
    cbSlipPrinter = new QComboBox(gbSlip);
    cbSlipPrinter->setGeometry(80, 38, gbSlip->width() - 8 - 80, kRowHeight);
    PlaceBefore(LabSlipPrinter, cbSlipPrinter->x(), cbSlipPrinter->y());
    const auto follow = [this](bool on) {
        for (QWidget* control : std::initializer_list<QWidget*>{LabSlipPrinter, cbSlipPrinter,
                                                                LabSlipPaper, cbSlipPaper})
            control->setEnabled(on);
    };
    connect(cbSlipPrint, &QCheckBox::toggled, this, follow);
    follow(false);
}

void TCfgDialog::FillSlipPrinters() {
    const QString wanted = settings_.SlipPrinter.isEmpty() ? QPrinterInfo::defaultPrinterName()
                                                           : settings_.SlipPrinter;
    cbSlipPrinter->clear();
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        cbSlipPrinter->addItem(name, name);
    // A queue that is gone stays chosen until the operator chooses another: it may come back.
    if (!wanted.isEmpty() && cbSlipPrinter->findData(wanted) < 0)
        cbSlipPrinter->addItem(wanted + QStringLiteral(" (nicht gefunden)"), wanted);
    if (cbSlipPrinter->count() == 0)
        cbSlipPrinter->addItem(QStringLiteral("Standarddrucker"), QString());
    cbSlipPrinter->setCurrentIndex(std::max(0, cbSlipPrinter->findData(wanted)));
}

bool TCfgDialog::PortChosen() const {
    return cbPort->currentIndex() > 0;
}

int TCfgDialog::ChosenPort() const {
    return PortChosen() ? cbPort->currentData().toInt() : 0;
}

void TCfgDialog::ShowPortNotice() {
    QStringList lines = refusedNotices_;
    if (actions_.PortNotice && PortChosen()) {
        const QString notice = actions_.PortNotice(ChosenPort());
        if (!notice.isEmpty()) lines.prepend(notice);
    }
    const QString text = lines.join(u'\n');
    LabPortNotice->setText(text);
    noticeRoom_ = 0;
    if (!text.isEmpty()) {
        const int width = kClientWidth - 16;
        const int height = LabPortNotice->heightForWidth(width);
        LabPortNotice->setGeometry(8, belowNotice_.first().second, width, height);
        noticeRoom_ = height + 4;
    }
    LabPortNotice->setVisible(!text.isEmpty());
    PlaceBelow();
}

void TCfgDialog::ShowLiveAddress() {
    const bool on = cbLive->isChecked();
    const int port = seLivePort->value();
    const QString notice = on && actions_.LiveNotice ? actions_.LiveNotice(port) : QString();
    const QString address = LiveAddress(quint16(port));
    LabLiveAddress->setText(notice.isEmpty() ? QStringLiteral("Auf dem Handy öffnen:\n") + address
                                             : notice);
    LabLiveAddress->setStyleSheet(notice.isEmpty() ? QString()
                                                   : QStringLiteral("QLabel { color: #B00000; }"));
    const QImage code = notice.isEmpty() ? QrCodeImage(address, 3) : QImage();
    ImageLiveQr->setPixmap(
        code.isNull() ? QPixmap()
                      : QPixmap::fromImage(code.scaled(kQrSize, kQrSize, Qt::KeepAspectRatio,
                                                       Qt::FastTransformation)));
    LabLiveAddress->setVisible(on);
    ImageLiveQr->setVisible(on && !code.isNull());
    seLivePort->setEnabled(on);
    LabLivePort->setEnabled(on);
    liveRoom_ = on ? kQrSize + 8 : 0;
    PlaceBelow();
}

void TCfgDialog::PlaceBelow() {
    for (const auto& [control, top] : belowNotice_) {
        const bool belowLive = control == gbSlip || control == OKBtn || control == CancelBtn;
        control->move(control->x(), top + noticeRoom_ + (belowLive ? liveRoom_ : 0));
    }
    const int liveTop = cbLive->y() + kRowHeight + 4;
    ImageLiveQr->setGeometry(kClientWidth - 8 - kQrSize, liveTop, kQrSize, kQrSize);
    LabLiveAddress->setGeometry(cbLive->x(), liveTop, ImageLiveQr->x() - 8 - cbLive->x(), kQrSize);
    setFixedSize(kClientWidth, kClientHeight + noticeRoom_ + liveRoom_);
}

// Without a port there is nothing to configure but the track; a distance only counts for a
// barrier that is wired.
void TCfgDialog::UpdateEnabledStates() {
    const bool chosen = PortChosen();
    cbAlg->setEnabled(chosen);
    seWait->setEnabled(chosen);
    seStartLen->setEnabled(chosen && cbLsStart->isChecked());
    seCentrLen->setEnabled(chosen && cbLsCentr->isChecked());
    seFinalLen->setEnabled(chosen && cbLsFinal->isChecked());
}

// No barrier stands beyond the stop barrier.
void TCfgDialog::FollowTrackLength() {
    const double metres = sfeLen->Value() * 1000;
    for (TSpinFloatEdit* edit : {seStartLen, seCentrLen, seFinalLen})
        edit->SetMaxValue(metres);
}

void TCfgDialog::Fill() {
    int portIndex = cbPort->findData(settings_.Port);
    if (settings_.Port == 0 || portIndex < 0) portIndex = 0;
    cbPort->setCurrentIndex(portIndex);
    // A stored polarity the box does not offer shows as none and stays as it is on "OK".
    cbAlg->setCurrentIndex(settings_.Alg == 0 || settings_.Alg == 1 ? settings_.Alg : -1);

    seWait->SetValue(settings_.WaitStart / 1000.0);
    sfeLen->SetValue(settings_.Length / 1000.0);
    FollowTrackLength();
    cbKlass->setChecked(settings_.Klass);
    seFinalLen->SetValue(settings_.LengthF / 10.0);
    seCentrLen->SetValue(settings_.LengthC / 10.0);
    seStartLen->SetValue(settings_.LengthS / 10.0);
    cbAmpel->setChecked(settings_.ColSpeed0);
    cbLsStart->setChecked(settings_.ColSpeed1);
    cbLsCentr->setChecked(settings_.ColSpeed2);
    cbLsFinal->setChecked(settings_.ColSpeed3);
    cbManyStart->setChecked(settings_.ManyStart);
    seMinTime->SetValue(settings_.MinTime / 1000.0);
    cbLive->setChecked(settings_.LiveResults);
    seLivePort->setValue(settings_.LivePort);
    cbSlipPrint->setChecked(settings_.SlipPrint);
    FillSlipPrinters();
    cbSlipPaper->setCurrentIndex(int(settings_.SlipPaper));

    UpdateEnabledStates();
    RefreshSchematic();
    ShowPortNotice();
    ShowLiveAddress();
}

bool TCfgDialog::Execute() {
    Fill();
    return exec() == QDialog::Accepted;
}

void TCfgDialog::FillMonitors() {
    const QList<QRect> screens = screens_.value_or(PresentScreens());
    const bool several = screens.size() > 1;
    cbMonitor->clear();
    if (several) {
        for (int i = 0; i < screens.size(); ++i) {
            const QRect& s = screens[i];
            cbMonitor->addItem(QStringLiteral("%1=(%2,%3)-(%4,%5)")
                                   .arg(i)
                                   .arg(s.x())
                                   .arg(s.y())
                                   .arg(s.width())
                                   .arg(s.height()));
        }
        const int monitor = settings_.Monitor;
        cbMonitor->setCurrentIndex(monitor >= 0 && monitor < screens.size() ? monitor : 0);
    } else {
        cbMonitor->addItem(QStringLiteral("Kein"));
        cbMonitor->setCurrentIndex(0);
    }
    cbMonitor->setEnabled(several);
    LabMonitor->setEnabled(several);
}

void TCfgDialog::showEvent(QShowEvent* event) {
    FillMonitors();
    RefreshSchematic();
    TimerBlink->start();
    QDialog::showEvent(event);
}

void TCfgDialog::hideEvent(QHideEvent* event) {
    TimerBlink->stop();
    QDialog::hideEvent(event);
}

void TCfgDialog::TimerBlinkTimer() {
    blinkPhase_ ^= 1;
    RefreshSchematic();
}

void TCfgDialog::RefreshSchematic() {
    const int dimming = PortChosen() ? 0 : blinkPhase_;
    Schematic->SetColors(SchematicColors(dimming, cbLsStart->isChecked(), cbLsCentr->isChecked(),
                                         cbLsFinal->isChecked()));
}

// The track length counts as typed, so a text the field has not yet judged is checked here,
// before any setting changes.
bool TCfgDialog::CheckTrackLength() {
    const auto typed = sfeLen->TypedValue();
    if (typed && *typed >= sfeLen->MinValue() && *typed <= sfeLen->MaxValue()) return true;
    const QLocale numbers = sfeLen->locale();
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Die Streckenlänge „%1“ ist ungültig.\n"
                                        "Bitte einen Wert von %2 bis %3 Km eingeben.")
                             .arg(sfeLen->text().trimmed(),
                                  numbers.toString(sfeLen->MinValue(), 'f', sfeLen->Decimals()),
                                  numbers.toString(sfeLen->MaxValue(), 'f', sfeLen->Decimals())));
    sfeLen->setFocus(Qt::OtherFocusReason);
    sfeLen->selectAll();
    return false;
}

void TCfgDialog::accept() {
    if (!CheckTrackLength()) return;
    // A length typed and confirmed at once still brings the distances within it.
    FollowTrackLength();
    QDialog::accept();
    Apply();
}

void TCfgDialog::Apply() {
    const auto call = [](const std::function<void()>& action) {
        if (action) action();
    };

    settings_.LengthF = ScaleRounded(seFinalLen->Value(), 10);
    settings_.LengthC = ScaleRounded(seCentrLen->Value(), 10);
    settings_.LengthS = ScaleRounded(seStartLen->Value(), 10);

    settings_.ColSpeed0 = cbAmpel->isChecked();
    settings_.ColSpeed1 = cbLsStart->isChecked();
    settings_.ColSpeed2 = cbLsCentr->isChecked();
    settings_.ColSpeed3 = cbLsFinal->isChecked();
    settings_.ManyStart = cbManyStart->isChecked();
    settings_.Klass = cbKlass->isChecked();

    call(actions_.ApplyClassMode);

    settings_.Monitor = std::max(cbMonitor->currentIndex(), 0);
    call(actions_.PlaceMonitor);

    settings_.Length = ScaleRounded(*sfeLen->TypedValue(), 1000);

    settings_.WaitStart = ScaleRounded(seWait->Value(), 1000);
    settings_.MinTime = ScaleRounded(seMinTime->Value(), 1000);
    if (actions_.SetStartLockOut) actions_.SetStartLockOut(settings_.WaitStart);

    call(actions_.ClosePort);
    settings_.Port = 0;

    if (PortChosen()) {
        settings_.Port = ChosenPort();
        if (cbAlg->currentIndex() >= 0) settings_.Alg = cbAlg->currentIndex();
        if (settings_.Port != 0) {
            // The device needs a moment between closing and opening again.
            if (actions_.Pause)
                actions_.Pause(50);
            else
                QThread::msleep(50);
            if (actions_.OpenPort) actions_.OpenPort(settings_.Port);
        }
    }

    call(actions_.ShowBarrierLamps);
    call(actions_.FormResize);

    settings_.LiveResults = cbLive->isChecked();
    settings_.LivePort = seLivePort->value();
    call(actions_.ApplyLiveResults);

    settings_.SlipPrint = cbSlipPrint->isChecked();
    settings_.SlipPrinter = cbSlipPrinter->currentData().toString();
    settings_.SlipPaper = TSlipPaper(std::max(0, cbSlipPaper->currentIndex()));
}
