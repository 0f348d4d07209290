#include "TestMain.h"

#include "race/HeatProtocol.h"
#include "race/LaneTimer.h"
#include "race/Race.h"
#include "widgets/Digit.h"

#include <QLabel>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

constexpr qint64 kMs = 1000000; // ticks per millisecond

// Records what the lane timers ask of the protocol.
struct RecordingProtocol : HeatProtocol {
    QStringList prepared;
    QList<QPair<QString, LaneResult>> written;
    void PrepareHeatRow(const QString& startNumber) override { prepared << startNumber; }
    void WriteLaneResult(const QString& startNumber, const LaneResult& result) override {
        written.append({startNumber, result});
    }
};

// A race whose clock the test sets by hand. START happens at a large tick value so that
// durations never start from 0 by accident.
struct TestRace : Race {
    qint64 now = 7 * 3600 * 1000 * kMs;
    TestRace() {
        HighResTimer1.SetTickSource([this] { return now; });
    }
    void Start() {
        state.StartTicks = now;
        state.ClearHeat();
    }
    void At(qint64 msSinceStart) { now = state.StartTicks + msSinceStart * kMs; }
    void Event(int lane, int k, qint64 msSinceStart) {
        state.LaneTicks[lane][k] = state.StartTicks + msSinceStart * kMs;
    }
};

QString Shown(const TFrame1& f) {
    QString s;
    for (const TDigit* d : {f.Digit4, f.Digit5, f.Digit6})
        s += QString::number(d->Value());
    s += ',';
    for (const TDigit* d : {f.Digit7, f.Digit8, f.Digit9})
        s += QString::number(d->Value());
    return s;
}

} // namespace

class LaneResultTest : public QObject {
    Q_OBJECT
private slots:
    void fourBarriersGiveReactionIntermediateAndTrapSpeed() {
        TestRace race;
        race.Start();
        race.Event(1, 1, 412);
        race.Event(1, 2, 6789);
        race.Event(1, 3, 12345 - 250);
        const LaneResult r = ComputeLaneResult(race, 1, race.state.StartTicks + 12345 * kMs);
        QCOMPARE(r.reaction, QString("0,412"));
        QCOMPARE(r.intermediate, QString("6,789"));
        QCOMPARE(r.finalTime, QString("12,345"));
        QCOMPARE(r.speed, QString("144,0")); // trap of 100 dm in 250 ms
        QVERIFY(!r.marked);
        QVERIFY(!r.first);
    }

    void meanSpeedWithoutTopSpeedBarrier() {
        TestRace race;
        race.settings.ColSpeed3 = false;
        race.Start();
        const LaneResult r = ComputeLaneResult(race, 2, race.state.StartTicks + 12345 * kMs);
        QCOMPARE(r.speed, QString("117,2")); // 402 m in 12,345 s
        QCOMPARE(r.finalTime, QString("12,345"));
    }

    void missingEventsLeaveTheirCellsEmpty() {
        TestRace race;
        race.Start();
        race.Event(2, 2, 5000); // reaction barrier never fired
        const LaneResult r = ComputeLaneResult(race, 2, race.state.StartTicks + 9000 * kMs);
        QVERIFY(r.reaction.isEmpty());
        QCOMPARE(r.intermediate, QString("5,000"));
        // Trap configured but never entered: no speed from instant 0.
        QVERIFY(r.speed.isEmpty());
    }

    void noSpeedWithinHalfAMillisecond() {
        TestRace race;
        race.Start();
        race.Event(1, 3, 1000);
        QVERIFY(ComputeLaneResult(race, 1, race.state.LaneTicks[1][3] + 400000).speed.isEmpty());
        race.settings.ColSpeed3 = false;
        QVERIFY(ComputeLaneResult(race, 1, race.state.StartTicks + 499999).speed.isEmpty());
        QCOMPARE(ComputeLaneResult(race, 1, race.state.StartTicks + 1 * kMs).speed,
                 QString("1447200,0")); // no group separator
    }

    void falseStartKeepsTimesButNoSpeed() {
        TestRace race;
        race.Start();
        race.Event(1, 1, 300);
        race.Event(1, 3, 900);
        race.state.FalseStartLane = 1;
        race.state.FirstLane = 2;
        const LaneResult marked = ComputeLaneResult(race, 1, race.state.StartTicks + 1000 * kMs);
        QVERIFY(marked.marked);
        QVERIFY(!marked.first);
        QVERIFY(marked.speed.isEmpty());
        const LaneResult other = ComputeLaneResult(race, 2, race.state.StartTicks + 1000 * kMs);
        QVERIFY(!other.marked);
        QVERIFY(other.first);
    }

    void durationsPastTheLow32BitsStayRight() {
        // 2^31 ns is 2.147 s: a 32-bit difference would wrap for every real race.
        TestRace race;
        race.now = (qint64(1) << 32) - 1000 * kMs; // low half about to wrap
        race.Start();
        race.Event(1, 1, 2500);
        race.Event(1, 3, 65000 - 500);
        const LaneResult r = ComputeLaneResult(race, 1, race.state.StartTicks + 65000 * kMs);
        QCOMPARE(r.reaction, QString("2,500"));
        QCOMPARE(r.finalTime, QString("65,000"));
        QCOMPARE(r.speed, QString("72,0"));
    }

