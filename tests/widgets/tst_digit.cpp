#include "TestMain.h"

#include "widgets/Digit.h"

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

// Counts the paint events a widget receives and keeps what they covered.
struct PaintCounter : QObject {
    int paints = 0;
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// A lane-clock digit with lit, unlit and background colours that tell apart.
void MakeLaneDigit(TDigit& digit) {
    digit.resize(48, 89);
    digit.SetThickness(5);
    digit.SetColorOn(Qt::yellow);
    digit.SetColorOff(Qt::blue);
    digit.SetColor(Qt::black);
}

} // namespace

class DigitTest : public QObject {
    Q_OBJECT
private slots:
    void constructionDefaults() {
        TDigit d;
        QCOMPARE(d.size(), QSize(16, 32));
        QCOMPARE(d.Value(), 0);
        QCOMPARE(int(d.ValueBinary()), 125);
        QCOMPARE(d.Thickness(), 2);
        QCOMPARE(d.Separation(), 1);
        QCOMPARE(d.ColorOn(), QColor(255, 255, 0));
        QCOMPARE(d.ColorOff(), QColor(Qt::black));
        QCOMPARE(d.Color(), QColor(Qt::black));
    }

    void laneClockGeometry() {
        const auto s = TDigit::Segments(48, 89, 5, 1);
        QCOMPARE(s[0], QPolygon({{6, 5}, {11, 0}, {36, 0}, {41, 5}, {36, 10}, {11, 10}}));
        QCOMPARE(s[1].boundingRect().top(), 39);
        QCOMPARE(s[2].boundingRect().top(), 78);
        QCOMPARE(s[4], QPolygon({{37, 11}, {42, 6}, {47, 11}, {47, 38}, {42, 43}, {37, 38}}));
        QCOMPARE(s[7], QPolygon({{47, 88}, {38, 88}, {47, 79}}));
        // Lower bars hang from the middle: same shape, shifted by M − T = 39.
        QCOMPARE(s[5], s[3].translated(0, 39));
        QCOMPARE(s[6], s[4].translated(0, 39));
    }

    void digitTable() {
        const int masks[10] = {0x7D, 0x50, 0x37, 0x57, 0x5A, 0x4F, 0x6F, 0x51, 0x7F, 0x5F};
        TDigit d;
        for (int v = 9; v >= 0; --v) {
            d.SetValue(v);
            QCOMPARE(int(d.ValueBinary()), masks[v]);
        }
    }

