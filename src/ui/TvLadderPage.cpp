#include "TvLadderPage.h"

#include "TvParts.h"

#include <QPainter>

namespace {

const QColor kBoxFill(0x1C, 0x1C, 0x1C);
const QColor kMarkedFill(0x33, 0x33, 0x00);
const QColor kWonFill(0x00, 0x40, 0x00);
const QColor kBorder(0x70, 0x70, 0x70);
const QColor kJoin(0xA0, 0xA0, 0xA0);
const QColor kOut(0x90, 0x90, 0x90);

QString Racer(const TBracketPlace& place) {
    return QStringList{place.number, place.name, place.firstName}.join(u' ').simplified();
}

// The first name gives way to its initial, then goes; only then is the name cut.
QString FittedName(const TBracketPlace& place, const QFontMetrics& metrics, int width) {
    const QString initial = place.firstName.isEmpty() ? QString() : place.firstName.left(1) + u'.';
    for (const QString& first : {place.firstName, initial})
        if (const QString name = QStringList{place.name, first}.join(u' ').trimmed();
            metrics.horizontalAdvance(name) <= width)
            return name;
    return metrics.elidedText(place.name, Qt::ElideRight, width);
}

} // namespace

TTvLadderPage::TTvLadderPage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTvLadderPage::SetLadder(const TLadder& ladder, const std::optional<TPairingRef>& marked) {
    ladder_ = ladder;
    marked_ = marked && marked->ladder == ladder.id ? marked : std::nullopt;
    laidOut_ = QSize();
    update();
}

const TBracketLayout& TTvLadderPage::Layout() const {
    if (laidOut_ != size()) {
        layout_ =
            LayoutBracket(ladder_, CurrentRound(ladder_, marked_ ? marked_->round : -1), size());
        laidOut_ = size();
    }
    return layout_;
}

QString TTvLadderPage::TitleText() const {
    return ladder_.classInfo.isEmpty()
               ? QStringLiteral("Ausscheidung")
               : QStringLiteral("Ausscheidung – Klasse %1").arg(ladder_.classInfo);
}

QString TTvLadderPage::StatusText() const {
    if (ladder_.Finished()) {
        const TLadderPairing& final = ladder_.rounds.last().pairings[0];
        return QStringLiteral("Sieger: ") +
               Racer(BracketPlace(ladder_, final, final.PlaceOf(final.winner)));
    }
    if (!marked_) return {};
    const TLadderPairing* next = ladder_.Pairing(marked_->round, marked_->slot);
    return next ? QStringLiteral("Nächster Lauf: ") + next->name : QString();
}

void TTvLadderPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const TBracketLayout& layout = Layout();
    if (layout.boxes.isEmpty()) return;
    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(layout.fontPixels);
    painter.setFont(font);
    const QFontMetrics metrics(font);

    // Both in the title strip: its type gives way up to a third, then the title is cut.
    const QString status = StatusText();
    const QRect title = layout.title;
    QFont strip = font;
    for (int pixels = layout.fontPixels; pixels > layout.fontPixels * 2 / 3; --pixels) {
        strip.setPixelSize(pixels);
        const QFontMetrics fits(strip);
        if (fits.horizontalAdvance(TitleText() + status) + 2 * pixels <= title.width()) break;
    }
    painter.setFont(strip);
    const QFontMetrics stripMetrics(strip);
    painter.setPen(kTvYellow);
    painter.drawText(title, Qt::AlignRight | Qt::AlignVCenter, status);
    painter.setPen(Qt::white);
    const int room = title.width() - stripMetrics.horizontalAdvance(status) - strip.pixelSize();
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                     stripMetrics.elidedText(TitleText(), Qt::ElideRight, std::max(0, room)));
    painter.setFont(font);

    painter.setPen(kTvYellow);
    for (const TBracketCaption& caption : layout.captions)
        painter.drawText(caption.rect, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(caption.text, Qt::ElideRight, caption.rect.width()));

    painter.setPen(QPen(kJoin, std::max(2, layout.fontPixels / 10)));
    painter.drawLines(layout.joins);
    for (const TBracketBox& box : layout.boxes)
        DrawPairing(painter, box);
}

void TTvLadderPage::DrawPairing(QPainter& painter, const TBracketBox& box) const {
    const TLadderPairing* pairing = ladder_.Pairing(box.round, box.slot);
    if (!pairing) return;
    const bool marked = marked_ && marked_->round == box.round && marked_->slot == box.slot;
    const int pixels = layout_.fontPixels;
    const QRect& rect = box.rect;
    painter.fillRect(rect, marked ? kMarkedFill : kBoxFill);

    const QFontMetrics metrics(painter.font());
    const int pad = pixels / 4;
    // Numbers of up to three digits stand in a column of their own.
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("888"));
    for (const int place : {kUpper, kLower}) {
        const QRect half(rect.left(), rect.top() + place * rect.height() / 2, rect.width(),
                         rect.height() / 2);
        const TBracketPlace shown = BracketPlace(ladder_, *pairing, place);
        QColor number = kTvYellow;
        QColor name = Qt::white;
        if (shown.state == TBracketPlace::Won) {
            painter.fillRect(half, kWonFill);
            number = name = kTvLime;
        } else if (shown.state != TBracketPlace::Open) {
            number = name = kOut;
        }
        const QRect numberBox(half.left() + pad, half.top(), numberWidth, half.height());
        painter.setPen(number);
        painter.drawText(numberBox, Qt::AlignRight | Qt::AlignVCenter, shown.number);
        const QRect nameBox = half.adjusted(numberBox.right() - half.left() + pad, 0, -pad, 0);
        painter.setPen(name);
        painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                         FittedName(shown, metrics, nameBox.width()));
    }

    painter.setPen(QPen(kBorder, 1));
    painter.drawLine(rect.left(), rect.center().y(), rect.right(), rect.center().y());
    const int border = marked ? std::max(3, pixels / 7) : std::max(1, pixels / 20);
    painter.setPen(
        QPen(marked ? kTvYellow : kBorder, border, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(
        QRectF(rect).adjusted(border / 2.0, border / 2.0, -border / 2.0, -border / 2.0));
}
