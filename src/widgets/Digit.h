#pragma once

#include <QColor>
#include <QPolygon>
#include <QWidget>

#include <array>

class QPainter;

// One seven-segment digit with a decimal point, drawn as filled polygons that follow the
// widget's size. Segment bits: 0 top, 1 middle, 2 bottom, 3 upper left, 4 upper right,
// 5 lower left, 6 lower right, 7 point.
class TDigit : public QWidget {
    Q_OBJECT
public:
    explicit TDigit(QWidget* parent = nullptr);

    int Value() const { return value_; }
    void SetValue(int value);

    quint8 ValueBinary() const { return valueBinary_; }
    void SetValueBinary(quint8 mask);

    QColor ColorOn() const { return colorOn_; }
    void SetColorOn(const QColor& color);
    QColor ColorOff() const { return colorOff_; }
    void SetColorOff(const QColor& color);
    // Background; also the outline of every segment, which keeps neighbours apart.
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    int Thickness() const { return thickness_; }
    void SetThickness(int thickness);
    int Separation() const { return separation_; }
    void SetSeparation(int separation);

    static quint8 MaskOf(int digit);

    // The eight segment polygons in bit order, for a widget of the given size.
    static std::array<QPolygon, 8> Segments(int width, int height, int thickness, int separation);

signals:
    void OnOverflow(TDigit* sender);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawFace(QPainter& painter) const;
    // Bounding rectangles of the segments with their outline, for the current size.
    const std::array<QRect, 8>& SegmentRects();

    int value_ = 0;
    quint8 valueBinary_ = 0x7D;
    QColor colorOff_ = Qt::black;
    QColor colorOn_ = QColor(255, 255, 0);
    QColor color_ = Qt::black;
    int separation_ = 1;
    int thickness_ = 2;
    std::array<QRect, 8> segmentRects_;
    QSize rectsSize_;
    int rectsThickness_ = -1;
    int rectsSeparation_ = -1;
};
