#include "RaceArea.h"

#include "Artwork.h"
#include "LaneTimer.h"
#include "widgets/Fonts.h"
#include "widgets/Led.h"
#include "widgets/OperatorButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace {

// The area was laid out for a client width of 792; anchored controls keep their distance to
// its right edge.
constexpr int kDesignWidth = 792;

// A quiet strip around the lane clocks.
QPixmap FrameStrip(int width, int height) {
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, width > height ? 0 : width, width > height ? height : 0);
    gradient.setColorAt(0, QColor(0x40, 0x50, 0x70));
    gradient.setColorAt(1, QColor(0x10, 0x18, 0x30));
    p.fillRect(pixmap.rect(), gradient);
    return pixmap;
}

TOperatorButton* OperatorButton(QWidget* parent, const QString& caption, const QString& hint,
                                const QRect& geometry, const TOperatorButton::Look& look) {
    auto* button = new TOperatorButton(caption, look, parent);
    button->setGeometry(geometry);
    button->setToolTip(hint);
    return button;
}

} // namespace

void Fill(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* Picture(QWidget* parent, const QRect& geometry, const QString& hint) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setToolTip(hint);
    return label;
}

TRaceArea::TRaceArea(Race& race, QWidget* parent) : QWidget(parent) {
    resize(parent->width(), kHeight);
    // Behind everything else in the area: the buttons lie over the picture.
    ImageTitle = Picture(this, QRect(532, 40, 254, 148));
    ImageTitle->setAlignment(Qt::AlignCenter);

    eTitle = new QLineEdit(QStringLiteral("* * *"), this);
    eTitle->setGeometry(400, 2, 390, 30);
    eTitle->setToolTip(QStringLiteral("Titel"));
    eTitle->setFont(ArialFont(19, true));

    // Three strips frame the lane clocks.
    Picture(this, QRect(7, 20, 12, 282))->setPixmap(FrameStrip(12, 282));
    Picture(this, QRect(7, 8, 386, 12))->setPixmap(FrameStrip(386, 12));
    Picture(this, QRect(7, 302, 386, 6))->setPixmap(FrameStrip(386, 6));

    FrameT1 = new TFrame1(race, 1, this);
    FrameT1->move(19, 20);
    FrameT2 = new TFrame1(race, 2, this);
    FrameT2->move(19, 159);

    const TOperatorButton::Look start = {QColor(0x00, 0x80, 0x00),
                                         QColor(0x80, 0xFF, 0x80),
                                         QColor(0x00, 0xC0, 0x00),
                                         QColor(0xC0, 0xFF, 0xC0),
                                         QColor(0x00, 0xC0, 0x00),
                                         Qt::white,
                                         Qt::yellow};
    const TOperatorButton::Look stop = {QColor(0xFF, 0x00, 0x00),
                                        QColor(0xFF, 0x80, 0x80),
                                        QColor(0xFF, 0xB0, 0xB0),
                                        QColor(0xFF, 0x90, 0x90),
                                        QColor(0xC0, 0x00, 0x00),
                                        Qt::white,
                                        Qt::yellow};
    const TOperatorButton::Look reset = {QColor(0x80, 0x80, 0x80),
                                         QColor(0xC0, 0xC0, 0xC0),
                                         QColor(),
                                         QColor(0x00, 0x00, 0x00),
                                         QColor(),
                                         Qt::white,
                                         Qt::yellow};
    const TOperatorButton::Look falseStart = {QColor(0x80, 0x80, 0x00),
                                              QColor(0xFF, 0xFF, 0xFF),
                                              QColor(),
                                              QColor(0xFF, 0xFF, 0x00),
                                              QColor(),
                                              Qt::red,
                                              Qt::red};
    bSTART = OperatorButton(this, QStringLiteral("START"), QStringLiteral("F5"),
                            QRect(400, 42, 98, 40), start);
    bSTOP1 = OperatorButton(this, QStringLiteral("STOPP 1"), QStringLiteral("F8"),
                            QRect(400, 105, 98, 40), stop);
    bSTOP2 = OperatorButton(this, QStringLiteral("STOPP 2"), QStringLiteral("F9"),
                            QRect(400, 249, 98, 40), stop);
    bFehlStart1 = OperatorButton(this, QStringLiteral("Fehlstart 1"), QStringLiteral("F6"),
                                 QRect(532, 105, 125, 40), falseStart);
    bFehlStart2 = OperatorButton(this, QStringLiteral("Fehlstart 2"), QStringLiteral("Strg+F6"),
                                 QRect(532, 249, 125, 40), falseStart);
    bRESET = OperatorButton(this, QStringLiteral("0,000"), QStringLiteral("F7"),
                            QRect(532, 152, 125, 40), reset);
    bAVARIA =
        OperatorButton(this, QString(), QStringLiteral("F4"), QRect(400, 152, 98, 40), falseStart);
    bAVARIA->hide(); // reached by F4 only
    bFehlStart1->hide();
    bFehlStart2->hide();
    for (TOperatorButton* button : {bSTOP1, bSTOP2, bRESET})
        button->SetOperatorButton(false);

    ImageLSstart =
        Picture(this, QRect(504, 51, 22, 22), QStringLiteral("Blockieren LS START (F10)"));
    ImageLSstop1 =
        Picture(this, QRect(504, 115, 22, 22), QStringLiteral("Blockieren LS STOPP1 (F11)"));
    ImageLSstop2 =
        Picture(this, QRect(504, 259, 22, 22), QStringLiteral("Blockieren LS STOPP2 (F12)"));
    for (QLabel* image : {ImageLSstart, ImageLSstop1, ImageLSstop2}) {
        image->setCursor(Qt::PointingHandCursor);
        image->hide(); // shown while the barrier port is open
    }
    ImageAmpel = Picture(this, QRect(532, 35, 64, 64));
    ImageAmpel->setScaledContents(true);

    cbAutomatisch = new QCheckBox(this);
    cbAutomatisch->move(510, 164);
    cbAutomatisch->setToolTip(QStringLiteral("Automatische Umschaltung in 5 Sekunden"));

    cbKlass = new QComboBox(this);
    cbKlass->setGeometry(602, 50, 55, 22);
    cbKlass->addItems({"1", "2", "3", "4"});
    cbKlass->hide();

    ImageTVAus = Picture(this, QRect(132, 310, 90, 20), QStringLiteral("Strg+M"));
    ImageTVAus->setPixmap(TvSwitchPicture(false));
    ImageTVEin = Picture(this, QRect(20, 310, 90, 20), QStringLiteral("Strg+M"));
    ImageTVEin->setPixmap(TvSwitchPicture(true));
    ImageTVAus->hide();
    ImageTVEin->hide();

    // Between the reset and the second lane's buttons: what the last lane stop looked like.
    LabWarnings = new QLabel(this);
    LabWarnings->setGeometry(400, 195, 300, 52);
    LabWarnings->setWordWrap(true);
    LabWarnings->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabWarnings->setFont(ArialFont(10, true));
    LabWarnings->setMargin(2);
    LabWarnings->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF2B0; color: #900000; border: 1px solid #C08000; }"));
    LabWarnings->hide();

    PanelImit = new QWidget(this);
    PanelImit->setGeometry(704, 36, 85, 257);
    PanelImit->setToolTip(QStringLiteral("Lichtschranken Imitation"));
    Fill(PanelImit, QColor(0xD4, 0xD0, 0xC8));
    PanelImit->hide();

    CreateProtocolBar();
    CreateImitationPanel();
}

