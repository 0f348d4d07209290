#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QString>
#include <QWidget>

// Barriers of one lane, left to right.
enum TBarrier { ReactionBarrier, IntermediateBarrier, TopSpeedBarrier, StopBarrier };

// Colours of the track schematic, each 0xRRGGBB.
struct TSchematicColors {
    QRgb StartContact = 0;
    QRgb Barrier[2][4] = {};
    // Per lane: reaction to intermediate, intermediate to top speed, top speed to stop.
    QRgb Line[2][3] = {};

    bool operator==(const TSchematicColors&) const = default;
};

// dimming 1 halves every full channel (the blink's dark phase), 0 shows them full. A barrier
// that is not wired has the top bit of its lane's channel flipped, so it is dark while the
// wired ones are bright, and bright while they are dark.
TSchematicColors SchematicColors(int dimming, bool reaction, bool intermediate, bool topSpeed);

// The two lanes with their start contact and barriers, drawn in the colours of
// SchematicColors. Every shape shows the hint of the element it belongs to.
class TTrackSchematic : public QWidget {
    Q_OBJECT
public:
    explicit TTrackSchematic(QWidget* parent = nullptr);

    void SetColors(const TSchematicColors& colors);
    const TSchematicColors& Colors() const { return colors_; }

    // The hint of the topmost shape under a point; empty where there is none.
    QString HintAt(const QPointF& point) const;
    // The bar of a barrier (lane 1 or 2) and of the start contact, for hit tests.
    QRectF BarrierBar(int lane, TBarrier barrier) const;
    QRectF StartContactBar() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Shape {
        QPainterPath area;
        QString hint;
    };
    void BuildShapes();

    TSchematicColors colors_;
    QList<Shape> shapes_; // bottom to top
};
