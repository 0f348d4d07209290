#include "TestMain.h"

#include "race/LaneTimer.h"
#include "race/Race.h"
#include "ui/Monitor2.h"
#include "widgets/Digit.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The window is placed on real screens, so these tests run in a child of this program whose
// offscreen platform has two 1024 x 768 screens side by side.

namespace {

constexpr qint64 kMs = 1000000; // ticks per millisecond
constexpr char kChildMarker[] = "RENNUHR_TV_TWO_SCREENS";

bool TwoScreens() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    return screens.size() == 2 && screens[0]->geometry() == QRect(0, 0, 1024, 768) &&
           screens[1]->geometry() == QRect(1024, 0, 1024, 768);
}

#define REQUIRE_TWO_SCREENS()                                                                      \
    if (!TwoScreens()) QSKIP("runs in the two-screen child")

struct Tv {
    Race race;
    TFrame1 lane1{race, 1};
    TFrame1 lane2{race, 2};
    TFormMonitor2 tv{&lane1, &lane2, race.settings};
    qint64 now = 5 * 3600 * 1000 * kMs;

    Tv() {
        race.HighResTimer1.SetTickSource([this] { return now; });
    }
    void Start() {
        race.state.StartTicks = now;
        race.state.ClearHeat();
        lane1.StartLane();
        lane2.StartLane();
    }
    void At(qint64 msSinceStart) { now = race.state.StartTicks + msSinceStart * kMs; }
};

QString Row(const TDigit* const (&digits)[6]) {
    QString s;
    for (int i = 0; i < 6; ++i) {
        if (i == 3) s += ',';
        s += QString::number(digits[i]->Value());
    }
    return s;
}

QString UpperRow(const TFormMonitor2& tv) {
    return Row({tv.Digit4, tv.Digit5, tv.Digit6, tv.Digit7, tv.Digit8, tv.Digit9});
}

QString LowerRow(const TFormMonitor2& tv) {
    return Row({tv.Digit4a, tv.Digit5a, tv.Digit6a, tv.Digit7a, tv.Digit8a, tv.Digit9a});
}

bool Bright(const TDigit* digit) {
    return digit->ColorOn() == DigitPalette[1];
}

} // namespace

