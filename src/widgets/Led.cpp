#include "Led.h"

#include <QPainter>

namespace {

// Rows of the four maps; one character per pixel, '0' = not drawn.
// 1 light rim, 2 dark rim, 3 dark body, 4 lit body, 5 highlight, 6 glint.
const char* const kCircleDark[16] = {
    "0000022222200000", "0002233333322000", "0023333333333100", "0233333333333310",
    "0233344433333310", "2333443333333331", "2333433333333331", "2333433333333331",
    "2333333333333331", "2333333333333331", "2333333333333331", "0233333333333310",
    "0233333333333310", "0013333333333100", "0001133333311000", "0000011111100000"};
const char* const kCircleLit[16] = {
    "0000022222200000", "0002234444422000", "0023445554444100", "0234555444444410",
    "0245666444444410", "2345664444444431", "2455644444444431", "2454444444444431",
    "2454444444444431", "2444444444444331", "2444444444444331", "0244444444443310",
    "0244444444433310", "0014444443333100", "0001133333311000", "0000011111100000"};
const char* const kRectangleDark[16] = {
    "0000000000000000", "0000000000000000", "0000000000000000", "2222222222222222",
    "2333333333333331", "2344443333333331", "2344333333333331", "2333333333333331",
    "2333333333333331", "2333333333333331", "2333333333333331", "2333333333333331",
    "2111111111111111", "0000000000000000", "0000000000000000", "0000000000000000"};
const char* const kRectangleLit[16] = {
    "0000000000000000", "0000000000000000", "0000000000000000", "2222222222222222",
    "2444444444444441", "2455555555555431", "2456554444444431", "2455544444444431",
    "2455444444444431", "2454444444444431", "2444444444444431", "2433333333333331",
    "2111111111111111", "0000000000000000", "0000000000000000", "0000000000000000"};

// Lit body (index 4) and highlight (index 5) per kind; the rims, dark body and glint are
// the same for every kind.
const QRgb kLitColors[7][2] = {
    {0xFF0000, 0xFF00FF}, // red: red, fuchsia
    {0x00FF00, 0xFFFF00}, // green: lime, yellow
    {0xFFFF00, 0xFFFFFF}, // yellow: yellow, white
    {0x008080, 0x00FFFF}, // cyan: teal, aqua
    {0xFF00FF, 0xFFFFFF}, // magenta: fuchsia, white
    {0x0000FF, 0x00FFFF}, // blue: blue, aqua
    {0x808080, 0xC0C0C0}, // white: grey, silver
};

} // namespace

TLed::TLed(QWidget* parent) : QWidget(parent) {
    resize(16, 16);
}

QColor TLed::PaletteColor(TLedKind kind, int index) {
    switch (index) {
    case 1:
    case 6:
        return QColor::fromRgb(0xFFFFFF);
    case 2:
        return QColor::fromRgb(0x808080);
    case 3:
        return QColor::fromRgb(0x000000);
    case 4:
    case 5:
        return QColor::fromRgb(kLitColors[kind][index - 4]);
    default:
        return QColor();
    }
}

int TLed::MapIndex(TLedShape shape, bool lit, int row, int column) {
    const char* const* map = shape == lsCircle ? (lit ? kCircleLit : kCircleDark)
                                               : (lit ? kRectangleLit : kRectangleDark);
    return map[row][column] - '0';
}

void TLed::SetKind(TLedKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    update();
}

void TLed::SetShape(TLedShape shape) {
    if (shape == shape_) return;
    shape_ = shape;
    update();
}

void TLed::SetValue(bool value) {
    if (value == value_) return;
    value_ = value;
    update();
    UpdateLabel();
    emit OnChange(this);
}

void TLed::SetLabelLinked(QLabel* label) {
    if (label == label_) return;
    label_ = label;
    UpdateLabel();
}

void TLed::SetLabelOnText(const QString& text) {
    if (text == onText_) return;
    onText_ = text;
    UpdateLabel();
}

void TLed::SetLabelOffText(const QString& text) {
    if (text == offText_) return;
    offText_ = text;
    UpdateLabel();
}

void TLed::UpdateLabel() {
    if (label_) label_->setText(value_ ? onText_ : offText_);
}

void TLed::paintEvent(QPaintEvent*) {
    // Drawn at the top left whatever the widget's size; index 0 leaves the background.
    QPainter painter(this);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 16; ++column)
            if (const int index = MapIndex(shape_, value_, row, column)) {
                painter.setPen(PaletteColor(kind_, index));
                painter.drawPoint(column, row);
            }
}
