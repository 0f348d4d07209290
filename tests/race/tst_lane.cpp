#include "TestMain.h"

#include "race/Race.h"

#include <QTest>

namespace {

constexpr qint64 kMs = 1000000; // ticks per millisecond

// A race whose clock the test sets by hand. START happens at a large tick value so that
// durations never start from 0 by accident.
struct TestRace : Race {
    qint64 now = 7 * 3600 * 1000 * kMs;
    TestRace() {
        HighResTimer1.SetTickSource([this] { return now; });
    }
    void Start() {
        heat.state.StartTicks = now;
        heat.state.ClearHeat();
    }
    void At(qint64 msSinceStart) { now = heat.state.StartTicks + msSinceStart * kMs; }
    void Event(int lane, int k, qint64 msSinceStart) {
        heat.state.LaneTicks[lane][k] = heat.state.StartTicks + msSinceStart * kMs;
    }
};

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
        const LaneResult r = ComputeLaneResult(race, 1, race.heat.state.StartTicks + 12345 * kMs);
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
        const LaneResult r = ComputeLaneResult(race, 2, race.heat.state.StartTicks + 12345 * kMs);
        QCOMPARE(r.speed, QString("117,2")); // 402 m in 12,345 s
        QCOMPARE(r.finalTime, QString("12,345"));
    }

    void missingEventsLeaveTheirCellsEmpty() {
        TestRace race;
        race.Start();
        race.Event(2, 2, 5000); // reaction barrier never fired
        const LaneResult r = ComputeLaneResult(race, 2, race.heat.state.StartTicks + 9000 * kMs);
        QVERIFY(r.reaction.isEmpty());
        QCOMPARE(r.intermediate, QString("5,000"));
        // Trap configured but never entered: no speed from instant 0.
        QVERIFY(r.speed.isEmpty());
    }

    void noSpeedWithinHalfAMillisecond() {
        TestRace race;
        race.Start();
        race.Event(1, 3, 1000);
        QVERIFY(
            ComputeLaneResult(race, 1, race.heat.state.LaneTicks[1][3] + 400000).speed.isEmpty());
        race.settings.ColSpeed3 = false;
        QVERIFY(ComputeLaneResult(race, 1, race.heat.state.StartTicks + 499999).speed.isEmpty());
        QCOMPARE(ComputeLaneResult(race, 1, race.heat.state.StartTicks + 1 * kMs).speed,
                 QString("1447200,0")); // no group separator
    }

    void falseStartKeepsTimesButNoSpeed() {
        TestRace race;
        race.Start();
        race.Event(1, 1, 300);
        race.Event(1, 3, 900);
        race.heat.state.FalseStartLane = 1;
        race.heat.state.FirstLane = 2;
        const LaneResult marked =
            ComputeLaneResult(race, 1, race.heat.state.StartTicks + 1000 * kMs);
        QVERIFY(marked.marked);
        QVERIFY(!marked.first);
        QVERIFY(marked.speed.isEmpty());
        const LaneResult other =
            ComputeLaneResult(race, 2, race.heat.state.StartTicks + 1000 * kMs);
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
        const LaneResult r = ComputeLaneResult(race, 1, race.heat.state.StartTicks + 65000 * kMs);
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

#include "tst_lane.moc"
