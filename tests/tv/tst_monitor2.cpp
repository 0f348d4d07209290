#include "TestMain.h"

#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "ui/DlgYesNo.h"
#include "ui/LaneTimer.h"
#include "ui/Monitor2.h"
#include "ui/TvScale.h"
#include "widgets/Digit.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

// The window is placed on real screens, so these tests run in children of this program whose
// offscreen platform has two 1024 x 768 screens side by side, or one screen of a given size.

namespace {

constexpr qint64 kMs = 1000000; // ticks per millisecond
constexpr char kChildMarker[] = "RENNUHR_TV_TWO_SCREENS";
constexpr char kOneScreenMarker[] = "RENNUHR_TV_ONE_SCREEN";

bool IsChild() {
    return qEnvironmentVariableIsSet(kChildMarker) || qEnvironmentVariableIsSet(kOneScreenMarker);
}

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
    TFormMonitor2 tv{race, &lane1, &lane2};
    qint64 now = 5 * 3600 * 1000 * kMs;

    Tv() {
        race.HighResTimer1.SetTickSource([this] { return now; });
    }
    // The heat model moved as the race sequence moves it; the TV only shows it.
    void Start() {
        race.heat.state.StartTicks = now;
        race.heat.state.ClearHeat();
        race.heat.SetLaneRunning(1, true);
        race.heat.SetLaneRunning(2, true);
    }
    void Stop(int lane) { race.heat.SetLaneStopped(lane, now, ComputeLaneResult(race, lane, now)); }
    void Reset(int lane) { race.heat.ClearLane(lane); }
    void At(qint64 msSinceStart) { now = race.heat.state.StartTicks + msSinceStart * kMs; }
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

// Runs this program again on an offscreen platform with the given screens side by side and
// returns what it printed; empty when it failed.
QByteArray RunOnScreens(const QList<QSize>& sizes, const char* marker, const QString& value) {
    QTemporaryDir dir;
    QString screens;
    int x = 0;
    for (const QSize& size : sizes) {
        screens += QStringLiteral(R"(%1{"name": "S%2", "x": %3, "y": 0, "width": %4, "height": %5,
            "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
                       .arg(screens.isEmpty() ? "" : ",")
                       .arg(x)
                       .arg(x)
                       .arg(size.width())
                       .arg(size.height());
        x += size.width();
    }
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly)) return {};
    file.write(QStringLiteral(R"({"screens": [%1]})").arg(screens).toUtf8());
    file.close();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    env.insert(QString::fromLatin1(marker), value);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(240000)) return {};
    const QByteArray output = child.readAll();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qWarning("%s", output.constData());
        return {};
    }
    return output;
}

} // namespace

class TvScreensLauncher : public QObject {
    Q_OBJECT
private slots:
    void runsTheTestsOnTwoScreens() {
        if (IsChild()) {
            QVERIFY2(!qEnvironmentVariableIsSet(kChildMarker) || TwoScreens(),
                     "the offscreen platform ignored the screen list");
            QSKIP("this is a child");
        }
        const QByteArray output =
            RunOnScreens({{1024, 768}, {1024, 768}}, kChildMarker, QStringLiteral("1"));
        // The child must really have run the layout tests, not skipped them.
        QVERIFY2(output.contains("PASS   : TvLayoutTest::layoutOn1024x768()"), output.constData());
    }

    // The screens people have, each as the only one: the window covers it and nothing overlaps.
    void runsTheLayoutOnEachScreen_data() {
        QTest::addColumn<QSize>("screen");
        for (const QSize size :
             {QSize(1920, 1080), QSize(1366, 768), QSize(1280, 800), QSize(1024, 768),
              QSize(3840, 2160), QSize(2560, 1080), QSize(1280, 1024)})
            QTest::addRow("%dx%d", size.width(), size.height()) << size;
    }
    void runsTheLayoutOnEachScreen() {
        if (IsChild()) QSKIP("this is a child");
        QFETCH(QSize, screen);
        const QByteArray output = RunOnScreens({screen}, kOneScreenMarker, QStringLiteral("1"));
        QVERIFY2(output.contains("PASS   : TvOneScreenTest::fillsItsScreen()"), output.constData());
    }
};