class TvScreensLauncher : public QObject {
    Q_OBJECT
private slots:
    void runsTheTestsOnTwoScreens() {
        if (qEnvironmentVariableIsSet(kChildMarker)) {
            QVERIFY2(TwoScreens(), "the offscreen platform ignored the screen list");
            QSKIP("this is the child");
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString config = dir.filePath(QStringLiteral("screens.json"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"screens": [
            {"name": "Bedienung", "x": 0, "y": 0, "width": 1024, "height": 768,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "TV", "x": 1024, "y": 0, "width": 1024, "height": 768,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   QStringLiteral("offscreen:configfile=") + config);
        env.insert(QString::fromLatin1(kChildMarker), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(240000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        // The child must really have run the layout tests, not skipped them.
        QVERIFY2(output.contains("PASS   : TvLayoutTest::layoutOn1024x768()"), output.constData());
    }
};

class TvLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void layoutOn1024x768() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        TFormMonitor2& tv = t.tv;
        QCOMPARE(tv.geometry(), QRect(0, 0, 1024, 768));
        QCOMPARE(tv.ScaleFactor(), 1024.0 / 374.0);
        QCOMPARE(tv.Digit4->geometry(), QRect(11, 118, 131, 243));
        QCOMPARE(tv.Digit4->Thickness(), 14);
        // Edges are scaled one by one: 300 -> 821, 348 -> 953.
        QCOMPARE(tv.Digit9->geometry(), QRect(821, 118, 132, 243));
        for (const TDigit* digit :
             {tv.Digit4a, tv.Digit5a, tv.Digit6a, tv.Digit7a, tv.Digit8a, tv.Digit9a})
            QCOMPARE(digit->y(), 476); // 768 - Round(243 * 1.2)
        QCOMPARE(tv.Digit9a->geometry(), QRect(821, 476, 132, 243));
        QCOMPARE(tv.LabSec->geometry(), QRect(449, 192, 68, 221));
        QCOMPARE(TFormMonitor2::FontPoints(tv.LabSec->font()), 131);
        QCOMPARE(tv.LabSec2->geometry(), QRect(449, 550, 68, 221));
        for (QWidget* bar : {tv.PanelLab1, tv.PanelLab2}) {
            QCOMPARE(TFormMonitor2::FontPoints(bar->font()), 38);
            QCOMPARE(QRect(bar->x(), 0, bar->width(), bar->height()), QRect(0, 0, 1024, 51));
        }
        QCOMPARE(TFormMonitor2::FontPoints(tv.LabNext2->font()), 38);
        QCOMPARE(tv.PanelLab1->y(), 57);
        QCOMPARE(tv.PanelLab2->y(), 415);
        QCOMPARE(tv.PanelTitle->geometry(), QRect(0, 0, 1024, 51));

        QCOMPARE(TFormMonitor2::RoundHalfEven(2.5), 2);
        QCOMPARE(TFormMonitor2::RoundHalfEven(3.5), 4);
    }

    // Wider than 4:3, the height sets the scale and the rows are centred; nothing overlaps
    // and nothing is cut off. 5:4 keeps the width's scale.
    void layoutOnAnyScreen_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("k");
        QTest::newRow("16:9 TV") << QSize(1920, 1080) << 1080 / 280.5;
        QTest::newRow("16:10") << QSize(1280, 800) << 800 / 280.5;
        QTest::newRow("21:9") << QSize(2560, 1080) << 1080 / 280.5;
        QTest::newRow("5:4") << QSize(1280, 1024) << 1280 / 374.0;
    }
    void layoutOnAnyScreen() {
        REQUIRE_TWO_SCREENS();
        QFETCH(QSize, screen);
        QFETCH(double, k);
        Tv t;
        TFormMonitor2& tv = t.tv;
        tv.FitTo(QRect(QPoint(0, 0), screen));
        QCOMPARE(tv.ScaleFactor(), k);
        const QRect row1 = tv.Digit4->geometry().united(tv.Digit9->geometry());
        const QRect row2 = tv.Digit4a->geometry().united(tv.Digit9a->geometry());
        QVERIFY(QRect(QPoint(0, 0), screen).contains(row1.united(row2)));
        // The lane frame's own margins (4 left, 26 right of 374) are kept, scaled, and the
        // frame is centred.
        QVERIFY(qAbs((row1.left() - 4 * k) - (screen.width() - 1 - row1.right() - 26 * k)) <= 3);
        QCOMPARE(row2.left(), row1.left());
        QVERIFY(tv.PanelTitle->geometry().bottom() < tv.PanelLab1->y());
        QVERIFY(tv.PanelLab1->geometry().bottom() < row1.top());
        QVERIFY(row1.bottom() < tv.PanelLab2->y());
        QVERIFY(tv.PanelLab2->geometry().bottom() < row2.top());
        QVERIFY(tv.LabSec->geometry().left() > tv.Digit6->geometry().left());
        QVERIFY(tv.LabSec2->y() > row2.top() && tv.LabSec2->y() < row2.bottom());
        QCOMPARE(tv.PanelTitle->width(), screen.width());
        QCOMPARE(tv.PanelLab2->width(), screen.width());
        if (screen == QSize(1920, 1080)) {
            // 374 k = 1440, so the rows start 240 pixels in.
            QCOMPARE(tv.Digit4->geometry(), QRect(255, 166, 185, 342));
            QCOMPARE(tv.Digit4a->y(), 1080 - 410);
        }
    }

    void layoutFollowsTheLaneFramesAndResizes() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        // The window keeps no copy of the frame's design.
        t.lane1.Digit6->setGeometry(110, 40, 60, 100);
        t.tv.Layout();
        QCOMPARE(t.tv.Digit6->geometry(), QRect(301, 110, 465 - 301, 383 - 110));
        t.tv.Show();
        t.tv.resize(800, 600); // laid out again with the k of the last placement
        QTRY_COMPARE(t.tv.Digit4a->y(), 600 - 292);
        QCOMPARE(t.tv.Digit4->geometry(), QRect(11, 118, 131, 243));
    }

    void placementOnTheChosenScreenAndMoveAfterAChange() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        t.race.settings.Monitor = 1;
        t.tv.Show();
        QCOMPARE(t.tv.geometry(), QRect(1024, 0, 1024, 768));
        QCOMPARE(t.tv.screen(), QGuiApplication::screens().at(1));
        // The settings dialog's OK moves a showing window at once, and a hidden one too.
        t.race.settings.Monitor = 0;
        t.tv.Placement();
        QTRY_COMPARE(t.tv.geometry(), QRect(0, 0, 1024, 768));
        QCOMPARE(t.tv.screen(), QGuiApplication::screens().at(0));
        t.tv.Close();
        t.race.settings.Monitor = 1;
        t.tv.Placement();
        QCOMPARE(t.tv.geometry(), QRect(1024, 0, 1024, 768));
        QVERIFY(!t.tv.isVisible());
    }

    void escapeClosesOnlyOverTheOperatorsScreen() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        QSignalSpy visibility(&t.tv, &TFormMonitor2::VisibilityChanged);
        t.tv.Show();
        QTest::keyClick(&t.tv, Qt::Key_Escape);
        QVERIFY(!t.tv.isVisible());
        QCOMPARE(static_cast<QList<QVariantList>>(visibility),
                 (QList<QVariantList>{{true}, {false}}));

        t.race.settings.Monitor = 1;
        t.tv.Show();
        QTest::keyClick(&t.tv, Qt::Key_Escape);
        QVERIFY(t.tv.isVisible());

        // A monitor unplugged since: the window lands on the operator's screen, so Escape works.
        t.race.settings.Monitor = 2;
        t.tv.Placement();
        QCOMPARE(t.tv.geometry(), QRect(0, 0, 1024, 768));
        QTest::keyClick(&t.tv, Qt::Key_Escape);
        QVERIFY(!t.tv.isVisible());
    }

