#include "SlipPaint.h"

#include "live/LiveAddress.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kDotsPerMm = kPrintResolution / kMmPerInch;

// A roll is as wide as its paper, and the printer cannot reach its edges; A6 is a sheet.
struct Paper {
    double widthMm;
    double sideMm;   // left and right margin
    double topMm;    // above the first line
    double bottomMm; // below the last: room to tear off
    double scale;    // the texts' size against the 58 mm roll's
    double qrMm;     // the QR code with its quiet zone
};

Paper PaperOf(TSlipPaper paper) {
    switch (paper) {
    case TSlipPaper::Roll58:
        return {58, 5, 3, 8, 1.0, 30};
    case TSlipPaper::A6:
        return {105, 9, 9, 9, 1.3, 40};
    case TSlipPaper::Roll80:
        break;
    }
    return {80, 5, 3, 8, 1.25, 36};
}

constexpr double kA6HeightMm = 148;

// Time texts are numbers; "-" and the like stay as they are.
QString WithSeconds(const QString& time) {
    return !time.isEmpty() && time.front().isDigit() ? time + QStringLiteral(" s") : time;
}

QString OrDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("–") : text;
}

// Lays the slip out from the top, in mm; paints only when given a painter, so that the same
// steps measure the length first.
class SlipPen {
public:
    SlipPen(QPainter* painter, const Paper& paper, double scale)
        : painter_(painter), paper_(paper), scale_(scale), y_(paper.topMm) {
        metricsDevice_.setDotsPerMeterX(qRound(kDotsPerMm * 1000));
        metricsDevice_.setDotsPerMeterY(qRound(kDotsPerMm * 1000));
    }

    double Y() const { return y_; }
    double Left() const { return paper_.sideMm; }
    double Width() const { return paper_.widthMm - 2 * paper_.sideMm; }

    // Wrapped to the width between left and left + width; the line moves on only when advance.
    double Text(const QString& text, double points, bool bold, Qt::Alignment align,
                double left = -1, double width = -1, bool advance = true) {
        if (left < 0) left = Left();
        if (width < 0) width = Width();
        const QFont font = PrintFont(points * scale_, bold);
        const int flags = int(align) | Qt::TextWordWrap;
        const QRectF box(left * kDotsPerMm, y_ * kDotsPerMm, width * kDotsPerMm, 1e6);
        const QRectF used = QFontMetricsF(font, &metricsDevice_).boundingRect(box, flags, text);
        if (painter_) {
            painter_->setFont(font);
            painter_->drawText(QRectF(box.topLeft(), QSizeF(box.width(), used.height())), flags,
                               text);
        }
        const double height = used.height() / kDotsPerMm;
        if (advance) y_ += height;
        return height;
    }
    // A label over its value, in two columns; a row is as tall as its taller cell.
    void Cells(const QList<std::pair<QString, QString>>& cells) {
        const double gap = 2;
        const double column = (Width() - gap) / 2;
        for (qsizetype i = 0; i < cells.size(); i += 2) {
            const double top = y_;
            double bottom = top;
            for (qsizetype c = i; c < std::min(i + 2, cells.size()); ++c) {
                y_ = top;
                const double left = Left() + (c - i) * (column + gap);
                Text(cells[c].first, 7, false, Qt::AlignLeft, left, column);
                Text(cells[c].second, 10.5, true, Qt::AlignLeft, left, column);
                bottom = std::max(bottom, y_);
            }
            y_ = bottom + 1.2 * scale_;
        }
    }
    void Rule() {
        y_ += 1.2 * scale_;
        if (painter_) {
            painter_->setPen(QPen(Qt::black, 0.3 * kDotsPerMm));
            painter_->drawLine(QPointF(Left() * kDotsPerMm, y_ * kDotsPerMm),
                               QPointF((Left() + Width()) * kDotsPerMm, y_ * kDotsPerMm));
        }
        y_ += 1.8 * scale_;
    }
    void Gap(double mm) { y_ += mm * scale_; }
    void QrCode(const QString& text) {
        const double size = std::min(paper_.qrMm, Width());
        if (painter_)
            PaintQrCode(*painter_, text, QPointF(Left() + (Width() - size) / 2, y_) * kDotsPerMm,
                        size, kDotsPerMm);
        y_ += size;
    }

private:
    QPainter* painter_;
    Paper paper_;
    double scale_;
    double y_;
    QImage metricsDevice_{1, 1, QImage::Format_Mono};
};