// The scaling arithmetic alone, by table: the factor from the screen, the rows' centring and
// the edges of a scaled rectangle.
class TvScaleTest : public QObject {
    Q_OBJECT
private slots:
    void scaling_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("k");
        QTest::addColumn<int>("left");
        QTest::addColumn<QRect>("digit4"); // the lane frame's Digit4 at (4, 43, 48, 89)
        QTest::addColumn<QRect>("digit9"); // and its Digit9 at (300, 43, 48, 89)
        QTest::newRow("4:3") << QSize(1024, 768) << 1024.0 / 374 << 0 << QRect(11, 118, 131, 243)
                             << QRect(821, 118, 132, 243);
        QTest::newRow("5:4, the width sets k")
            << QSize(1280, 1024) << 1280.0 / 374 << 0 << QRect(14, 147, 164, 305)
            << QRect(1027, 147, 164, 305);
        QTest::newRow("16:9, the height sets k, centred")
            << QSize(1920, 1080) << 1080 / 280.5 << 240 << QRect(255, 166, 185, 342)
            << QRect(1395, 166, 185, 342);
        QTest::newRow("the frame's own size")
            << QSize(374, 281) << 1.0 << 0 << QRect(4, 43, 48, 89) << QRect(300, 43, 48, 89);
        // A hair wider than 4:3 already: the height sets k.
        QTest::newRow("just wider than 4:3") << QSize(374, 280) << 280 / 280.5 << 0
                                             << QRect(4, 43, 48, 89) << QRect(299, 43, 48, 89);
    }
    void scaling() {
        QFETCH(QSize, screen);
        QFETCH(double, k);
        const double factor = TTvScale::FactorFor(screen, 374);
        QCOMPARE(factor, k);
        const TTvScale scale(factor, 374, screen.width());
        QTEST(scale.Left(), "left");
        QTEST(scale.Scaled(QRect(4, 43, 48, 89)), "digit4");
        QTEST(scale.Scaled(QRect(300, 43, 48, 89)), "digit9");
    }

    void roundingAndFontSizes() {
        QCOMPARE(TTvScale::RoundHalfEven(2.5), 2);
        QCOMPARE(TTvScale::RoundHalfEven(3.5), 4);
        QCOMPARE(TTvScale::RoundHalfEven(3.4999), 3);
        QCOMPARE(TTvScale::PointsToPixels(38), 51);
        QFont font;
        font.setPixelSize(19); // the lane frames' bars
        QCOMPARE(TTvScale::FontPoints(font), 14);
        QCOMPARE(TTvScale(1024.0 / 374, 374, 1024).FontPixels(font), 51);
        QCOMPARE(TTvScale::FactorFor(QSize(1024, 768), 0), 1.0); // nothing laid out yet
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
        QCOMPARE(TTvScale::FontPoints(tv.LabSec->font()), 131);
        QCOMPARE(tv.LabSec2->geometry(), QRect(449, 550, 68, 221));
        for (QWidget* bar : {tv.PanelLab1, tv.PanelLab2}) {
            QCOMPARE(TTvScale::FontPoints(bar->font()), 38);
            QCOMPARE(QRect(bar->x(), 0, bar->width(), bar->height()), QRect(0, 0, 1024, 51));
        }
        QCOMPARE(TTvScale::FontPoints(tv.LabNext2->font()), 38);
        QCOMPARE(tv.PanelLab1->y(), 57);
        QCOMPARE(tv.PanelLab2->y(), 415);
        QCOMPARE(tv.PanelTitle->geometry(), QRect(0, 0, 1024, 51));
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

    // Over the operator's screen every dialog stays above the spectators' window, and when the
    // last one closes the window has the keys again. On the TV's own screen nothing changes.
    void dialogsStayAboveOverTheOperatorsScreen() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        QWidget main;
        main.show();
        t.tv.Show();
        QTRY_COMPARE(QApplication::activeWindow(), &t.tv);
        TFDlgYesNo question(&main);
        QFileDialog files(&main);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Rennuhr"), QStringLiteral("?"),
                        QMessageBox::Ok, &main);
        const auto onTop = [](QWidget& dialog) {
            return dialog.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
        };
        for (QDialog* dialog : std::initializer_list<QDialog*>{&question, &files, &box}) {
            dialog->open();
            QVERIFY(onTop(*dialog));
            // Shown after the window that is kept on top, so it is the top one there.
            QCOMPARE(QGuiApplication::topLevelAt(dialog->geometry().center()),
                     dialog->windowHandle());
        }
        // A message over the settings: the window waits for the last one.
        box.reject();
        files.reject();
        QTest::qWait(20);
        QVERIFY(QApplication::activeWindow() != &t.tv);
        question.reject();
        QVERIFY(!onTop(question)); // reused later, maybe with the TV elsewhere
        QTRY_COMPARE(QApplication::activeWindow(), &t.tv);
        QTest::keyClick(&t.tv, Qt::Key_Escape);
        QVERIFY(!t.tv.isVisible());

        t.race.settings.Monitor = 1;
        t.tv.Show();
        box.open();
        QVERIFY(!onTop(box));
        box.reject();
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

