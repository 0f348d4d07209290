// Each plausibility rule with a lane that breaks it and one that passes, first as the rule
// itself and then through a whole heat on the simulated cable. A warning never changes a time.
#include "Heat.h"
#include "TestMain.h"

Q_DECLARE_METATYPE(QList<double>)

namespace {

const QList<double> kLane1 = {420, 6100, 12095, 12345};
const QList<double> kLane2 = {510, 6300, 12250, 12500};

QStringList Rules(const QList<TPlausibilityWarning>& warnings) {
    QStringList rules;
    for (const TPlausibilityWarning& warning : warnings)
        rules << warning.rule;
    return rules;
}

// START at 5 s, then the lanes' barrier pulses at their times since START, in ms.
void RunHeat(Heat& h, const QList<double>& lane1, const QList<double>& lane2) {
    h.Key(h.sequence.LockLS1);
    h.now->store(5000 * kMs);
    h.Lines(kModemCTS);
    h.Lines(0);
    for (int lane = 1; lane <= 2; ++lane)
        for (const double ms : lane == 1 ? lane1 : lane2) {
            h.now->store(h.state.StartTicks + qint64(ms * kMs));
            h.Pulse(lane == 1 ? kModemRLSD : kModemDSR);
        }
}

} // namespace

class PlausibilityRulesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // The rule alone: the lane's barrier instants, its stop and what it finds.
    void checkLaneStop_data() {
        QTest::addColumn<QList<double>>("events");
        QTest::addColumn<double>("stop");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("falseStartLane");
        QTest::addColumn<QStringList>("rules");
        const QStringList none;
        QTest::newRow("plausible") << kLane1 << 12345.0 << true << 0 << none;
        // The trap then runs from 6,000 s: slower than the mean as well.
        QTest::newRow("times back") << QList<double>{420, 6100, 6000, 12345} << 12345.0 << true << 0
                                    << QStringList{"Reihenfolge", "Geschwindigkeit"};
        QTest::newRow("stopped before the last barrier")
            << QList<double>{420, 6100, 12400} << 12345.0 << true << 0
            << QStringList{"Reihenfolge"};
        QTest::newRow("a barrier missing")
            << kLane1.mid(0, 3) << 12400.0 << true << 0 << QStringList{"Reihenfolge"};
        QTest::newRow("by hand, barriers are not counted")
            << kLane1.mid(0, 3) << 12400.0 << false << 0 << none;
        QTest::newRow("reaction at 0") << QList<double>{0, 6100, 12095, 12345} << 12345.0 << true
                                       << 0 << QStringList{"Reaktionszeit"};
        QTest::newRow("reaction late") << QList<double>{5001, 6100, 12095, 12345} << 12345.0 << true
                                       << 0 << QStringList{"Reaktionszeit"};
        QTest::newRow("reaction just in time")
            << QList<double>{4999, 6100, 12095, 12345} << 12345.0 << true << 0 << none;
        QTest::newRow("intermediate at the stop")
            << QList<double>{420, 6100} << 6100.0 << false << 0 << QStringList{"Zwischenzeit"};
        QTest::newRow("trap slower than the mean")
            << QList<double>{420, 6100, 8000, 12345} << 12345.0 << true << 0
            << QStringList{"Geschwindigkeit"};
        QTest::newRow("400 km/h") << QList<double>{420, 2000, 3920, 4000} << 4000.0 << true << 0
                                  << QStringList{"Geschwindigkeit"};
        QTest::newRow("just below 400 km/h")
            << QList<double>{420, 2000, 3909, 4000} << 4000.0 << true << 0 << none;
        QTest::newRow("below the minimum time")
            << QList<double>{} << 999.0 << false << 0 << QStringList{"Mindestzeit"};
        QTest::newRow("at the minimum time") << QList<double>{} << 1000.0 << false << 0 << none;
        QTest::newRow("a false start has no time to check")
            << QList<double>{420, 6100, 6000} << 500.0 << true << 1 << none;
    }
    void checkLaneStop() {
        QFETCH(QList<double>, events);
        QFETCH(double, stop);
        QFETCH(bool, connected);
        QFETCH(int, falseStartLane);
        QFETCH(QStringList, rules);
        Race race;
        TRaceState& state = race.heat.state;
        state.StartTicks = 3600 * 1000 * kMs;
        state.FalseStartLane = falseStartLane;
        // Only the events up to the last barrier count, as the inputs store them.
        state.LaneEventCount[1] = int(std::min<qsizetype>(events.size(), 4));
        for (int k = 0; k < state.LaneEventCount[1]; ++k)
            state.LaneTicks[1][k + 1] = state.StartTicks + qint64(events[k] * kMs);
        const qint64 stopTicks = state.StartTicks + qint64(stop * kMs);
        const QList<TPlausibilityWarning> found = CheckLaneStop(race, 1, stopTicks, connected);
        QCOMPARE(Rules(found), rules);
    }

    void checkStopPair() {
        const qint64 at = 7000 * kMs;
        QVERIFY(CheckStopPair(at, at + 199'999).has_value());
        QVERIFY(CheckStopPair(at + 199'999, at).has_value());
        QVERIFY(!CheckStopPair(at, at + 200'000).has_value());
        QCOMPARE(CheckStopPair(at, at + 100'000)->text,
                 QString("Beide Bahnen 0,100 ms auseinander gestoppt: Verdrahtung prüfen"));
        QCOMPARE(LockOutPulseWarning(3 * kMs).rule, QString("Sperrzeit"));
    }

    // The rules as the heat goes, through the port: after each stop, for the pair of stops and
    // for a pulse in a lane's lock-out.
    void eachRuleThroughAHeat_data() {
        QTest::addColumn<QList<double>>("lane1");
        QTest::addColumn<QList<double>>("lane2");
        QTest::addColumn<int>("minTime");
        QTest::addColumn<double>("handStop");     // lane 1 stopped by F8 then, < 0: by its barrier
        QTest::addColumn<int>("chatter");         // lane 1 pulses again: 1 in its lock-out, 2 after
        QTest::addColumn<QString>("lane1Reason"); // empty: no warning on either lane

        const QList<double> three = kLane1.mid(0, 3);
        QTest::newRow("plausible") << kLane1 << kLane2 << 1000 << -1.0 << 0 << "";
        QTest::newRow("times back") << QList<double>{420, 6100, 6000, 12345} << kLane2 << 1000
                                    << -1.0 << 0 << "nicht aufsteigend";
        QTest::newRow("a barrier missing")
            << three << kLane2 << 1000 << 12400.0 << 0 << "Nur 3 von 4 Lichtschranken";
        QTest::newRow("reaction late") << QList<double>{5001, 6100, 12095, 12345} << kLane2 << 1000
                                       << -1.0 << 0 << "Reaktionszeit 5,001 s";
        QTest::newRow("reaction just in time")
            << QList<double>{4999, 6100, 12095, 12345} << kLane2 << 1000 << -1.0 << 0 << "";
        QTest::newRow("intermediate after the stop")
            << kLane1.mid(0, 2) << kLane2 << 1000 << 6000.0 << 0 << "Zwischenzeit 6,100 s";
        QTest::newRow("trap slower than the mean")
            << QList<double>{420, 6100, 8000, 12345} << kLane2 << 1000 << -1.0 << 0
            << "Endgeschwindigkeit 8,3 km/h unter dem Schnitt 117,2 km/h";
        QTest::newRow("400 km/h") << QList<double>{420, 2000, 3920, 4000} << kLane2 << 1000 << -1.0
                                  << 0 << "Geschwindigkeit 450,0 km/h nicht unter 400";
        QTest::newRow("just below 400 km/h")
            << QList<double>{420, 2000, 3909, 4000} << kLane2 << 1000 << -1.0 << 0 << "";
        QTest::newRow("below the minimum time")
            << kLane1 << kLane2 << 12346 << -1.0 << 0 << "Zeit 12,345 s unter der Mindestzeit";
        QTest::newRow("at the minimum time") << kLane1 << kLane2 << 12345 << -1.0 << 0 << "";
        QTest::newRow("stops 0.1 ms apart")
            << kLane1 << QList<double>{510, 6300, 12250, 12345.1} << 1000 << -1.0 << 0
            << "Beide Bahnen 0,100 ms auseinander gestoppt";
        QTest::newRow("stops 0.3 ms apart")
            << kLane1 << QList<double>{510, 6300, 12250, 12345.3} << 1000 << -1.0 << 0 << "";
        QTest::newRow("pulse in the lock-out")
            << kLane1 << kLane2 << 1000 << -1.0 << 1 << "Impuls 0,003 s nach dem Stopp";
        QTest::newRow("pulse after the lock-out") << kLane1 << kLane2 << 1000 << -1.0 << 2 << "";
    }
    void eachRuleThroughAHeat() {
        QFETCH(QList<double>, lane1);
        QFETCH(QList<double>, lane2);
        QFETCH(int, minTime);
        QFETCH(double, handStop);
        QFETCH(int, chatter);
        QFETCH(QString, lane1Reason);
        Heat h(true);
        h.race.settings.MinTime = minTime;
        QSignalSpy warned(&h.plausibility, &TPlausibility::Warned);
        RunHeat(h, lane1, {});
        const qint64 start = h.state.StartTicks;
        if (handStop >= 0) {
            h.now->store(start + qint64(handStop * kMs));
            h.Key(h.sequence.mStop1);
        }
        QVERIFY(!h.heat.Lane(1).running);
        if (chatter) {
            if (chatter == 2) h.sequence.TimerGesperrtTimer(h.sequence.TimerGesperrtStop1);
            h.now->fetch_add(3 * kMs);
            h.Pulse(kModemRLSD);
        }
        for (const double ms : lane2) {
            h.now->store(start + qint64(ms * kMs));
            h.Pulse(kModemDSR);
        }
        QVERIFY(!h.heat.Lane(2).running);
        // Never a time changed: the lane's stop instant is what the row shows.
        QCOMPARE(h.Cell(1, ColTime), TicksToText(h.heat.Lane(1).stopTicks - start));
        const QStringList reasons = h.plausibility.Reasons(1);
        if (lane1Reason.isEmpty()) {
            QCOMPARE(reasons, QStringList());
            QCOMPARE(h.plausibility.Reasons(2), QStringList());
            QCOMPARE(warned.count(), 0);
            return;
        }
        QVERIFY2(reasons.join('|').contains(lane1Reason), qPrintable(reasons.join('|')));
        // Each warning names its lane's start number.
        QCOMPARE(warned[0][1].toString(), QString("1"));
        // The next heat starts with nothing found.
        h.Key(h.sequence.mReset);
        QCOMPARE(h.plausibility.Reasons(1), QStringList());
    }
};
RENNUHR_TEST(PlausibilityRulesTest);

#include "tst_plausibility.moc"
