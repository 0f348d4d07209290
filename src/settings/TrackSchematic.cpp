#include "TrackSchematic.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPolygonF>
#include <QToolTip>

#include <cmath>

namespace {

// Geometry inside the group box; the edits sit above the frame, the check boxes below it.
constexpr qreal kLaneY[2] = {52, 86};
constexpr qreal kBarHalf = 9;
constexpr qreal kBarWidth = 3;
constexpr qreal kEndRadius = 3;
constexpr qreal kStartX = 34;
// Under the check boxes of the reaction, intermediate and top-speed barriers; stop at the end.
constexpr qreal kBarrierX[4] = {113, 212, 389, 446};
constexpr qreal kPictogramY = 69; // between the lanes
const QRectF kFrame(24, 38, 434, 63);
constexpr qreal kLaneNumberX = 12;
constexpr qreal kLaneNumberRadius = 7;

const QString kBarrierHints[4] = {QStringLiteral("Reaktion-LS"), QStringLiteral("LS-Zwischzeit"),
                                  QStringLiteral("TopSpeed-LS"), QStringLiteral("Stopp-LS")};
const QString kStartContactHint = QStringLiteral("Ampel-Kontakt");
const QString kLineHint = QStringLiteral("Start-LS");

constexpr QRgb kLaneColor[2] = {0xFF0000, 0x0000FF};

QColor Opaque(QRgb rgb) {
    return QColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

QRectF Bar(qreal x, qreal top, qreal bottom) {
    return QRectF(x - kBarWidth / 2, top, kBarWidth, bottom - top);
}

QPainterPath Circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A bar with a round terminal at each end, and a little slack around it for the pointer.
QPainterPath BarArea(const QRectF& bar) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill); // where bar and terminal overlap, both count
    path.addRect(bar.adjusted(-2, 0, 2, 0));
    path.addPath(Circle(QPointF(bar.center().x(), bar.top()), kEndRadius + 1));
    path.addPath(Circle(QPointF(bar.center().x(), bar.bottom()), kEndRadius + 1));
    return path;
}

QRectF PictogramBox(qreal x) {
    return QRectF(x - 7, kPictogramY - 7, 14, 14);
}

// Chronometer beside an optional barrier.
QRectF ChronometerBox(TBarrier barrier) {
    return PictogramBox(kBarrierX[barrier] + 14);
}

QRectF StopSignBox() {
    return PictogramBox(kBarrierX[StopBarrier]);
}

QRectF TrafficLightBox() {
    return QRectF(kLaneNumberX - 5, kPictogramY - 8, 10, 16);
}

void DrawBar(QPainter& p, const QRectF& bar, QRgb rgb) {
    const QColor color = Opaque(rgb);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRect(bar);
    p.drawEllipse(QPointF(bar.center().x(), bar.top()), kEndRadius, kEndRadius);
    p.drawEllipse(QPointF(bar.center().x(), bar.bottom()), kEndRadius, kEndRadius);
}

void DrawTrafficLight(QPainter& p, const QRectF& box) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(box, 2, 2);
    const QColor lamps[3] = {QColor(0xE0, 0x20, 0x20), QColor(0xF0, 0xC0, 0x00),
                             QColor(0x20, 0xC0, 0x20)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(box.center().x(), box.top() + 3 + i * 5), 1.8, 1.8);
    }
}

void DrawStopSign(QPainter& p, const QRectF& box) {
    QPolygonF octagon;
    const QPointF centre = box.center();
    const qreal radius = box.width() / 2;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(QColor(0xC8, 0x10, 0x10));
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(centre.x() - radius * 0.55, centre.y() - 1, radius * 1.1, 2));
}

void DrawChronometer(QPainter& p, const QRectF& box) {
    const QPointF centre = box.center() + QPointF(0, 1);
    const qreal radius = box.width() / 2 - 1;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(centre.x() - 1, box.top() - 1, 2, 2)); // crown
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    p.drawLine(centre, centre + QPointF(0, -radius + 1.5));
    p.drawLine(centre, centre + QPointF(radius - 2.5, 0));
}

} // namespace

TSchematicColors SchematicColors(int dimming, bool reaction, bool intermediate, bool topSpeed) {
    const int d = dimming ? 1 : 0;
    const QRgb full = 0xFF >> d;
    TSchematicColors colors;
    colors.StartContact = full << 8;
    const int laneShift[2] = {16, 0}; // lane 1 red, lane 2 blue
    const bool wired[3] = {reaction, intermediate, topSpeed};
    for (int lane = 0; lane < 2; ++lane) {
        const QRgb base = full << laneShift[lane];
        const QRgb missing = base ^ (QRgb(0x80) << laneShift[lane]);
        for (int barrier = 0; barrier < 3; ++barrier)
            colors.Barrier[lane][barrier] = wired[barrier] ? base : missing;
        colors.Barrier[lane][StopBarrier] = base;
        const QRgb* b = colors.Barrier[lane];
        colors.Line[lane][0] = b[ReactionBarrier];
        colors.Line[lane][1] = b[ReactionBarrier] | b[IntermediateBarrier];
        colors.Line[lane][2] = b[ReactionBarrier] | b[IntermediateBarrier] | b[TopSpeedBarrier];
    }
    return colors;
}

