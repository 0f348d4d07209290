#include "Digit.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr quint8 kDigitMasks[10] = {0x7D, 0x50, 0x37, 0x57, 0x5A, 0x4F, 0x6F, 0x51, 0x7F, 0x5F};
}

TDigit::TDigit(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(16, 32);
    SetSeparation(1);
    SetThickness(2);
}

quint8 TDigit::MaskOf(int digit) {
    return kDigitMasks[digit];
}

void TDigit::SetValue(int value) {
    // Equal values leave the display alone, so a mask written directly stays visible.
    if (value == value_) return;
    if (value < 0 || value > 9) {
        value_ = 0;
        emit OnOverflow(this);
    } else {
        value_ = value;
    }
    valueBinary_ = kDigitMasks[value_];
    update();
}

void TDigit::SetValueBinary(quint8 mask) {
    if (mask == valueBinary_) return;
    valueBinary_ = mask;
    update();
}

void TDigit::SetColorOn(const QColor& color) {
    if (color == colorOn_) return;
    colorOn_ = color;
    update();
}

void TDigit::SetColorOff(const QColor& color) {
    if (color == colorOff_) return;
    colorOff_ = color;
    update();
}

void TDigit::SetColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

void TDigit::SetThickness(int thickness) {
    // A stroke wider than the widget would turn the polygons inside out.
    if (thickness > width() / 2 || thickness > height() / 2) return;
    thickness_ = thickness;
    update();
}

void TDigit::SetSeparation(int separation) {
    separation_ = separation;
    update();
}

std::array<QPolygon, 8> TDigit::Segments(int width, int height, int thickness, int separation) {
    const int W = width - 1, H = height - 1, T = thickness, S = separation, M = H / 2;
    std::array<QPolygon, 8> segments;
    auto horizontal = [&](int y0) {
        return QPolygon({QPoint(S + T, y0 + T), QPoint(2 * T + S, y0), QPoint(W - 2 * T - S, y0),
                         QPoint(W - T - S, y0 + T), QPoint(W - 2 * T - S, y0 + 2 * T),
                         QPoint(2 * T + S, y0 + 2 * T)});
    };
    auto vertical = [&](int x0, int y0) {
        return QPolygon({QPoint(x0, y0 + 2 * T + S), QPoint(x0 + T, y0 + T + S),
                         QPoint(x0 + 2 * T, y0 + 2 * T + S), QPoint(x0 + 2 * T, y0 + M - T - S),
                         QPoint(x0 + T, y0 + M - S), QPoint(x0, y0 + M - T - S)});
    };
    segments[0] = horizontal(0);
    segments[1] = horizontal(M - T);
    segments[2] = horizontal(H - 2 * T);
    segments[3] = vertical(0, 0);
    segments[4] = vertical(W - 2 * T, 0);
    segments[5] = vertical(0, M - T);
    segments[6] = vertical(W - 2 * T, M - T);
    segments[7] = QPolygon({QPoint(W, H), QPoint(W - 2 * T + S, H), QPoint(W, H - 2 * T + S)});
    return segments;
}

void TDigit::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), color_);
    painter.setPen(QPen(color_, 1));
    const auto segments = Segments(width(), height(), thickness_, separation_);
    for (int bit = 0; bit < 8; ++bit) {
        painter.setBrush(valueBinary_ & (1 << bit) ? colorOn_ : colorOff_);
        painter.drawPolygon(segments[bit]);
    }
}
