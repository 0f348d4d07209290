// Start contact and barrier lines through the port's wait thread into the rules, with a
// simulated cable and no window: polarity, bounce, folded pulses, numbering, lock-outs and
// false-start offers.
#include "Heat.h"
#include "TestMain.h"

#include <QScopeGuard>

class BarrierInputsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }
    void fourPulsesStopTheLaneAtTheLastBarrier() {
        Heat t(true);
        t.Key(t.sequence.LockLS1); // arm the start
        t.now->store(5000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(t.race.heat.Lane(1).running);
        QCOMPARE(t.race.heat.state.StartTicks, 5000 * kMs); // the instant the line changed
        QVERIFY(t.heat.StartLamp());
        QCOMPARE(t.heat.StartLight(), 1); // green: the start contact was taken
        t.Lines(0);
        const qint64 at[4] = {420, 6100, 12095, 12345};
        for (int k = 0; k < 4; ++k) {
            t.At(at[k]);
            t.Pulse(kModemRLSD);
            QVERIFY(t.Lit(1, k + 1));
        }
        t.At(20000); // the stop is the barrier's instant, not the handling's
        QVERIFY(!t.race.heat.Lane(1).running);
        QCOMPARE(t.Cell(1, ColReaction), QString("0,420"));
        QCOMPARE(t.Cell(1, ColIntermediate), QString("6,100"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
        QVERIFY(t.race.heat.Lane(2).running);
        // A fifth pulse within the lane's lock-out is dropped without a sign, even with the
        // start armed, where a pulse on a blocked lane would offer a false start.
        t.Key(t.sequence.LockLS1);
        QVERIFY(t.sequence.TimerGesperrtStop1->isActive());
        t.Pulse(kModemRLSD);
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 4);
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
        QVERIFY(!t.heat.Lane(1).falseStartButton);
        t.sequence.TimerGesperrtTimer(t.sequence.TimerGesperrtStop1);
        t.Pulse(kModemRLSD); // after the lock-out: only the offer
        QVERIFY(t.heat.Lane(1).falseStartButton);
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 4);
    }

    void openingContactStartsWithTheOtherPolarity() {
        Heat t(true);
        t.race.settings.Alg = 1;
        t.Key(t.sequence.LockLS1);
        t.Lines(kModemCTS); // contact closes: nothing yet
        QVERIFY(!t.race.heat.Lane(1).running);
        t.now->fetch_add(500 * kMs);
        t.Lines(0);
        QVERIFY(t.race.heat.Lane(1).running);
    }

    void theLinesAtOpenAreTheRest() {
        // A contact closed at rest with Alg 1: its first opening starts the heat.
        {
            Heat t(true, kModemCTS);
            t.race.settings.Alg = 1;
            t.Key(t.sequence.LockLS1);
            t.now->store(7000 * kMs);
            t.Lines(0);
            QVERIFY(t.race.heat.Lane(1).running);
            QCOMPARE(t.race.heat.state.StartTicks, 7000 * kMs);
        }
        // With Alg 0 a contact already closed at open starts nothing until it opens and
        // closes again; a barrier line on at open is no barrier event either.
        Heat t(true, kModemCTS | kModemDSR);
        t.race.settings.Alg = 0; // the first window stored its 1
        t.Key(t.sequence.LockLS1);
        t.now->fetch_add(1000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(!t.heat.Lane(2).falseStartButton);
        t.now->fetch_add(1000 * kMs);
        t.Lines(0);
        QVERIFY(!t.race.heat.Lane(1).running);
        t.now->fetch_add(1000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(t.race.heat.Lane(1).running);
    }

    void aBouncingContactStartsOneHeatAndItsOpeningNone() {
        Heat t(true);
        t.OneBarrier();
        // Contact edges at their milliseconds, all stamped while the window waits, then handed
        // to it together.
        auto contact = [&](std::initializer_list<std::pair<qint64, quint32>> edges) {
            for (const auto& [ms, lines] : edges) {
                t.now->store(ms * kMs);
                t.Seen(lines);
            }
            QTRY_COMPARE(t.port.ComPort->DeliveredEvents(), t.port.ComPort->RecordedEvents());
        };
        auto endHeat = [&] {
            t.Key(t.sequence.mStop1);
            t.Key(t.sequence.mStop2);
            t.Key(t.sequence.mReset); // the reset arms the start again
            QVERIFY(t.heat.Armed(THeatModel::StartGroup));
        };
        t.Key(t.sequence.LockLS1);
        // Closing: on, off 2 ms later, on again 4 ms later.
        contact({{5000, kModemCTS}, {5002, 0}, {5004, kModemCTS}});
        QVERIFY(t.race.heat.Lane(1).running);
        QCOMPARE(t.race.heat.state.StartTicks, 5000 * kMs);
        endHeat();

        // Opening with a bounce: off, on 1 ms later, off 3 ms later.
        contact({{9000, 0}, {9001, kModemCTS}, {9003, 0}});
        QVERIFY(!t.race.heat.Lane(1).running);
        // The same bounce folded into one reading of the lines.
        contact({{10000, kModemCTS}});
        QVERIFY(t.race.heat.Lane(1).running);
        endHeat();
        t.now->store(11000 * kMs);
        t.Lines(0, kModemCTS);
        QVERIFY(!t.race.heat.Lane(1).running);

        // Alg 1: the opening starts, its bounce does not start again or move the start.
        t.race.settings.Alg = 1;
        contact({{12000, kModemCTS}});
        contact({{13000, 0}, {13001, kModemCTS}, {13002, 0}});
        QVERIFY(t.race.heat.Lane(1).running);
        QCOMPARE(t.race.heat.state.StartTicks, 13000 * kMs);
    }

    void aFoldedPulseIsCountedOnceWhileTheOtherLaneChanges() {
        Heat t(true);
        t.Key(t.sequence.LockLS1);
        t.Lines(kModemCTS);
        t.At(400);
        // Lane 2 comes on; lane 1 pulsed between the same two reads.
        t.Lines(kModemCTS | kModemDSR, kModemRLSD);
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 1);
        QCOMPARE(t.race.heat.state.LaneEventCount[2], 1);
        QCOMPARE(t.race.heat.state.LaneTicks[1][1], t.race.heat.state.LaneTicks[2][1]);
        QVERIFY(t.Lit(1, 1) && !t.Lit(1, 2) && t.Lit(2, 1));
        // Lane 2 goes off while lane 1 pulses again, then lane 2 pulses while lane 1 rests.
        t.At(6000);
        t.Lines(kModemCTS, kModemRLSD);
        t.At(6100);
        t.Lines(kModemCTS, kModemDSR);
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 2);
        QCOMPARE(t.race.heat.state.LaneEventCount[2], 2);
        QVERIFY(t.race.heat.Lane(1).running && t.race.heat.Lane(2).running);
    }

    void shortContactIsNotLost() {
        Heat t(true);
        t.Key(t.sequence.LockLS1);
        t.Pulse(kModemCTS); // closed and open again before anyone read the level
        QVERIFY(t.race.heat.Lane(1).running);
    }

    void pulseOnABlockedLaneOffersAFalseStart() {
        Heat t(true);
        t.Pulse(kModemDSR); // start not armed: nothing
        QVERIFY(!t.heat.Lane(2).falseStartButton);
        t.Key(t.sequence.LockLS1);
        t.Pulse(kModemDSR);
        QVERIFY(t.heat.Lane(2).falseStartButton);
        QVERIFY(!t.heat.Lane(1).falseStartButton);
        QCOMPARE(t.race.heat.state.LaneEventCount[2], 0);
    }

    void bothFinalBarriersInOneChangeGiveLaneOneTheMark() {
        Heat t(true);
        t.race.settings.ColSpeed1 = t.race.settings.ColSpeed2 = false;
        t.race.settings.ColSpeed3 = false;
        t.race.settings.UpdateBarrierCount();
        t.Key(t.sequence.LockLS1);
        t.Lines(kModemCTS);
        t.At(9000);
        t.Lines(kModemCTS | kModemRLSD | kModemDSR);
        QVERIFY(!t.race.heat.Lane(1).running && !t.race.heat.Lane(2).running);
        QCOMPARE(t.Cell(1, ColWin), QString("+"));
        QCOMPARE(t.Cell(2, ColWin), QString());
        QCOMPARE(t.Cell(1, ColTime), t.Cell(2, ColTime));
    }

    void barrierTogetherWithTheContactOpeningIsCounted() {
        Heat t(true);
        t.Key(t.sequence.LockLS1);
        t.Lines(kModemCTS);
        t.At(500);
        t.Lines(kModemRLSD); // contact opens as lane 1's first barrier fires
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 1);
        QCOMPARE(t.Cell(1, ColTime), QString());
    }

    // With an opening contact the start imitation reads the contact as closed: it starts
    // nothing, as the wiring would not either. The lanes are imitated all the same.
    void startImitationWithAnOpeningContact() {
        Heat t;
        t.race.settings.Alg = 1;
        t.Key(t.sequence.LockLS1);
        t.port.Imitate(1);
        QVERIFY(!t.race.heat.Lane(1).running);
        QVERIFY(!t.heat.StartLamp());
        t.Start();
        t.At(500);
        t.port.Imitate(2);
        QCOMPARE(t.race.heat.state.LaneEventCount[1], 1);
    }

    // The speed is written with the system's decimal separator and without grouping.
    void speedFollowsTheSystemsNumbers() {
        const QLocale german;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto back = qScopeGuard([&] { QLocale::setDefault(german); });
        Heat t;
        t.OneBarrier();
        t.race.settings.Length = 400; // metres: over 1000 km/h in 1,2 s
        t.Key(t.sequence.LockLS1);
        t.port.Imitate(1);
        t.At(1200);
        t.port.Imitate(2);
        QCOMPARE(t.Cell(1, ColSpeed), QString("1200.0"));
        QCOMPARE(t.Cell(1, ColTime), QString("1,200"));
    }
};
RENNUHR_TEST(BarrierInputsTest);

#include "tst_barrierinputs.moc"