TTrackSchematic::TTrackSchematic(QWidget* parent) : QWidget(parent) {
    colors_ = SchematicColors(0, true, true, true);
    BuildShapes();
}

QRectF TTrackSchematic::BarrierBar(int lane, TBarrier barrier) const {
    const qreal y = kLaneY[lane == 2 ? 1 : 0];
    return Bar(kBarrierX[barrier], y - kBarHalf, y + kBarHalf);
}

QRectF TTrackSchematic::StartContactBar() const {
    return Bar(kStartX, kLaneY[0] - kBarHalf, kLaneY[1] + kBarHalf);
}

void TTrackSchematic::BuildShapes() {
    for (int lane = 1; lane <= 2; ++lane) {
        const qreal y = kLaneY[lane - 1];
        for (int i = 0; i < 3; ++i) {
            QPainterPath line;
            line.addRect(QRectF(QPointF(kBarrierX[i], y - 3), QPointF(kBarrierX[i + 1], y + 3)));
            shapes_.append({line, kLineHint});
        }
    }
    for (int lane = 1; lane <= 2; ++lane)
        for (int barrier = ReactionBarrier; barrier <= StopBarrier; ++barrier)
            shapes_.append({BarArea(BarrierBar(lane, TBarrier(barrier))), kBarrierHints[barrier]});
    shapes_.append({BarArea(StartContactBar()), kStartContactHint});

    QPainterPath trafficLight;
    trafficLight.addRect(TrafficLightBox());
    shapes_.append({trafficLight, kStartContactHint});
    QPainterPath stopSign;
    stopSign.addRect(StopSignBox());
    shapes_.append({stopSign, kBarrierHints[StopBarrier]});
    for (int barrier = ReactionBarrier; barrier < StopBarrier; ++barrier) {
        QPainterPath chronometer;
        chronometer.addRect(ChronometerBox(TBarrier(barrier)));
        shapes_.append({chronometer, kBarrierHints[barrier]});
    }
}

void TTrackSchematic::SetColors(const TSchematicColors& colors) {
    if (colors == colors_) return;
    colors_ = colors;
    update();
}

QString TTrackSchematic::HintAt(const QPointF& point) const {
    for (auto shape = shapes_.crbegin(); shape != shapes_.crend(); ++shape)
        if (shape->area.contains(point)) return shape->hint;
    return {};
}

bool TTrackSchematic::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString hint = HintAt(help->pos());
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), hint, this);
        return true;
    }
    return QWidget::event(event);
}

void TTrackSchematic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(kFrame);

    for (int lane = 0; lane < 2; ++lane) {
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(Opaque(colors_.Line[lane][i]), 2, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(kBarrierX[i], kLaneY[lane]),
                       QPointF(kBarrierX[i + 1], kLaneY[lane]));
        }
    }
    // Bars are whole pixels wide so that their colour is exact, not blended at the edges.
    for (int lane = 1; lane <= 2; ++lane)
        for (int barrier = ReactionBarrier; barrier <= StopBarrier; ++barrier)
            DrawBar(p, BarrierBar(lane, TBarrier(barrier)).toAlignedRect(),
                    colors_.Barrier[lane - 1][barrier]);
    DrawBar(p, StartContactBar().toAlignedRect(), colors_.StartContact);

    DrawTrafficLight(p, TrafficLightBox());
    DrawStopSign(p, StopSignBox());
    for (int barrier = ReactionBarrier; barrier < StopBarrier; ++barrier)
        DrawChronometer(p, ChronometerBox(TBarrier(barrier)));

    QFont numberFont = font();
    numberFont.setBold(true);
    numberFont.setPixelSize(10);
    p.setFont(numberFont);
    for (int lane = 0; lane < 2; ++lane) {
        const QColor color = Opaque(kLaneColor[lane]);
        const QPointF centre(kLaneNumberX, kLaneY[lane]);
        p.setPen(QPen(color, 1.5));
        p.setBrush(Qt::white);
        p.drawEllipse(centre, kLaneNumberRadius, kLaneNumberRadius);
        const QRectF box(centre.x() - kLaneNumberRadius, centre.y() - kLaneNumberRadius,
                         2 * kLaneNumberRadius, 2 * kLaneNumberRadius);
        p.drawText(box, Qt::AlignCenter, QString::number(lane + 1));
    }
}
