#include "TvStandingsPage.h"

#include <QPainter>
#include <QTimer>

namespace {

const QColor kHeading(0xFF, 0xFF, 0x00);
const QColor kPlace(0x00, 0xFF, 0x00);

// A racer's line as the spectators read it: place, number, name, time and speed; without a
// place the reason stands where the time would.
QStringList RacerLine(const TStandingsEntry& entry) {
    const QString name = QStringList{entry.name, entry.firstName}.join(u' ').simplified();
    if (!entry.Placed()) return {QString(), entry.startNumber, name, entry.reason, QString()};
    return {QString::number(entry.place) + u'.', entry.startNumber, name, entry.time,
            entry.speed.isEmpty() ? QString() : entry.speed + QStringLiteral(" km/h")};
}

} // namespace

TTvStandingsPage::TTvStandingsPage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    TimerPage = new QTimer(this);
    TimerPage->setInterval(kPageMs);
    connect(TimerPage, &QTimer::timeout, this, &TTvStandingsPage::NextPage);
}

void TTvStandingsPage::SetStandings(const TStandings& standings, const QString& title) {
    title_ = title;
    pages_.clear();
    QList<QStringList> page;
    // A class that runs over a page goes on under its heading again.
    for (const TStandingsGroup& group : standings.groups) {
        const QString heading = standings.Klass ? group.title : QStringLiteral("Wertung");
        bool first = true;
        for (const TStandingsEntry& entry : group.entries) {
            if (page.size() + (first || page.isEmpty() ? 2 : 1) > kLinesPerPage) {
                pages_.append(page);
                page.clear();
            }
            if (first || page.isEmpty())
                page.append({first ? heading : heading + QStringLiteral(" (Fortsetzung)")});
            page.append(RacerLine(entry));
            first = false;
        }
    }
    if (!page.isEmpty() || pages_.isEmpty()) pages_.append(page);
    page_ = 0;
    update();
}

void TTvStandingsPage::NextPage() {
    if (pages_.size() < 2) return;
    page_ = (page_ + 1) % int(pages_.size());
    update();
}

void TTvStandingsPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // The title strip and one line more than a page holds share the height.
    const int lineHeight = height() / (kLinesPerPage + 2);
    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(std::max(1, lineHeight * 3 / 4));
    painter.setFont(font);
    const int margin = width() / 40;
    const QRect titleBox(margin, 0, width() - 2 * margin, lineHeight);
    painter.setPen(Qt::white);
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, title_);
    if (pages_.size() > 1)
        painter.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Seite %1/%2").arg(page_ + 1).arg(pages_.size()));

    // Place, number, name, time, speed, in shares of the width.
    static constexpr double kColumns[] = {0.08, 0.10, 0.47, 0.20, 0.15};
    const int inner = width() - 2 * margin;
    int top = lineHeight * 3 / 2;
    for (const QStringList& line : pages_.value(page_)) {
        if (line.size() == 1) {
            painter.setPen(kHeading);
            painter.drawText(QRect(margin, top, inner, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, line.first());
        } else {
            int left = margin;
            for (int column = 0; column < line.size(); ++column) {
                const int w = int(inner * kColumns[column]);
                const QRect box(left, top, w - margin / 2, lineHeight);
                painter.setPen(column == 0 ? kPlace : QColor(Qt::white));
                const Qt::Alignment align = column == 2 ? Qt::AlignLeft : Qt::AlignRight;
                painter.drawText(
                    box, align | Qt::AlignVCenter,
                    painter.fontMetrics().elidedText(line[column], Qt::ElideRight, box.width()));
                left += w;
            }
        }
        top += lineHeight;
    }
}

void TTvStandingsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    TimerPage->start();
}

void TTvStandingsPage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    TimerPage->stop();
}
