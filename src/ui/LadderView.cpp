#include "LadderView.h"

#include "ladder/LadderText.h"
#include "widgets/Fonts.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kMargin = 14;
constexpr int kBoxWidth = 224;
constexpr int kLine = 24;
constexpr int kBoxHeight = 2 * kLine + 1;
// Room between two boxes of the first round, enough for a box's mark above it.
constexpr int kRowGap = 20;
constexpr int kColumnGap = 36;
constexpr int kHeading = 30;
constexpr int kThirdGap = 36;
constexpr int kNumberWidth = 34;
constexpr int kPad = 6;

const QColor kBorder(0x80, 0x80, 0x80);
const QColor kJoin(0x60, 0x60, 0x60);
const QColor kDivider(0xD8, 0xD8, 0xD8);
const QColor kSelected(0x20, 0x20, 0x20);
const QColor kWinner(0xC6, 0xEF, 0xC6);
const QColor kLanes(0x1E, 0x5A, 0xC8);
const QColor kReady(0xE0, 0x80, 0x10);
const QColor kGone(0x80, 0x80, 0x80);
const QColor kNoShow(0xB0, 0x20, 0x20);

} // namespace

TLadderView::TLadderView(QWidget* parent) : QWidget(parent) {
    setFont(ArialFont(14));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xF4, 0xF4, 0xF0));
    setPalette(colours);
}

void TLadderView::SetLadder(const std::optional<TLadder>& ladder,
                            const std::optional<TPairingRef>& inLanes,
                            const std::optional<TPairingRef>& ready) {
    const bool other = !ladder || !ladder_ || ladder->id != ladder_->id;
    ladder_ = ladder;
    inLanes_ = inLanes;
    ready_ = ready;
    Layout();
    if (other || (selected_ && !PairingOf(*selected_))) Select(std::nullopt);
    update();
}

void TLadderView::Select(const std::optional<TPairingRef>& ref) {
    const std::optional<TPairingRef> chosen = ref && PairingOf(*ref) ? ref : std::nullopt;
    if (chosen == selected_) return;
    selected_ = chosen;
    update();
    emit SelectionChanged();
}

const TLadderPairing* TLadderView::PairingOf(const TPairingRef& ref) const {
    return ladder_ && ladder_->id == ref.ladder ? ladder_->Pairing(ref.round, ref.slot) : nullptr;
}

QRect TLadderView::BoxOf(const TPairingRef& ref) const {
    for (const Box& box : boxes_)
        if (box.ref == ref) return box.rect;
    return {};
}

std::optional<TPairingRef> TLadderView::PairingAt(const QPoint& point) const {
    for (const Box& box : boxes_)
        if (box.rect.contains(point)) return box.ref;
    return std::nullopt;
}

QStringList TLadderView::LineTexts(const TPairingRef& ref, int place) const {
    const TLadderPairing* pairing = PairingOf(ref);
    if (!pairing || (place != kUpper && place != kLower)) return {};
    const int seed = pairing->seeds[place];
    if (!seed) return {QString(), QString(), QString()}; // waits for a winner
    if (pairing->Bye(place)) return {QString(), QStringLiteral("Freilos"), QString()};
    const TLadderEntrant* racer = ladder_->Entrant(seed);
    if (!racer) return {};
    QString outcome;
    if (pairing->noShow == seed)
        outcome = QStringLiteral("nicht angetreten");
    else if (const std::optional<TRun>& run = pairing->runs[place])
        outcome = run->Valid() ? run->finalTime : run->InvalidReason();
    return {racer->startNumber, LadderRacerName(*racer), outcome};
}

void TLadderView::Layout() {
    boxes_.clear();
    headings_.clear();
    size_ = QSize();
    if (ladder_ && !ladder_->rounds.isEmpty()) {
        QList<double> centres; // of the round before
        int right = 0, bottom = 0;
        for (int round = 0; round < ladder_->rounds.size(); ++round) {
            const int x = kMargin + round * (kBoxWidth + kColumnGap);
            headings_.append(
                {ladder_->rounds[round].name, QPoint(x + kBoxWidth / 2, kMargin + kHeading / 2)});
            QList<double> next;
            const int count = int(ladder_->rounds[round].pairings.size());
            for (int slot = 0; slot < count; ++slot) {
                // Each box halfway between the two it takes its racers from.
                const double centre =
                    round == 0
                        ? kMargin + kHeading + slot * (kBoxHeight + kRowGap) + kBoxHeight / 2.0
                        : (centres[2 * slot] + centres[2 * slot + 1]) / 2;
                next.append(centre);
                const QRect rect(x, int(centre - kBoxHeight / 2.0), kBoxWidth, kBoxHeight);
                boxes_.append({{ladder_->id, round, slot}, rect});
                right = std::max(right, rect.right());
                bottom = std::max(bottom, rect.bottom());
            }
            centres = next;
        }
        if (const std::optional<TLadderPairing>& third = ladder_->thirdPlaceRace) {
            const QRect final = boxes_.last().rect;
            const QRect rect(final.left(), final.bottom() + kThirdGap + kHeading, kBoxWidth,
                             kBoxHeight);
            headings_.append({third->name, QPoint(rect.center().x(), rect.top() - kHeading / 2)});
            boxes_.append({{ladder_->id, third->round, 0}, rect});
            bottom = std::max(bottom, rect.bottom());
        }
        size_ = QSize(right + kMargin + 1, bottom + kMargin + 1);
    }
    setMinimumSize(size_);
    updateGeometry();
}

void TLadderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!ladder_) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    QFont heading = font();
    heading.setBold(true);
    heading.setPixelSize(font().pixelSize() + 1);
    painter.setFont(heading);
    painter.setPen(palette().color(QPalette::WindowText));
    for (const auto& [text, centre] : std::as_const(headings_))
        painter.drawText(
            QRect(centre.x() - kBoxWidth / 2, centre.y() - kHeading / 2, kBoxWidth, kHeading),
            Qt::AlignCenter, text);

    // A line from each pairing to the one its winner goes on to.
    painter.setPen(QPen(kJoin, 1));
    for (const Box& box : std::as_const(boxes_)) {
        if (box.ref.round == 0 || box.ref.round >= ladder_->rounds.size()) continue;
        const QPoint to(box.rect.left(), box.rect.center().y());
        for (const int from : {2 * box.ref.slot, 2 * box.ref.slot + 1}) {
            const QRect source = BoxOf({box.ref.ladder, box.ref.round - 1, from});
            const QPoint start(source.right() + 1, source.center().y());
            const int middle = start.x() + kColumnGap / 2;
            painter.drawPolyline(QList<QPoint>{start, {middle, start.y()}, {middle, to.y()}, to});
        }
    }
    painter.setFont(font());
    for (const Box& box : std::as_const(boxes_))
        DrawBox(painter, box);
}

void TLadderView::DrawBox(QPainter& painter, const Box& box) const {
    const TLadderPairing& pairing = *PairingOf(box.ref);
    const QRect& rect = box.rect;
    painter.fillRect(rect, Qt::white);
    QFont bold = font();
    bold.setBold(true);
    QFont italic = font();
    italic.setItalic(true);
    for (const int place : {kUpper, kLower}) {
        const QRect line(rect.left(), rect.top() + place * (kLine + 1), rect.width(), kLine);
        const int seed = pairing.seeds[place];
        const bool won = pairing.Decided() && pairing.winner == seed;
        const bool out = pairing.Decided() && !won;
        if (won) painter.fillRect(line.adjusted(1, 1, 0, 0), kWinner);
        const QStringList texts = LineTexts(box.ref, place);
        const QColor ink = out ? kGone : palette().color(QPalette::WindowText);
        painter.setPen(ink);
        painter.setFont(bold);
        painter.drawText(QRect(line.left() + kPad, line.top(), kNumberWidth, kLine),
                         Qt::AlignVCenter | Qt::AlignRight, texts.value(0));
        painter.setFont(font());
        const QString outcome = texts.value(2);
        const int outcomeWidth =
            outcome.isEmpty() ? 0 : painter.fontMetrics().horizontalAdvance(outcome);
        painter.setPen(pairing.noShow && pairing.noShow == seed ? kNoShow : ink);
        painter.drawText(QRect(line.right() - kPad - outcomeWidth, line.top(), outcomeWidth, kLine),
                         Qt::AlignVCenter | Qt::AlignRight, outcome);
        const bool bye = seed && pairing.Bye(place);
        painter.setFont(bye ? italic : won ? bold : font());
        painter.setPen(bye ? kGone : ink);
        const int left = line.left() + kPad + kNumberWidth + kPad;
        const int room = line.right() - kPad - outcomeWidth - kPad - left;
        painter.drawText(QRect(left, line.top(), room, kLine), Qt::AlignVCenter | Qt::AlignLeft,
                         painter.fontMetrics().elidedText(texts.value(1), Qt::ElideRight, room));
    }
    painter.setPen(kDivider);
    painter.drawLine(rect.left() + 1, rect.top() + kLine, rect.right(), rect.top() + kLine);

    // The lanes' pairing and "Bereit" carry a mark above the box and a border of its colour.
    const bool lanes = inLanes_ == box.ref;
    const bool ready = !lanes && ready_ == box.ref;
    painter.setPen(QPen(lanes ? kLanes : ready ? kReady : kBorder, lanes || ready ? 3 : 1));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    if (selected_ == box.ref) {
        painter.setPen(QPen(kSelected, 2, Qt::DashLine));
        painter.drawRect(rect.adjusted(-4, -4, 3, 3));
    }
    if (lanes || ready) {
        QFont small = font();
        small.setPixelSize(11);
        small.setBold(true);
        painter.setFont(small);
        const QString text = lanes ? QStringLiteral("in den Bahnen") : QStringLiteral("Bereit");
        const int width = painter.fontMetrics().horizontalAdvance(text) + 10;
        const QRect tag(rect.right() - width + 1, rect.top() - 16, width, 16);
        painter.fillRect(tag, lanes ? kLanes : kReady);
        painter.setPen(Qt::white);
        painter.drawText(tag, Qt::AlignCenter, text);
        painter.setFont(font());
    }
}

void TLadderView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    Select(PairingAt(event->position().toPoint()));
}

void TLadderView::mouseDoubleClickEvent(QMouseEvent* event) {
    Select(PairingAt(event->position().toPoint()));
    if (selected_) emit Activated();
}

void TLadderView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) Select(PairingAt(event->pos()));
    if (!selected_) return;
    emit MenuRequested(event->reason() == QContextMenuEvent::Mouse
                           ? event->globalPos()
                           : mapToGlobal(BoxOf(*selected_).center()));
}

void TLadderView::keyPressEvent(QKeyEvent* event) {
    // Up and down go through the pairings as the rounds have them.
    const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
    if (step && !boxes_.isEmpty()) {
        int index = -1;
        for (int i = 0; i < boxes_.size(); ++i)
            if (boxes_[i].ref == selected_) index = i;
        index = index < 0 ? 0 : std::clamp(index + step, 0, int(boxes_.size()) - 1);
        Select(boxes_[index].ref);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && selected_) {
        emit Activated();
        return;
    }
    QWidget::keyPressEvent(event);
}