    void drawsLitAndUnlitSegments() {
        TDigit d;
        MakeLaneDigit(d);
        // Centres of: top, middle, bottom, upper left, upper right, lower left, lower right, point.
        const QPoint centres[8] = {{23, 5},  {23, 44}, {23, 83}, {5, 24},
                                   {42, 24}, {5, 63},  {42, 63}, {45, 86}};
        d.SetValueBinary(0);
        QImage image = Render(d);
        for (const QPoint& p : centres)
            QCOMPARE(QColor(image.pixel(p)), QColor(Qt::blue));
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::black));   // background
        QCOMPARE(QColor(image.pixel(24, 24)), QColor(Qt::black)); // inside the upper loop

        d.SetValueBinary(255);
        image = Render(d);
        for (const QPoint& p : centres)
            QCOMPARE(QColor(image.pixel(p)), QColor(Qt::yellow));

        d.SetValue(7); // top, upper right, lower right
        image = Render(d);
        const bool lit[8] = {true, false, false, false, true, false, true, false};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(QColor(image.pixel(centres[i])),
                     lit[i] ? QColor(Qt::yellow) : QColor(Qt::blue));
    }

    // Drawn faces are shared between digits: any property that changes the picture must
    // give another face, and a part repainted alone must match the whole.
    void sharedFacesFollowEveryProperty() {
        TDigit shown;
        MakeLaneDigit(shown);
        shown.SetValue(8);
        const QImage eight = Render(shown);
        const std::function<void(TDigit&)> changes[] = {
            [](TDigit& d) { d.SetValue(3); },
            [](TDigit& d) { d.SetColorOn(Qt::red); },
            [](TDigit& d) { d.SetColorOff(Qt::green); },
            [](TDigit& d) { d.SetColor(Qt::white); },
            [](TDigit& d) { d.SetThickness(8); },
            [](TDigit& d) { d.SetSeparation(3); },
            [](TDigit& d) { d.resize(50, 89); },
        };
        for (const auto& change : changes) {
            TDigit other;
            MakeLaneDigit(other);
            other.SetValue(8);
            QCOMPARE(Render(other), eight);
            change(other);
            QVERIFY(Render(other).copy(shown.rect()) != eight);
        }

        QImage part(shown.size(), QImage::Format_RGB32);
        part.fill(Qt::magenta);
        const QRect lowerRight(20, 40, 28, 49);
        shown.render(&part, lowerRight.topLeft(), QRegion(lowerRight));
        QCOMPARE(part.copy(lowerRight), eight.copy(lowerRight));
    }

    void overflowShowsZeroAndIsRaisedEachTime() {
        TDigit d;
        d.SetValue(4);
        QSignalSpy spy(&d, &TDigit::OnOverflow);
        d.SetValue(10);
        QCOMPARE(d.Value(), 0);
        QCOMPARE(int(d.ValueBinary()), 0x7D);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<TDigit*>(), &d);
        d.SetValue(10);
        d.SetValue(-1);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(d.Value(), 0);
    }

    void settersRepaintOnlyOnChange() {
        TDigit d;
        MakeLaneDigit(d);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        PaintCounter counter;
        d.installEventFilter(&counter);
        auto paintsAfter = [&](auto&& change) {
            counter.paints = 0;
            change();
            QCoreApplication::processEvents();
            return counter.paints;
        };
        QCOMPARE(paintsAfter([&] { d.SetValue(0); }), 0);
        QCOMPARE(paintsAfter([&] { d.SetColorOn(Qt::yellow); }), 0);
        QCOMPARE(paintsAfter([&] { d.SetColorOff(Qt::blue); }), 0);
        QCOMPARE(paintsAfter([&] { d.SetValueBinary(0x7D); }), 0);
        QCOMPARE(paintsAfter([&] { d.SetValue(3); }), 1);
        QCOMPARE(paintsAfter([&] { d.SetColorOn(Qt::red); }), 1);
        QCOMPARE(paintsAfter([&] { d.SetThickness(5); }), 1); // always repaints
        QCOMPARE(paintsAfter([&] { d.SetSeparation(1); }), 1);
    }

    // A new value repaints what changes: on a lane clock's digit one box around the changed
    // segments, on the TV's large ones the changed segments alone.
    void newValueRepaintsWhatChanges() {
        TDigit lane, tv;
        MakeLaneDigit(lane);
        tv.resize(185, 343);
        tv.SetThickness(19);
        PaintCounter counter;
        auto paintedBy = [&](TDigit& d, int from, int to) {
            d.SetValue(from);
            QCoreApplication::processEvents();
            counter.paints = 0;
            counter.painted = QRegion();
            d.SetValue(to);
            QCoreApplication::processEvents();
            return counter.paints == 1 ? counter.painted : QRegion();
        };
        const std::pair<int, int> changes[] = {{8, 9}, {1, 7}, {0, 8}, {3, 4}, {7, 0}, {2, 3}};
        for (TDigit* d : {&lane, &tv}) {
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d));
            d->installEventFilter(&counter);
            const auto segments = TDigit::Segments(d->width(), d->height(), d->Thickness(), 1);
            for (const auto& [from, to] : changes) {
                const QRegion painted = paintedBy(*d, from, to);
                const int changed = TDigit::MaskOf(from) ^ TDigit::MaskOf(to);
                QRect box;
                for (int bit = 0; bit < 8; ++bit)
                    if (changed & (1 << bit)) {
                        box |= segments[bit].boundingRect();
                        QVERIFY(painted.contains(segments[bit].boundingRect()));
                    }
                if (d == &lane) {
                    QCOMPARE(painted.rectCount(), 1);
                    QVERIFY(box.adjusted(-1, -1, 1, 1).contains(painted.boundingRect()));
                } else {
                    for (int bit = 0; bit < 7; ++bit)
                        if (!(changed & (1 << bit)))
                            QVERIFY(!painted.contains(segments[bit].boundingRect().center()));
                }
            }
        }
    }

    // A tick repaints a part of the digit alone: what is then on the screen must be exactly
    // the new value's face, also after the digit was resized, small or large.
    void partRepaintsLeaveTheWholeFace() {
        QWidget window;
        window.resize(200, 360);
        TDigit d(&window);
        d.move(6, 5);
        MakeLaneDigit(d);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const auto& [size, thickness] :
             {std::pair(QSize(48, 89), 5), std::pair(QSize(185, 343), 19)}) {
            d.resize(size);
            d.SetThickness(thickness);
            TDigit fresh;
            MakeLaneDigit(fresh);
            fresh.resize(size);
            fresh.SetThickness(thickness);
            for (int from = 0; from < 10; ++from) {
                for (int to = 0; to < 10; ++to) {
                    d.SetValue(from);
                    QCoreApplication::processEvents();
                    d.SetValue(to);
                    QCoreApplication::processEvents();
                    fresh.SetValue(to);
                    // The screen's copy, not a fresh paint of the widget.
                    const QImage shown =
                        window.screen()
                            ->grabWindow(window.winId(), d.x(), d.y(), d.width(), d.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
                    QVERIFY2(shown == Render(fresh),
                             qPrintable(QStringLiteral("%1 to %2").arg(from).arg(to)));
                }
            }
        }
    }

    // The TV's digits change while it is off; shown again, it must show the new values.
    void digitChangedWhileHiddenIsShownWhole() {
        QWidget window;
        window.resize(60, 100);
        TDigit d(&window);
        MakeLaneDigit(d);
        d.SetValue(8);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.hide();
        d.SetValue(1);
        d.SetValue(2);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        TDigit fresh;
        MakeLaneDigit(fresh);
        fresh.SetValue(2);
        const QImage shown = window.screen()
                                 ->grabWindow(window.winId(), 0, 0, d.width(), d.height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, Render(fresh));
    }

    void equalValueKeepsADirectMask() {
        TDigit d;
        d.SetValue(3);
        d.SetValueBinary(0x80);
        d.SetValue(3);
        QCOMPARE(int(d.ValueBinary()), 0x80);
        d.SetValue(2);
        QCOMPARE(int(d.ValueBinary()), 0x37);
    }

    void thicknessMustFitTheSize() {
        TDigit d; // 16 × 32
        d.SetThickness(9);
        QCOMPARE(d.Thickness(), 2);
        d.SetThickness(8);
        QCOMPARE(d.Thickness(), 8);
        d.resize(48, 12);
        d.SetThickness(7);
        QCOMPARE(d.Thickness(), 8);
        d.SetThickness(6);
        QCOMPARE(d.Thickness(), 6);
    }
};
RENNUHR_TEST(DigitTest);

#include "tst_digit.moc"