void TRaceArea::CreateProtocolBar() {
    Panel4 = new QLabel(QStringLiteral("       Protokoll"), this);
    Panel4->setGeometry(394, 293, 391, 43);
    Panel4->setAlignment(Qt::AlignCenter);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel4->setFont(ArialFont(13, true));
    Fill(Panel4, QColor(0xD4, 0xD0, 0xC8));
    struct Entry {
        QToolButton** button;
        int left;
        QString hint;
        QString icon;
        QChar glyph;
    };
    const Entry entries[] = {
        {&sbLoad, 1, QString(), QStringLiteral("document-open"), u'O'},
        {&sbSave, 37, QStringLiteral("Speichern unter..."), QStringLiteral("document-save-as"),
         u'S'},
        {&sbExcel, 73, QStringLiteral("Datei in MS Excel"), QStringLiteral("x-office-spreadsheet"),
         u'X'},
        {&sbInet, 108, QStringLiteral("Als Webseite"), QStringLiteral("web-browser"), u'W'},
        {&sbNextKrug, 282, QStringLiteral("Folgenden Rennen"), QStringLiteral("go-next"), u'>'},
        {&sbPrint, 318, QStringLiteral("Drucken"), QStringLiteral("document-print"), u'P'},
        {&sbCLS, 354, QString(), QStringLiteral("edit-clear-all"), u'C'},
    };
    for (const Entry& entry : entries) {
        auto* button = new QToolButton(Panel4);
        button->setGeometry(entry.left, 2, 36, 39);
        button->setToolTip(entry.hint);
        button->setIcon(ThemeIcon(entry.icon, entry.glyph));
        button->setIconSize(QSize(24, 24));
        button->setAutoRaise(true);
        *entry.button = button;
    }
    sbPrint->setProperty("Tag", 1);
}

