#pragma once

#include <QRect>
#include <QSize>

class QFont;

// How the spectators' window scales the lane frames' layout up to its screen: one factor k for
// everything, the rows centred across the width. Arithmetic only; the window applies it.
class TTvScale {
public:
    TTvScale() = default;
    // The rows were laid out for a 4:3 screen: on a wider one its height sets k, or the lane 2
    // row would be drawn across lane 1; otherwise the width does.
    static double FactorFor(const QSize& screen, int frameWidth);
    // k for rows of frameWidth centred in clientWidth.
    TTvScale(double k, int frameWidth, int clientWidth);

    double Factor() const { return k_; }
    // Where the scaled rows begin.
    int Left() const { return left_; }
    // Edges are scaled, not sizes, so neighbouring controls keep their gaps.
    QRect Scaled(const QRect& source) const;
    // A length times k, rounded.
    int Scaled(double length) const { return RoundHalfEven(length * k_); }
    // The pixel size of a font of the given points, scaled.
    int FontPixels(const QFont& font) const;

    // Pixel size of a font that is size points high at 96 dots per inch, and back.
    static int PointsToPixels(int points);
    static int FontPoints(const QFont& font);
    static int RoundHalfEven(double value);

private:
    double k_ = 1.0;
    int left_ = 0;
};