    void switchAndShortcutsFromTheMainWindow() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        QWidget main;
        QAction modus(&main);
        modus.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
        QObject::connect(&modus, &QAction::triggered, &t.tv, &TFormMonitor2::Toggle);
        main.addAction(&modus);
        t.tv.addActions(main.actions());
        main.show();

        t.race.settings.Monitor = 1;
        t.tv.Show();
        QTRY_COMPARE(QApplication::activeWindow(), &t.tv);
        QTest::keyClick(&t.tv, Qt::Key_M, Qt::ControlModifier); // Escape is dead there
        QVERIFY(!t.tv.isVisible());
        t.tv.ShowFromSwitch(&main); // the TV is elsewhere: the operator keeps typing here
        QTRY_COMPARE(QApplication::activeWindow(), &main);

        t.tv.Close();
        t.race.settings.Monitor = 0;
        t.tv.ShowFromSwitch(&main);
        QTRY_COMPARE(QApplication::activeWindow(), &t.tv);
    }

    void doesNotKeepTheProgramAlive() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        QWidget main;
        main.show();
        t.tv.Show();
        // Closing the operator's window ends the event loop although the TV still shows.
        QTimer::singleShot(0, &main, &QWidget::close);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

class TvContentTest : public QObject {
    Q_OBJECT
private slots:
    void clockThatRanWhileHiddenShowsTheCurrentTime() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        t.Start();
        t.At(12345);
        t.lane1.ClockTimer();
        t.At(105000);
        t.lane2.StopLane();
        t.tv.Show();
        QCOMPARE(UpperRow(t.tv), QStringLiteral("012,345"));
        QVERIFY(!Bright(t.tv.Digit4) && Bright(t.tv.Digit5));
        // 105 s: the zero after a lit hundreds digit is lit too.
        QCOMPARE(LowerRow(t.tv), QStringLiteral("105,000"));
        QVERIFY(Bright(t.tv.Digit4a) && Bright(t.tv.Digit5a));

        t.lane2.ResetLane();
        QCOMPARE(LowerRow(t.tv), QStringLiteral("000,000"));
        QVERIFY(!Bright(t.tv.Digit4a) && !Bright(t.tv.Digit5a));
        QCOMPARE(UpperRow(t.tv), QStringLiteral("012,345"));
    }

    void labelsAndTitle() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        QCOMPARE(t.tv.LabStart1->text(), QStringLiteral(" Start-Nr.:1"));
        QCOMPARE(t.tv.LabNext1->text(), QStringLiteral("Bereit: 3 "));
        QCOMPARE(t.tv.LabStart2->text(), QStringLiteral(" Start-Nr.:2"));
        QCOMPARE(t.tv.LabNext2->text(), QStringLiteral("Bereit: 4 "));
        // The reset's advance and the operator's typing reach the hidden window.
        t.lane1.editStartN1->setValue(3);
        t.lane2.editStartN2->setValue(1234);
        QCOMPARE(t.tv.LabStart1->text(), QStringLiteral(" Start-Nr.:3"));
        QCOMPARE(t.tv.LabNext2->text(), QStringLiteral("Bereit: 1234 "));
        // Show takes the numbers from the lanes, whatever was written before.
        t.tv.SetStartNumbers(7, 9, 8, 10);
        t.tv.Show();
        QCOMPARE(t.tv.LabStart2->text(), QStringLiteral(" Start-Nr.:2"));

        QCOMPARE(t.tv.PanelTitle->text(), QStringLiteral("* * *"));
        t.tv.SetTitle(QString());
        QCOMPARE(t.tv.PanelTitle->text(), QString()); // empty stays empty
    }
};

RENNUHR_TEST(TvScreensLauncher);
RENNUHR_TEST(TvLayoutTest);
RENNUHR_TEST(TvContentTest);

#include "tst_monitor2.moc"