class TvOneScreenTest : public QObject {
    Q_OBJECT
private slots:
    // Wider than 4:3 the height sets the scale and the rows are centred; 4:3 and 5:4 keep the
    // width's scale. From top to bottom the bands follow each other inside the screen.
    void fillsItsScreen() {
        if (!qEnvironmentVariableIsSet(kOneScreenMarker)) QSKIP("runs in the one-screen children");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        Tv t;
        TFormMonitor2& tv = t.tv;
        tv.Show();
        QCOMPARE(tv.geometry(), screen);
        const bool wide = screen.height() * 4 < screen.width() * 3;
        const double k = wide ? screen.height() / 280.5 : screen.width() / 374.0;
        QCOMPARE(tv.ScaleFactor(), k);

        const QRect row1 = tv.Digit4->geometry().united(tv.Digit9->geometry());
        const QRect row2 = tv.Digit4a->geometry().united(tv.Digit9a->geometry());
        const QRect bands[] = {
            tv.PanelTitle->geometry(),         tv.PanelLab1->geometry(),
            tv.Extras[0].winFrame->geometry(), tv.Extras[0].resultBar->geometry(),
            tv.PanelLab2->geometry(),          tv.Extras[1].winFrame->geometry(),
            tv.Extras[1].resultBar->geometry()};
        for (int i = 0; i < 7; ++i) {
            QVERIFY2(tv.rect().contains(bands[i]), qPrintable(QString::number(i)));
            if (i > 0)
                QVERIFY2(bands[i - 1].bottom() < bands[i].top(), qPrintable(QString::number(i)));
        }
        QVERIFY(bands[2].contains(row1) && bands[5].contains(row2));
        QVERIFY(tv.Extras[0].resultBar->height() > 0 && tv.Extras[1].resultBar->height() > 0);
        QVERIFY(row1.contains(tv.LabSec->geometry().center()));
        QVERIFY(row2.contains(tv.LabSec2->geometry().center()));
        // The lane frame's own margins (4 left, 26 right of 374) are kept, scaled, and the
        // frame is centred.
        QVERIFY(qAbs((row1.left() - 4 * k) - (screen.width() - 1 - row1.right() - 26 * k)) <= 3);
        QCOMPARE(row2.left(), row1.left());
        QCOMPARE(tv.PanelTitle->width(), screen.width());
        QCOMPARE(tv.PanelLab2->width(), screen.width());

        // The longest result line with its badge fits beside the comma's lane.
        tv.ShowResult(2, {"9,999", "99,999", "999,9", "99,999", false, true});
        tv.Extras[1].resultBar->layout()->activate();
        QVERIFY(tv.Extras[1].result->width() >= tv.Extras[1].result->sizeHint().width());
        QVERIFY(tv.Extras[1].winBadge->geometry().right() < tv.Extras[1].result->geometry().left());

        if (screen.size() == QSize(1024, 768)) { // the 4:3 layout, as designed
            QCOMPARE(tv.Digit4->geometry(), QRect(11, 118, 131, 243));
            QCOMPARE(tv.Digit4a->y(), 476);
            QCOMPARE(tv.PanelLab1->geometry(), QRect(0, 57, 1024, 51));
            QCOMPARE(tv.PanelLab2->y(), 415);
            QCOMPARE(tv.LabSec2->geometry(), QRect(449, 550, 68, 221));
        }
        if (screen.size() == QSize(1920, 1080)) {
            // 374 k = 1440, so the rows start 240 pixels in.
            QCOMPARE(tv.Digit4->geometry(), QRect(255, 166, 185, 342));
            QCOMPARE(tv.Digit4a->y(), 1080 - 410);
        }
    }
};

