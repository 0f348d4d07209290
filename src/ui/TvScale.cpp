#include "TvScale.h"

#include <QFont>

#include <algorithm>
#include <cmath>

namespace {

// The lane frames were designed at 96 dots per inch; their font sizes are read in points there.
constexpr int kDesignDpi = 96;

// Integer a * b / c rounded to nearest, halves away from zero, for non-negative values.
int MulDiv(int a, int b, int c) {
    return int((qint64(a) * b + c / 2) / c);
}

} // namespace

double TTvScale::FactorFor(const QSize& screen, int frameWidth) {
    if (frameWidth <= 0) return 1.0;
    return screen.height() * 4 < screen.width() * 3 ? double(screen.height()) / (frameWidth * 0.75)
                                                    : double(screen.width()) / frameWidth;
}

TTvScale::TTvScale(double k, int frameWidth, int clientWidth)
    : k_(k), left_(std::max(0, (clientWidth - RoundHalfEven(frameWidth * k)) / 2)) {}

QRect TTvScale::Scaled(const QRect& source) const {
    const int left = left_ + RoundHalfEven(source.left() * k_);
    const int top = RoundHalfEven(source.top() * k_);
    const int right = left_ + RoundHalfEven((source.left() + source.width()) * k_);
    const int bottom = RoundHalfEven((source.top() + source.height()) * k_);
    return QRect(left, top, right - left, bottom - top);
}

int TTvScale::FontPixels(const QFont& font) const {
    return PointsToPixels(Scaled(FontPoints(font)));
}

int TTvScale::PointsToPixels(int points) {
    return MulDiv(points, kDesignDpi, 72);
}

int TTvScale::FontPoints(const QFont& font) {
    if (font.pixelSize() > 0) return MulDiv(font.pixelSize(), 72, kDesignDpi);
    return qRound(font.pointSizeF());
}

int TTvScale::RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return int(lower) + 1;
    if (fraction < 0.5) return int(lower);
    return std::fmod(lower, 2.0) == 0.0 ? int(lower) : int(lower) + 1;
}
