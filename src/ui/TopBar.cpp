#include "TopBar.h"

#include "Artwork.h"
#include "RaceArea.h"
#include "widgets/Fonts.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

const QString TTopBar::kMakerPage = QStringLiteral("https://www.tempiqo.example/");

namespace {

// The maker's name in two colours with dark shadows, and a blue suffix.
QPixmap LogoPicture() {
    QPixmap pixmap(170, 30);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont word = ArialFont(22, true);
    const QFont suffix = ArialFont(13, true);
    struct Part {
        QString text;
        QFont font;
        QColor color;
        bool shadow;
    };
    const Part parts[3] = {{QStringLiteral("Tempi"), word, QColor(0xE0, 0x10, 0x10), true},
                           {QStringLiteral("qo"), word, QColor(0x00, 0x99, 0x00), true},
                           {QStringLiteral(".example"), suffix, QColor(0x00, 0x00, 0xC0), false}};
    int x = 4;
    for (const Part& part : parts) {
        p.setFont(part.font);
        if (part.shadow) {
            p.setPen(Qt::black);
            p.drawText(x + 2, 25, part.text);
        }
        p.setPen(part.color);
        p.drawText(x, 23, part.text);
        x += QFontMetrics(part.font).horizontalAdvance(part.text);
    }
    return pixmap;
}

} // namespace

TTopBar::TTopBar(QWidget* parent) : QWidget(parent) {
    resize(parent->width(), kHeight);
    bHelp = new QToolButton(this);
    bHelp->setGeometry(4, 3, 32, 32);
    bHelp->setIcon(ThemeIcon(QStringLiteral("help-browser"), u'?'));
    bHelp->setIconSize(QSize(22, 22));
    bHelp->setToolTip(QStringLiteral("Hilfe (F1)"));
    bHelp->setAutoRaise(true);
    bCFG = new QToolButton(this);
    bCFG->setGeometry(38, 3, 32, 32);
    bCFG->setIcon(ThemeIcon(QStringLiteral("preferences-system"), u'⚙'));
    bCFG->setIconSize(QSize(22, 22));
    bCFG->setToolTip(QStringLiteral("Einstellungen (F2)"));
    bCFG->setAutoRaise(true);

    LabelLogo = new QLabel(this);
    LabelLogo->setGeometry(90, 4, 170, 30);
    LabelLogo->setPixmap(LogoPicture());
    LabelLogo->setCursor(Qt::PointingHandCursor);
    LabelLogo->setToolTip(kMakerPage);
    LabelLogo->installEventFilter(this);

    LabPortNotice = new QLabel(this);
    LabPortNotice->setWordWrap(true);
    LabPortNotice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabPortNotice->setFont(ArialFont(10, true));
    LabPortNotice->setFrameStyle(QFrame::Box | QFrame::Plain);
    LabPortNotice->setMargin(2);
    LabPortNotice->setCursor(Qt::PointingHandCursor); // a click puts it away
    LabPortNotice->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF2B0; color: #900000; border: 1px solid #C08000; }"));
    LabPortNotice->installEventFilter(this);
    LabPortNotice->hide();

    PanelDate = new QLabel(QStringLiteral("00:00"), this);
    PanelDate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelDate->setAlignment(Qt::AlignCenter);
    PanelDate->setFont(ArialFont(24));
    Fill(PanelDate, Qt::black);
    QPalette palette = PanelDate->palette();
    palette.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
    PanelDate->setPalette(palette);

    TimerDate = new QTimer(this);
    TimerDate->setInterval(5000);
    connect(TimerDate, &QTimer::timeout, this, [this] { ShowDate(QDateTime::currentDateTime()); });
    TimerDate->start();
    ShowDate(QDateTime::currentDateTime());
}

void TTopBar::ShowNotices(const QStringList& notices) {
    QStringList shown = notices;
    shown.removeAll(QString());
    const QString text = shown.join(u'\n');
    LabPortNotice->setText(text.section(u'\n', 0, 0));
    LabPortNotice->setToolTip(text);
    LabPortNotice->setVisible(!text.isEmpty());
}

void TTopBar::ShowDate(const QDateTime& now) {
    const QLocale locale;
    PanelDate->setText(locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral("   ") +
                       locale.toString(now.time(), QLocale::ShortFormat));
}

void TTopBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    PanelDate->setGeometry(w - 222, 2, 222, kHeight - 4);
    const int noticeLeft = LabelLogo->geometry().right() + 6;
    LabPortNotice->setGeometry(noticeLeft, 2, w - 222 - 4 - noticeLeft, kHeight - 4);
}

bool TTopBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == LabelLogo)
            QDesktopServices::openUrl(QUrl(kMakerPage));
        else if (watched == LabPortNotice)
            LabPortNotice->hide();
    }
    return QWidget::eventFilter(watched, event);
}