    void clockFaceDigitsAndLeadingZeros_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QList<int>>("digits");
        QTest::addColumn<bool>("bright4");
        QTest::addColumn<bool>("bright5");
        QTest::newRow("12,345") << qint64(12345) << QList<int>{0, 1, 2, 3, 4, 5} << false << true;
        QTest::newRow("105 s") << qint64(105000) << QList<int>{1, 0, 5, 0, 0, 0} << true << true;
        QTest::newRow("5 s") << qint64(5007) << QList<int>{0, 0, 5, 0, 0, 7} << false << false;
        QTest::newRow("saturates high")
            << qint64(1000000) << QList<int>{9, 9, 9, 9, 9, 9} << true << true;
        QTest::newRow("saturates low")
            << qint64(-20) << QList<int>{0, 0, 0, 0, 0, 0} << false << false;
    }
    void clockFaceDigitsAndLeadingZeros() {
        QFETCH(qint64, ms);
        QFETCH(QList<int>, digits);
        const ClockFace face = ClockFace::FromTicks(ms * kMs);
        QCOMPARE(QList<int>(face.digits, face.digits + 6), digits);
        QTEST(face.bright4, "bright4");
        QTEST(face.bright5, "bright5");
    }
};
RENNUHR_TEST(LaneResultTest);

class LaneTimerTest : public QObject {
    Q_OBJECT
private slots:
    void startsAtRestWithItsStartNumbers() {
        TestRace race;
        TFrame1 lane1(race, 1), lane2(race, 2);
        QCOMPARE(lane1.editStartN1->value(), 1);
        QCOMPARE(lane1.editStartN2->value(), 3);
        QCOMPARE(lane2.editStartN1->value(), 2);
        QCOMPARE(lane2.editStartN2->value(), 4);
        QCOMPARE(lane1.editStartN1->maximum(), 9999);
        QCOMPARE(lane1.editStartN1->minimum(), 1);
        QCOMPARE(Shown(lane1), QString("000,000"));
        QCOMPARE(lane1.Digit4->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane1.Digit5->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane1.Digit6->ColorOn(), DigitPalette[1]);
        QCOMPARE(lane1.Digit4->Thickness(), 5);
        QCOMPARE(lane1.Digit4->size(), QSize(48, 89));
        QCOMPARE(lane1.Clock->interval(), 10);
        QVERIFY(!lane1.IsRunning());
        QCOMPARE(lane1.StopTicks(), race.state.StartTicks);
        QCOMPARE(lane1.size(), QSize(374, 143));
    }

