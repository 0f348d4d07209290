#include "TestMain.h"

#include "widgets/Led.h"

#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Pixel {
    int x, y;
    QRgb rgb;
};

// Renders the lamp over a background colour no palette uses.
QImage Render(TLed& led) {
    QImage image(led.size(), QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3));
    led.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

const QRgb kBackground = qRgb(1, 2, 3);
const QRgb kWhite = qRgb(255, 255, 255), kGrey = qRgb(128, 128, 128), kBlack = qRgb(0, 0, 0);

} // namespace

class LedTest : public QObject {
    Q_OBJECT
private slots:
    void mapsAreDrawnPixelForPixel_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("shape");
        QTest::addColumn<bool>("lit");
        QTest::addColumn<QList<Pixel>>("pixels");
        const QRgb lime = qRgb(0, 255, 0), yellow = qRgb(255, 255, 0);
        const QRgb blue = qRgb(0, 0, 255), aqua = qRgb(0, 255, 255);
        // Rim, body, highlight and glint positions of each map, and corners left alone.
        QTest::newRow("green circle dark")
            << int(lkGreen) << int(lsCircle) << false
            << QList<Pixel>{{0, 0, kBackground}, {5, 0, kGrey},  {15, 5, kWhite},
                            {5, 15, kWhite},     {7, 7, kBlack}, {5, 4, lime}};
        QTest::newRow("blue circle dark")
            << int(lkBlue) << int(lsCircle) << false
            << QList<Pixel>{{15, 0, kBackground}, {0, 5, kGrey}, {4, 6, blue}, {12, 12, kBlack}};
        QTest::newRow("green circle lit")
            << int(lkGreen) << int(lsCircle) << true
            << QList<Pixel>{{0, 15, kBackground}, {3, 4, yellow},   {4, 4, kWhite},
                            {10, 8, lime},        {13, 12, kBlack}, {15, 9, kWhite}};
        QTest::newRow("blue circle lit")
            << int(lkBlue) << int(lsCircle) << true
            << QList<Pixel>{{3, 4, aqua}, {10, 8, blue}, {6, 2, aqua}, {5, 13, blue}};
        QTest::newRow("green rectangle dark")
            << int(lkGreen) << int(lsRectangle) << false
            << QList<Pixel>{{8, 2, kBackground}, {8, 3, kGrey},   {15, 4, kWhite},     {2, 5, lime},
                            {1, 5, kBlack},      {8, 12, kWhite}, {8, 13, kBackground}};
        QTest::newRow("blue rectangle dark")
            << int(lkBlue) << int(lsRectangle) << false
            << QList<Pixel>{{3, 6, blue}, {4, 6, kBlack}, {0, 12, kGrey}};
        QTest::newRow("green rectangle lit")
            << int(lkGreen) << int(lsRectangle) << true
            << QList<Pixel>{{2, 5, yellow},  {3, 6, kWhite},  {13, 5, lime},
                            {14, 5, kBlack}, {5, 11, kBlack}, {15, 12, kWhite}};
        QTest::newRow("blue rectangle lit")
            << int(lkBlue) << int(lsRectangle) << true
            << QList<Pixel>{{2, 5, aqua}, {3, 6, kWhite}, {13, 5, blue}, {0, 3, kGrey}};
    }
    void mapsAreDrawnPixelForPixel() {
        QFETCH(int, kind);
        QFETCH(int, shape);
        QFETCH(bool, lit);
        QFETCH(QList<Pixel>, pixels);
        TLed led;
        led.SetKind(TLedKind(kind));
        led.SetShape(TLedShape(shape));
        led.SetValue(lit);
        const QImage image = Render(led);
        for (const Pixel& p : pixels)
            QVERIFY2(image.pixel(p.x, p.y) == p.rgb,
                     qPrintable(QString("pixel %1,%2 is %3, expected %4")
                                    .arg(p.x)
                                    .arg(p.y)
                                    .arg(image.pixel(p.x, p.y) & 0xFFFFFF, 6, 16)
                                    .arg(p.rgb & 0xFFFFFF, 6, 16)));
    }

    void largerLampDrawsTopLeftOnly() {
        TLed led;
        led.resize(40, 40);
        led.SetShape(lsRectangle);
        const QImage image = Render(led);
        QCOMPARE(image.pixel(0, 3), kGrey);
        QCOMPARE(image.pixel(16, 3), kBackground);
        QCOMPARE(image.pixel(30, 30), kBackground);
    }

    void valueRaisesChangeOnlyOnChange() {
        TLed led;
        QCOMPARE(led.size(), QSize(16, 16));
        QSignalSpy spy(&led, &TLed::OnChange);
        led.SetValue(false);
        QCOMPARE(spy.count(), 0);
        led.SetValue(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<TLed*>(), &led);
        led.SetValue(true);
        QCOMPARE(spy.count(), 1);
        led.SetValue(false);
        QCOMPARE(spy.count(), 2);
    }

    void linkedLabelFollowsTheState() {
        TLed led;
        QLabel label("design");
        led.SetLabelOnText("an");
        led.SetLabelOffText("aus");
        QCOMPARE(label.text(), QString("design")); // nothing linked yet
        led.SetValue(true);
        led.SetLabelLinked(&label);
        QCOMPARE(label.text(), QString("an"));
        led.SetValue(false);
        QCOMPARE(label.text(), QString("aus"));
        led.SetLabelOffText("dunkel");
        QCOMPARE(label.text(), QString("dunkel"));
        led.SetLabelOnText("hell"); // not the current state, but the caption is refreshed
        QCOMPARE(label.text(), QString("dunkel"));
        led.SetValue(true);
        QCOMPARE(label.text(), QString("hell"));
    }

    void vanishedLabelIsForgotten() {
        TLed led;
        auto* label = new QLabel;
        led.SetLabelLinked(label);
        delete label;
        led.SetValue(true); // must not touch the freed label
        QCOMPARE(led.LabelLinked(), nullptr);
    }
};
RENNUHR_TEST(LedTest);

#include "tst_led.moc"
