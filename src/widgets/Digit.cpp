#include "Digit.h"

#include <QCache>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <memory>
#include <tuple>

namespace {
// Pixels up to which a change is repainted as one box; a lane clock's digit always is, a
// full-screen one mostly not.
constexpr qint64 kLargestBox = 16384;

constexpr quint8 kDigitMasks[10] = {0x7D, 0x50, 0x37, 0x57, 0x5A, 0x4F, 0x6F, 0x51, 0x7F, 0x5F};

// Everything a drawn face depends on.
struct FaceKey {
    QSize size;
    qreal pixelRatio;
    int thickness;
    int separation;
    QRgb color;
    QRgb colorOn;
    QRgb colorOff;
    quint8 mask;

    auto Tied() const {
        return std::tuple(size.width(), size.height(), pixelRatio, thickness, separation, color,
                          colorOn, colorOff, mask);
    }
    bool operator==(const FaceKey& other) const { return Tied() == other.Tied(); }
};

size_t qHash(const FaceKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.size.width(), key.size.height(), key.thickness, key.separation,
                      key.color, key.colorOn, key.colorOff, key.mask);
}

// Drawn faces shared by all digits. A running clock shows only a few faces per digit size,
// and filling the polygons again for every tick is what made a full-screen clock expensive;
// a copy of the drawn face is cheap. The limit keeps a 4K screen's faces and more.
QCache<FaceKey, QPixmap>& Faces() {
    static QCache<FaceKey, QPixmap> faces(96 * 1024 * 1024);
    return faces;
}
} // namespace

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
    SetValueBinary(kDigitMasks[value_]);
}

void TDigit::SetValueBinary(quint8 mask) {
    const quint8 changed = mask ^ valueBinary_;
    if (!changed) return;
    valueBinary_ = mask;
    // A hidden digit (the TV's while it is off) is painted whole when it is shown.
    if (!isVisible()) return;
    // Only what changes is copied again from the drawn face. On a small digit that is one box
    // around the changed segments: pieces would cost more to merge, clip and send to the
    // display than the few more pixels. On a large one (the TV's) the pixels cost more, and
    // the changed segments go as pieces.
    const auto& rects = SegmentRects();
    QRect box;
    for (int bit = 0; bit < 8; ++bit)
        if (changed & (1 << bit)) box |= rects[bit];
    if (qint64(box.width()) * box.height() <= kLargestBox) {
        update(box);
        return;
    }
    QRegion pieces;
    for (int bit = 0; bit < 8; ++bit)
        if (changed & (1 << bit)) pieces += rects[bit];
    update(pieces);
}

const std::array<QRect, 8>& TDigit::SegmentRects() {
    // A clock asks for these on every tick; the polygons change only with size and stroke.
    if (size() != rectsSize_ || thickness_ != rectsThickness_ || separation_ != rectsSeparation_) {
        const auto segments = Segments(width(), height(), thickness_, separation_);
        for (int bit = 0; bit < 8; ++bit)
            segmentRects_[bit] = segments[bit].boundingRect().adjusted(-1, -1, 1, 1);
        rectsSize_ = size();
        rectsThickness_ = thickness_;
        rectsSeparation_ = separation_;
    }
    return segmentRects_;
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

void TDigit::DrawFace(QPainter& painter) const {
    painter.fillRect(rect(), color_);
    painter.setPen(QPen(color_, 1));
    const auto segments = Segments(width(), height(), thickness_, separation_);
    for (int bit = 0; bit < 8; ++bit) {
        painter.setBrush(valueBinary_ & (1 << bit) ? colorOn_ : colorOff_);
        painter.drawPolygon(segments[bit]);
    }
}

void TDigit::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const FaceKey key{size(),        ratio,           thickness_,       separation_,
                      color_.rgba(), colorOn_.rgba(), colorOff_.rgba(), valueBinary_};
    const QPixmap* face = Faces().object(key);
    if (!face) {
        auto drawn = std::make_unique<QPixmap>(size() * ratio);
        drawn->setDevicePixelRatio(ratio);
        QPainter facePainter(drawn.get());
        DrawFace(facePainter);
        facePainter.end();
        const qsizetype bytes = qsizetype(drawn->width()) * drawn->height() * 4;
        face = drawn.get();
        // A face too large for the cache is drawn straight away instead.
        if (!Faces().insert(key, drawn.release(), bytes)) {
            DrawFace(painter);
            return;
        }
    }
    // One rectangle is the painter's clip already. Several are copied piece by piece, each
    // under a clip of its own: under a clip of several pieces the painter leaves its plain
    // copy for a slower, threaded one.
    const bool pieces = event->region().rectCount() > 1;
    for (const QRect& area : event->region()) {
        if (pieces) painter.setClipRect(area);
        painter.drawPixmap(QPointF(area.topLeft()), *face,
                           QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
    }
}
