#include "TestMain.h"

#include "race/Race.h"

#include <QTest>

class TimeBaseTest : public QObject {
    Q_OBJECT
private slots:
    void ticksToMsRoundsTiesToEven_data() {
        QTest::addColumn<qint64>("ticks");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("0.5 ms") << qint64(500000) << qint64(0);
        QTest::newRow("1.5 ms") << qint64(1500000) << qint64(2);
        QTest::newRow("2.5 ms") << qint64(2500000) << qint64(2);
        QTest::newRow("just above a tie") << qint64(2500001) << qint64(3);
        QTest::newRow("just below a tie") << qint64(1499999) << qint64(1);
        QTest::newRow("-1.5 ms") << qint64(-1500000) << qint64(-2);
        QTest::newRow("an hour") << qint64(3600) * 1000000000 << qint64(3600000);
        QTest::newRow("past 2^32 ticks") << qint64(5000000000) << qint64(5000);
        QTest::newRow("a day, tie") << qint64(86400) * 1000000000 + 500000 << qint64(86400000);
    }
    void ticksToMsRoundsTiesToEven() {
        QFETCH(qint64, ticks);
        QFETCH(qint64, ms);
        QCOMPARE(TicksToMs(ticks), ms);
    }

    void ticksToText_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0,000";
        QTest::newRow("one digit") << qint64(5) << "0,005";
        QTest::newRow("two digits") << qint64(45) << "0,045";
        QTest::newRow("999 ms") << qint64(999) << "0,999";
        QTest::newRow("1000 ms") << qint64(1000) << "1,000";
        QTest::newRow("12 345 ms") << qint64(12345) << "12,345";
        QTest::newRow("61 234 ms") << qint64(61234) << "61,234";
        QTest::newRow("999 999 ms") << qint64(999999) << "999,999";
        // Four-digit seconds must not lose their last digit.
        QTest::newRow("1234,567 s") << qint64(1234567) << "1234,567";
        QTest::newRow("negative") << qint64(-5) << "-0,005";
        QTest::newRow("negative seconds") << qint64(-12345) << "-12,345";
    }
    void ticksToText() {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(TicksToText(ms * 1000000), text);
    }

    void ticksToTextRoundsToTheNearestMillisecond() {
        QCOMPARE(TicksToText(999500000), QString("1,000")); // 999.5 ms: tie to even
        QCOMPARE(TicksToText(998500000), QString("0,998"));
        QCOMPARE(TicksToText(12345400000), QString("12,345"));
    }

    void nowTicksIsMonotonicNanoseconds() {
        THighResTimer timer;
        QCOMPARE(timer.CountSpeed(), 1000.0);
        const qint64 a = timer.NowTicks();
        QTest::qWait(2);
        const qint64 b = timer.NowTicks();
        QVERIFY(b - a >= 2000000);
        QVERIFY(b - a < 10000000000LL);
    }

    void tickSourceCanBeInjected() {
        THighResTimer timer;
        qint64 now = 42;
        timer.SetTickSource([&] { return now; });
        QCOMPARE(timer.NowTicks(), qint64(42));
        now = 1000;
        QCOMPARE(timer.NowTicks(), qint64(1000));
        timer.SetTickSource({});
        QVERIFY(timer.NowTicks() > 1000);
    }

    void settingsDefaults() {
        const TRaceSettings s;
        QCOMPARE(s.Port, 0);
        QCOMPARE(s.Alg, 0);
        QVERIFY(s.Sound);
        QCOMPARE(s.WaitStart, 3000);
        QCOMPARE(s.FilterInd, 1);
        QCOMPARE(s.Length, 402);
        QCOMPARE(s.Monitor, 0);
        QCOMPARE(s.Title, QString("* * *"));
        QVERIFY(!s.Klass);
        QVERIFY(s.KlassSort);
        QCOMPARE(s.LengthS, 0);
        QCOMPARE(s.LengthC, 2010);
        QCOMPARE(s.LengthF, 3920);
        QVERIFY(s.ColSpeed0 && s.ColSpeed1 && s.ColSpeed2 && s.ColSpeed3);
        QVERIFY(!s.ManyStart);
        QCOMPARE(s.BarrierCount, 4);
    }

    void barrierCountFollowsTheWiredBarriers() {
        TRaceSettings s;
        s.ColSpeed1 = s.ColSpeed2 = s.ColSpeed3 = false;
        QCOMPARE(s.BarrierCount, 4); // only recomputed on request
        s.UpdateBarrierCount();
        QCOMPARE(s.BarrierCount, 1);
        s.ColSpeed3 = true;
        s.UpdateBarrierCount();
        QCOMPARE(s.BarrierCount, 2);
        s.ColSpeed0 = false; // the start contact is no barrier
        s.ColSpeed1 = s.ColSpeed2 = true;
        s.UpdateBarrierCount();
        QCOMPARE(s.BarrierCount, 4);
    }

    void clearHeatEmptiesEveryLaneEvent() {
        TRaceState st;
        for (int lane = 1; lane <= 2; ++lane) {
            st.LaneEventCount[lane] = 3;
            for (int event = 1; event <= 4; ++event)
                st.LaneTicks[lane][event] = 100 * lane + event;
        }
        st.StopCount = 2;
        st.FirstLane = 2;
        st.FalseStartLane = 1;
        st.StartTicks = 77;
        st.PrevModemStatus = 0x30;
        st.ClearHeat();
        for (int lane = 1; lane <= 2; ++lane) {
            QCOMPARE(st.LaneEventCount[lane], 0);
            for (int event = 1; event <= 4; ++event)
                QCOMPARE(st.LaneTicks[lane][event], qint64(0));
        }
        QCOMPARE(st.StopCount, 0);
        QCOMPARE(st.FirstLane, 0);
        QCOMPARE(st.FalseStartLane, 0);
        // START stamps its own instant; the modem lines outlive a heat.
        QCOMPARE(st.StartTicks, qint64(77));
        QCOMPARE(st.PrevModemStatus, quint32(0x30));
    }
};
RENNUHR_TEST(TimeBaseTest);

#include "tst_timebase.moc"