void TRaceArea::CreateImitationPanel() {
    auto button = [this](const QString& caption, const QString& hint, int top) {
        auto* b = new QPushButton(caption, PanelImit);
        b->setGeometry(4, top, 77, 26);
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    bImit1 = button(QStringLiteral("7+8"), QStringLiteral("Ampel-Kontakt-Start"), 8);
    bImit2 =
        button(QStringLiteral("1+4 (1.)"), QStringLiteral("1.Reakt/Zwisch/TopSpeed/Stopp"), 78);
    bImit3 =
        button(QStringLiteral("4+6 (2.)"), QStringLiteral("2.Reakt/Zwisch/TopSpeed/Stopp"), 158);
    const QString hints[9] = {
        QStringLiteral("Ampel-Kontakt-Start"), QStringLiteral("Reaktion-LS1"),
        QStringLiteral("LS-Zwischzeit 1"),     QStringLiteral("TopSpeed-LS 1"),
        QStringLiteral("Stopp-LS 1"),          QStringLiteral("Reaktion-LS2"),
        QStringLiteral("LS-Zwischzeit 2"),     QStringLiteral("TopSpeed-LS 2"),
        QStringLiteral("Stopp-LS 2")};
    for (int i = 0; i < 9; ++i) {
        Led[i] = new TLed(PanelImit);
        Led[i]->SetKind(lkGreen);
        Led[i]->setToolTip(hints[i]);
    }
    Led[0]->move(34, 40);
    // One row per lane under its button, event 1 at the left.
    for (int k = 1; k <= 4; ++k) {
        Led[k]->move(4 + (k - 1) * 20, 110);
        Led[k + 4]->move(4 + (k - 1) * 20, 190);
    }
    auto* caption = new QLabel(QStringLiteral("LS IMIT"), PanelImit);
    caption->setGeometry(0, 228, 85, 20);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFont(ArialFont(12, true));
    int tag = 1;
    for (QPushButton* b : {bImit1, bImit2, bImit3})
        connect(b, &QPushButton::clicked, this, [this, t = tag++] { emit ImitationClicked(t); });
}

void TRaceArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    Panel4->resize(w - 394 - (kDesignWidth - 785), Panel4->height());
    for (QToolButton* button : {sbNextKrug, sbPrint, sbCLS})
        button->move(Panel4->width() - (391 - (button == sbNextKrug ? 282
                                               : button == sbPrint  ? 318
                                                                    : 354)),
                     button->y());
    PanelImit->move(w - (kDesignWidth - 704), PanelImit->y());
    LabWarnings->resize(PanelImit->x() - 4 - LabWarnings->x(), LabWarnings->height());
    eTitle->resize(w - eTitle->x() - 2, eTitle->height());
}