class TvContentTest : public QObject {
    Q_OBJECT
private slots:
    // While the clocks run, only their digits are drawn again; not the commas, whose boxes
    // reach into the tenths digits.
    void ticksRepaintOnlyTheDigits() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        t.tv.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.tv));
        struct Counter : QObject {
            QHash<QObject*, int> paints;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Paint) ++paints[watched];
                return false;
            }
        } counter;
        const QList<QWidget*> still = {
            t.tv.PanelTitle, t.tv.PanelLab1,      t.tv.LabStart1,
            t.tv.LabNext2,   t.tv.Extras[0].name, t.tv.Extras[1].resultBar,
            t.tv.Digit4,     t.tv.Digit5a,        t.tv.LabSec,
            t.tv.LabSec2,    t.tv.PanelTimer};
        for (QWidget* widget : still + QList<QWidget*>{t.tv.Digit9, t.tv.Digit9a})
            widget->installEventFilter(&counter);
        t.Start();
        for (int ms = 7; ms < 900; ms += 13) {
            t.At(ms);
            t.lane1.ClockTimer();
            t.lane2.ClockTimer();
            QCoreApplication::processEvents();
        }
        QVERIFY(counter.paints.value(t.tv.Digit9) > 50);
        QVERIFY(counter.paints.value(t.tv.Digit9a) > 50);
        for (QWidget* widget : still)
            QVERIFY2(counter.paints.value(widget) == 0, widget->metaObject()->className());
    }

    void clockThatRanWhileHiddenShowsTheCurrentTime() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        t.Start();
        t.At(12345);
        t.lane1.ClockTimer();
        t.At(105000);
        t.Stop(2);
        t.tv.Show();
        QCOMPARE(UpperRow(t.tv), QStringLiteral("012,345"));
        QVERIFY(!Bright(t.tv.Digit4) && Bright(t.tv.Digit5));
        // 105 s: the zero after a lit hundreds digit is lit too.
        QCOMPARE(LowerRow(t.tv), QStringLiteral("105,000"));
        QVERIFY(Bright(t.tv.Digit4a) && Bright(t.tv.Digit5a));

        t.Reset(2);
        QCOMPARE(LowerRow(t.tv), QStringLiteral("000,000"));
        QVERIFY(!Bright(t.tv.Digit4a) && !Bright(t.tv.Digit5a));
        QCOMPARE(UpperRow(t.tv), QStringLiteral("012,345"));
    }

    // The rider's name from the protocol row of the start number, as the protocol changes.
    void namesFollowTheProtocol() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        TProtocolModel protocol;
        protocol.SetRows({TProtocolModel::DefaultHeaderTexts(),
                          {"1", "Müller", "Hans"},
                          {"2", " Schmidt-Wagenknecht ", "Anna-Lena Maximiliane Friederike"}});
        const QLabel* name1 = t.tv.Extras[0].name;
        const QLabel* name2 = t.tv.Extras[1].name;
        QCOMPARE(name1->text(), QString());
        t.tv.SetProtocol(&protocol);
        QCOMPARE(name1->text(), QStringLiteral("Müller Hans"));
        QCOMPARE(name2->text(),
                 QStringLiteral("Schmidt-Wagenknecht Anna-Lena Maximiliane Friederike"));
        protocol.SetCell(1, ColFirstName, QString());
        QCOMPARE(name1->text(), QStringLiteral("Müller"));
        t.lane1.editStartN1->setValue(3); // no row
        QCOMPARE(name1->text(), QString());
        protocol.NewRow(); // 3, without a name yet
        QCOMPARE(name1->text(), QString());
        protocol.SetCell(3, ColName, QStringLiteral("Neu"));
        QCOMPARE(name1->text(), QStringLiteral("Neu"));
        protocol.SetRows({TProtocolModel::DefaultHeaderTexts(), {"3", "Geladen", ""}});
        QCOMPARE(name1->text(), QStringLiteral("Geladen"));
        QCOMPARE(name2->text(), QString());
        QCOMPARE(t.tv.LabStart1->text(), QStringLiteral(" Start-Nr.:3")); // as specified

        // A long name is cut, the ready number keeps its place at the right edge.
        protocol.SetCell(1, ColName, QString(200, u'X'));
        t.lane1.editStartN1->setValue(3);
        t.tv.Show();
        t.tv.PanelLab1->layout()->activate();
        QCOMPARE(t.tv.LabNext1->geometry().right(), t.tv.PanelLab1->width() - 1);
        QVERIFY(name1->geometry().right() < t.tv.LabNext1->x());
    }

    // What a stopped lane shows: its results, the winner's mark, a false start; all gone at
    // the reset.
    void resultsWinnerAndFalseStart() {
        REQUIRE_TWO_SCREENS();
        Tv t;
        const TFormMonitor2::LaneExtras& upper = t.tv.Extras[0];
        const TFormMonitor2::LaneExtras& lower = t.tv.Extras[1];
        const auto marked = [&t](const TFormMonitor2::LaneExtras& lane) {
            return lane.winBadge->isVisibleTo(&t.tv) && lane.winFrame->isVisibleTo(&t.tv);
        };
        t.Start();
        TRaceState& state = t.race.heat.state;
        // Lane 2 has its reaction and intermediate barriers, then stops first.
        state.LaneTicks[2][1] = state.StartTicks + 412 * kMs;
        state.LaneTicks[2][2] = state.StartTicks + 5123 * kMs;
        state.LaneTicks[2][3] = state.StartTicks + 9000 * kMs;
        state.FirstLane = 2;
        t.At(10000);
        t.Stop(2);
        const LaneResult result = ComputeLaneResult(t.race, 2, t.now);
        QCOMPARE(lower.result->text(), QStringLiteral("Reaktion 0,412 s   Zwischen 5,123 s   ") +
                                           result.speed + QStringLiteral(" km/h"));
        QVERIFY(marked(lower));
        QCOMPARE(upper.result->text(), QString()); // still running
        QVERIFY(!marked(upper));
        QCOMPARE(lower.winBadge->text(), QStringLiteral("SIEG"));
        QCOMPARE(lower.winFrame->geometry().united(t.tv.Digit4a->geometry()),
                 lower.winFrame->geometry());

        // Lane 1 without barrier events: no reaction, no intermediate, no trap speed.
        t.At(11000);
        t.Stop(1);
        QCOMPARE(upper.result->text(), QString());
        QVERIFY(!marked(upper));

        // The false start, declared afterwards: red, never a winner.
        state.FalseStartLane = 2;
        state.FirstLane = 1;
        t.Stop(2);
        QCOMPARE(lower.result->text(), QStringLiteral("FEHLSTART"));
        QCOMPARE(lower.result->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(!marked(lower));

        // Unwired barriers show nothing even where a value was recorded; the mean speed shows.
        t.race.settings.ColSpeed1 = t.race.settings.ColSpeed2 = t.race.settings.ColSpeed3 = false;
        t.Stop(1);
        QCOMPARE(upper.result->text(), ComputeLaneResult(t.race, 1, t.now).speed + " km/h");
        QVERIFY(marked(upper));
        QCOMPARE(upper.result->palette().color(QPalette::WindowText), QColor(Qt::white));

        t.Reset(1);
        t.Reset(2);
        for (const TFormMonitor2::LaneExtras* lane : {&upper, &lower}) {
            QCOMPARE(lane->result->text(), QString());
            QVERIFY(!marked(*lane));
        }
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
RENNUHR_TEST(TvScaleTest);
RENNUHR_TEST(TvLayoutTest);
RENNUHR_TEST(TvContentTest);
RENNUHR_TEST(TvOneScreenTest);

#include "tst_monitor2.moc"