void Lay(SlipPen& pen, const TSlip& slip) {
    pen.Text(QStringLiteral("Zeitzettel"), 7, false, Qt::AlignHCenter);
    if (!slip.title.isEmpty()) pen.Text(slip.title, 11, true, Qt::AlignHCenter);
    pen.Text(slip.startedAt.toString(QStringLiteral("dd.MM.yyyy  HH:mm:ss")), 8, false,
             Qt::AlignHCenter);
    QString heat = QStringLiteral("Lauf %1").arg(slip.heat);
    if (!slip.round.isEmpty()) heat += QStringLiteral(" · ") + slip.round;
    pen.Text(heat, 10, true, Qt::AlignHCenter);
    pen.Rule();

    // Lane on the left, number on the right, on one line.
    pen.Text(QStringLiteral("Bahn %1").arg(slip.lane), 12, true, Qt::AlignLeft, -1, -1, false);
    pen.Text(QStringLiteral("St.Nr. ") + slip.startNumber, 12, true, Qt::AlignRight);
    if (!slip.name.isEmpty()) pen.Text(slip.name, 13, true, Qt::AlignLeft);
    if (!slip.classInfo.isEmpty()) pen.Text(slip.classInfo, 8, false, Qt::AlignLeft);
    pen.Rule();

    pen.Text(QStringLiteral("Zeit"), 7, false, Qt::AlignHCenter);
    pen.Text(WithSeconds(OrDash(slip.finalTime)), 26, true, Qt::AlignHCenter);
    pen.Text(slip.outcome, 14, true, Qt::AlignHCenter);
    pen.Rule();

    // The big "Zeit" above stands for itself; the best run takes a line of its own.
    QList<std::pair<QString, QString>> cells = {
        {QStringLiteral("RZ"), OrDash(slip.reaction)},
        {QStringLiteral("ZZ"), OrDash(slip.intermediate)},
        {QStringLiteral("Km/h"), OrDash(slip.speed)},
    };
    if (!slip.opponentNumber.isEmpty()) {
        cells.append({QStringLiteral("Differenz"), OrDash(slip.difference)});
        cells.append({QStringLiteral("Gegner"), QStringLiteral("St.Nr. ") + slip.opponentNumber});
        cells.append({QStringLiteral("Zeit Gegner"), WithSeconds(OrDash(slip.opponentTime))});
    }
    pen.Cells(cells);
    pen.Text(QStringLiteral("Bester Lauf heute"), 7, false, Qt::AlignLeft);
    pen.Text(slip.bestRun, 10.5, true, Qt::AlignLeft);

    if (!slip.address.isEmpty()) {
        pen.Rule();
        pen.QrCode(slip.address);
        pen.Gap(0.5);
        pen.Text(QStringLiteral("Deine Läufe: ") + slip.address, 7, false, Qt::AlignHCenter);
    }
}

// A6 is a sheet of its own length: the texts shrink until the slip fits on it.
double ScaleFor(const TSlip& slip, const Paper& paper, TSlipPaper kind) {
    double scale = paper.scale;
    if (kind != TSlipPaper::A6) return scale;
    for (; scale > 0.7; scale -= 0.05) {
        SlipPen measure(nullptr, paper, scale);
        Lay(measure, slip);
        if (measure.Y() + paper.bottomMm <= kA6HeightMm) break;
    }
    return scale;
}

} // namespace

QFont PrintFont(double points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

bool PaintQrCode(QPainter& painter, const QString& text, QPointF topLeft, double sizeMm,
                 double dotsPerMm) {
    const QImage code = QrCodeImage(text, 1);
    if (code.isNull()) return false;
    const double module = sizeMm * dotsPerMm / code.width();
    // One rectangle per run of dark modules in a row: crisp edges at any resolution.
    QPainterPath dark;
    for (int y = 0; y < code.height(); ++y)
        for (int x = 0; x < code.width();) {
            if (qGray(code.pixel(x, y)) >= 128) {
                ++x;
                continue;
            }
            int end = x;
            while (end < code.width() && qGray(code.pixel(end, y)) < 128)
                ++end;
            dark.addRect(topLeft.x() + x * module, topLeft.y() + y * module, (end - x) * module,
                         module);
            x = end;
        }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillPath(dark, Qt::black);
    painter.restore();
    return true;
}

QPageLayout SlipPageLayout(const TSlip& slip, TSlipPaper paper) {
    const Paper sizes = PaperOf(paper);
    if (paper == TSlipPaper::A6)
        return QPageLayout(QPageSize(QPageSize::A6), QPageLayout::Portrait, QMarginsF());
    SlipPen measure(nullptr, sizes, sizes.scale);
    Lay(measure, slip);
    const double length = std::ceil(measure.Y() + sizes.bottomMm);
    const QPageSize size(QSizeF(sizes.widthMm, length), QPageSize::Millimeter,
                         QStringLiteral("Bonrolle %1 mm").arg(sizes.widthMm),
                         QPageSize::ExactMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF());
}

void PaintSlip(QPainter& painter, const TSlip& slip, TSlipPaper paper) {
    const Paper sizes = PaperOf(paper);
    SlipPen pen(&painter, sizes, ScaleFor(slip, sizes, paper));
    painter.setPen(Qt::black);
    Lay(pen, slip);
}