    void runsStopsAndWritesItsRow() {
        TestRace race;
        RecordingProtocol protocol;
        TFrame1 lane(race, 1);
        lane.SetProtocol(&protocol);
        QSignalSpy shown(&lane, &TFrame1::ClockShown);
        race.Start();
        lane.StartLane();
        QVERIFY(lane.IsRunning());
        QVERIFY(!lane.editStartN1->isEnabled());
        QCOMPARE(protocol.prepared, QStringList{"1"});

        race.At(3456);
        lane.ClockTimer();
        QCOMPARE(Shown(lane), QString("003,456"));
        QCOMPARE(shown.count(), 1);

        race.Event(1, 1, 500);
        race.Event(1, 2, 6000);
        race.Event(1, 3, 12345 - 250);
        race.At(12345);
        lane.StopLane();
        QVERIFY(!lane.IsRunning());
        QCOMPARE(lane.StopTicks(), race.now);
        QCOMPARE(Shown(lane), QString("012,345"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[1]);
        QCOMPARE(shown.last().at(0).value<ClockFace>(), ClockFace::FromTime(12, 345));
        QCOMPARE(protocol.written.size(), 1);
        QCOMPARE(protocol.written[0].first, QString("1"));
        QCOMPARE(protocol.written[0].second.finalTime, QString("12,345"));
        QCOMPARE(protocol.written[0].second.reaction, QString("0,500"));
        QCOMPARE(protocol.written[0].second.speed, QString("144,0"));

        // Time goes on, the stopped clock does not.
        race.At(20000);
        QTest::qWait(25);
        QCOMPARE(Shown(lane), QString("012,345"));
        QVERIFY(!lane.editStartN1->isEnabled());
    }

    void longRaceShowsBrightLeadingDigits() {
        TestRace race;
        TFrame1 lane(race, 2);
        race.Start();
        lane.StartLane();
        race.At(105000);
        lane.StopLane();
        QCOMPARE(Shown(lane), QString("105,000"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[1]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[1]);
    }

    void resetShowsZeroAndUnlocksTheStartNumber() {
        TestRace race;
        TFrame1 lane(race, 1);
        race.Start();
        lane.StartLane();
        race.At(105000);
        lane.StopLane();
        lane.ResetLane();
        QCOMPARE(Shown(lane), QString("000,000"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[0]);
        for (const TDigit* d : {lane.Digit6, lane.Digit7, lane.Digit8, lane.Digit9})
            QCOMPARE(d->ColorOn(), DigitPalette[1]);
        QCOMPARE(lane.LabSec->palette().color(QPalette::WindowText), DigitPalette[1]);
        QCOMPARE(lane.StopTicks(), race.state.StartTicks);
        QVERIFY(lane.editStartN1->isEnabled());
        QVERIFY(!lane.IsRunning());
    }

    void resetWhileRunningStopsTheClock() {
        TestRace race;
        RecordingProtocol protocol;
        TFrame1 lane(race, 1);
        lane.SetProtocol(&protocol);
        race.Start();
        lane.StartLane();
        race.At(2000);
        lane.ResetLane();
        QVERIFY(!lane.IsRunning());
        QCOMPARE(Shown(lane), QString("000,000"));
        QVERIFY(protocol.written.isEmpty());
    }

    void clockTimerRunsOnItsOwnTimer() {
        TestRace race;
        TFrame1 lane(race, 1);
        race.Start();
        lane.StartLane();
        race.At(61234);
        QTRY_COMPARE_WITH_TIMEOUT(Shown(lane), QString("061,234"), 1000);
    }

    // A tick repaints the digits whose figure changed, each with one box inside the digit,
    // and nothing else: not the frame under them, not the comma whose box touches Digit7.
    void ticksRepaintOnlyTheChangedDigits() {
        TestRace race;
        TFrame1 lane(race, 1);
        lane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lane));
        race.Start();
        lane.StartLane();
        QCoreApplication::processEvents(); // the start number locked: not a tick's repaint

        struct Counter : QObject {
            QHash<QObject*, int> paints;
            QHash<QObject*, QRegion> painted;
            int pieces = 0; // paint events of more than one rectangle
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Paint) {
                    const QRegion& region = static_cast<QPaintEvent*>(event)->region();
                    ++paints[watched];
                    painted[watched] += region;
                    if (region.rectCount() > 1) ++pieces;
                }
                return false;
            }
        } counter;
        const QList<QWidget*> all = lane.findChildren<QWidget*>() << &lane;
        for (QWidget* widget : all)
            widget->installEventFilter(&counter);
        TDigit* const digits[6] = {lane.Digit4, lane.Digit5, lane.Digit6,
                                   lane.Digit7, lane.Digit8, lane.Digit9};
        QHash<QObject*, int> changes;
        for (int ms = 7; ms < 2100; ms += 13) {
            int before[6];
            for (int i = 0; i < 6; ++i)
                before[i] = digits[i]->Value();
            race.At(ms);
            lane.ClockTimer();
            for (int i = 0; i < 6; ++i)
                if (digits[i]->Value() != before[i]) ++changes[digits[i]];
            QCoreApplication::processEvents();
        }
        QCOMPARE(Shown(lane), QString("002,087"));
        QCOMPARE(counter.pieces, 0);
        for (QWidget* widget : all) {
            const QString name = widget->metaObject()->className();
            QVERIFY2(counter.paints.value(widget) == changes.value(widget), qPrintable(name));
            QVERIFY2((counter.painted.value(widget) - widget->rect()).isEmpty(), qPrintable(name));
        }
        QVERIFY(changes.value(lane.Digit9) > 100);
        QCOMPARE(changes.value(lane.Digit6), 2);
    }

    void falseStartedLaneAndSharedStartNumbers() {
        TestRace race;
        RecordingProtocol protocol;
        TFrame1 lane1(race, 1), lane2(race, 2);
        lane1.SetProtocol(&protocol);
        lane2.SetProtocol(&protocol);
        lane2.editStartN1->setValue(1);
        race.Start();
        lane1.StartLane();
        lane2.StartLane();
        QCOMPARE(protocol.prepared, (QStringList{"1", "1"}));
        race.state.FalseStartLane = 2;
        race.state.FirstLane = 1;
        race.At(800);
        lane2.StopLane();
        race.At(9000);
        lane1.StopLane();
        QCOMPARE(protocol.written.size(), 2);
        QCOMPARE(protocol.written[0].first, QString("1"));
        QVERIFY(protocol.written[0].second.marked);
        QCOMPARE(protocol.written[1].first, QString("1"));
        QVERIFY(protocol.written[1].second.first);
    }

    void stoppedLaneStoppedAgainTakesANewInstant() {
        TestRace race;
        RecordingProtocol protocol;
        TFrame1 lane(race, 1);
        lane.SetProtocol(&protocol);
        race.Start();
        lane.StartLane();
        race.At(5000);
        lane.StopLane();
        race.state.FalseStartLane = 1;
        race.At(6000);
        lane.StopLane();
        QCOMPARE(Shown(lane), QString("006,000"));
        QCOMPARE(protocol.written.size(), 2);
        QVERIFY(protocol.written[1].second.marked);
    }
};
RENNUHR_TEST(LaneTimerTest);

#include "tst_lane.moc"
