#include "TestMain.h"
#include "Track.h"

#include "race/BarrierInputs.h"
#include "race/RaceSequence.h"
#include "ui/LaneTimer.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

class BarrierTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }
    void openPortShowsTheArmingImages() {
        Track t;

        QVERIFY(t.w.ComPort->Connected());
        QVERIFY(!t.w.ImageLSstart->isHidden() && !t.w.ImageLSstop2->isHidden());
        QCOMPARE(t.w.Sequence->StartLight(), 0);
        QVERIFY(t.cable->Dtr() && t.cable->Rts());
        t.w.OpenPort(0);
        QVERIFY(t.w.ImageLSstart->isHidden());
        QCOMPARE(t.w.Sequence->StartLight(), 2);
    }

    void fourPulsesStopTheLaneAtTheLastBarrier() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10); // arm the start
        t.now->store(5000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(t.w.race.heat.Lane(1).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, 5000 * kMs); // the instant the line changed
        QVERIFY(t.Lit(0));
        QCOMPARE(t.w.Sequence->StartLight(), 1); // green: the start contact was taken
        t.Lines(0);
        const qint64 at[4] = {420, 6100, 12095, 12345};
        for (int k = 0; k < 4; ++k) {
            t.At(at[k]);
            t.Pulse(kModemRLSD);
            QVERIFY(t.Lit(k + 1));
        }
        t.At(20000); // the stop is the barrier's instant, not the handling's
        QVERIFY(!t.w.race.heat.Lane(1).running);
        QCOMPARE(t.Cell(1, ColReaction), QString("0,420"));
        QCOMPARE(t.Cell(1, ColIntermediate), QString("6,100"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
        QVERIFY(t.w.race.heat.Lane(2).running);
        // A fifth pulse within the lane's lock-out is dropped without a sign, even with the
        // start armed, where a pulse on a blocked lane would offer a false start.
        QTest::keyClick(&t.w, Qt::Key_F10);
        QVERIFY(t.w.Sequence->TimerGesperrtStop1->isActive());
        t.Pulse(kModemRLSD);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 4);
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
        QVERIFY(t.w.bFehlStart1->isHidden());
        t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop1);
        t.Pulse(kModemRLSD); // after the lock-out: only the offer
        QVERIFY(!t.w.bFehlStart1->isHidden());
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 4);
    }

    void openingContactStartsWithTheOtherPolarity() {
        Track t;
        t.w.race.settings.Alg = 1;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS); // contact closes: nothing yet
        QVERIFY(!t.w.race.heat.Lane(1).running);
        t.now->fetch_add(500 * kMs);
        t.Lines(0);
        QVERIFY(t.w.race.heat.Lane(1).running);
    }

    void theLinesAtOpenAreTheRest() {
        // A contact closed at rest with Alg 1: its first opening starts the heat.
        {
            Track t(true, kModemCTS);
            t.w.race.settings.Alg = 1;
            QTest::keyClick(&t.w, Qt::Key_F10);
            t.now->store(7000 * kMs);
            t.Lines(0);
            QVERIFY(t.w.race.heat.Lane(1).running);
            QCOMPARE(t.w.race.heat.state.StartTicks, 7000 * kMs);
        }
        // With Alg 0 a contact already closed at open starts nothing until it opens and
        // closes again; a barrier line on at open is no barrier event either.
        Track t(true, kModemCTS | kModemDSR);
        t.w.race.settings.Alg = 0; // the first window stored its 1
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.now->fetch_add(1000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(t.w.bFehlStart2->isHidden());
        t.now->fetch_add(1000 * kMs);
        t.Lines(0);
        QVERIFY(!t.w.race.heat.Lane(1).running);
        t.now->fetch_add(1000 * kMs);
        t.Lines(kModemCTS);
        QVERIFY(t.w.race.heat.Lane(1).running);
    }

    void aBouncingContactStartsOneHeatAndItsOpeningNone() {
        Track t;
        t.OneBarrier();
        // Contact edges at their milliseconds, all stamped while the window waits, then handed
        // to it together.
        auto contact = [&](std::initializer_list<std::pair<qint64, quint32>> edges) {
            for (const auto& [ms, lines] : edges) {
                t.now->store(ms * kMs);
                t.Seen(lines);
            }
            QTRY_COMPARE(t.w.ComPort->DeliveredEvents(), t.w.ComPort->RecordedEvents());
        };
        auto endHeat = [&] {
            QTest::keyClick(&t.w, Qt::Key_F8);
            QTest::keyClick(&t.w, Qt::Key_F9);
            QTest::keyClick(&t.w, Qt::Key_F7); // the reset arms the start again
            QVERIFY(t.w.Sequence->ArmFlag(TRaceSequence::StartGroup));
        };
        QTest::keyClick(&t.w, Qt::Key_F10);
        // Closing: on, off 2 ms later, on again 4 ms later.
        contact({{5000, kModemCTS}, {5002, 0}, {5004, kModemCTS}});
        QVERIFY(t.w.race.heat.Lane(1).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, 5000 * kMs);
        endHeat();

        // Opening with a bounce: off, on 1 ms later, off 3 ms later.
        contact({{9000, 0}, {9001, kModemCTS}, {9003, 0}});
        QVERIFY(!t.w.race.heat.Lane(1).running);
        // The same bounce folded into one reading of the lines.
        contact({{10000, kModemCTS}});
        QVERIFY(t.w.race.heat.Lane(1).running);
        endHeat();
        t.now->store(11000 * kMs);
        t.Lines(0, kModemCTS);
        QVERIFY(!t.w.race.heat.Lane(1).running);

        // Alg 1: the opening starts, its bounce does not start again or move the start.
        t.w.race.settings.Alg = 1;
        contact({{12000, kModemCTS}});
        contact({{13000, 0}, {13001, kModemCTS}, {13002, 0}});
        QVERIFY(t.w.race.heat.Lane(1).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, 13000 * kMs);
    }

    void aFoldedPulseIsCountedOnceWhileTheOtherLaneChanges() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(400);
        // Lane 2 comes on; lane 1 pulsed between the same two reads.
        t.Lines(kModemCTS | kModemDSR, kModemRLSD);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 1);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 1);
        QCOMPARE(t.w.race.heat.state.LaneTicks[1][1], t.w.race.heat.state.LaneTicks[2][1]);
        QVERIFY(t.Lit(1) && !t.Lit(2) && t.Lit(5));
        // Lane 2 goes off while lane 1 pulses again, then lane 2 pulses while lane 1 rests.
        t.At(6000);
        t.Lines(kModemCTS, kModemRLSD);
        t.At(6100);
        t.Lines(kModemCTS, kModemDSR);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 2);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 2);
        QVERIFY(t.w.race.heat.Lane(1).running && t.w.race.heat.Lane(2).running);
    }

    void shortContactIsNotLost() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Pulse(kModemCTS); // closed and open again before anyone read the level
        QVERIFY(t.w.race.heat.Lane(1).running);
    }

    void pulseOnABlockedLaneOffersAFalseStart() {
        Track t;
        t.Pulse(kModemDSR); // start not armed: nothing
        QVERIFY(t.w.bFehlStart2->isHidden());
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Pulse(kModemDSR);
        QVERIFY(!t.w.bFehlStart2->isHidden());
        QVERIFY(t.w.bFehlStart1->isHidden());
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 0);
    }

    void twoBarriersWithoutReactionAndIntermediate() {
        Track t;
        t.w.race.settings.ColSpeed1 = t.w.race.settings.ColSpeed2 = false;
        t.w.HeatControls->ShowBarrierLamps();
        QCOMPARE(t.w.race.settings.BarrierCount, 2);
        QVERIFY(!t.w.Led[2]->isHidden() && t.w.Led[3]->isHidden() && t.w.Led[4]->isHidden());
        QVERIFY(!t.w.Led[6]->isHidden() && t.w.Led[7]->isHidden());
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(1000);
        t.Pulse(kModemDSR);
        QVERIFY(t.w.race.heat.Lane(2).running);
        t.At(2000);
        t.Pulse(kModemDSR);
        QVERIFY(!t.w.race.heat.Lane(2).running);
        QCOMPARE(t.Cell(2, ColTime), QString("2,000"));
    }

    void bothFinalBarriersInOneChangeGiveLaneOneTheMark() {
        Track t;
        t.w.race.settings.ColSpeed1 = t.w.race.settings.ColSpeed2 = false;
        t.w.race.settings.ColSpeed3 = false;
        t.w.HeatControls->ShowBarrierLamps();
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(9000);
        t.Lines(kModemCTS | kModemRLSD | kModemDSR);
        QVERIFY(!t.w.race.heat.Lane(1).running && !t.w.race.heat.Lane(2).running);
        QCOMPARE(t.Cell(1, ColWin), QString("+"));
        QCOMPARE(t.Cell(2, ColWin), QString());
        QCOMPARE(t.Cell(1, ColTime), t.Cell(2, ColTime));
    }

    void barrierTogetherWithTheContactOpeningIsCounted() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(500);
        t.Lines(kModemRLSD); // contact opens as lane 1's first barrier fires
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 1);
        QCOMPARE(t.Cell(1, ColTime), QString());
    }

    // F10, F11 and F12 and a click on each picture flip one group each, and nothing else.
    void keysAndPicturesArmEachGroup() {
        Track t;
        TRaceSequence* s = t.w.Sequence;
        const auto flags = [s] {
            return QList<int>{s->ArmFlag(TRaceSequence::StartGroup),
                              s->ArmFlag(TRaceSequence::Lane1Group),
                              s->ArmFlag(TRaceSequence::Lane2Group)};
        };
        QCOMPARE(flags(), QList<int>({0, 0, 0}));
        QTest::keyClick(&t.w, Qt::Key_F11);
        QCOMPARE(flags(), QList<int>({0, 1, 0}));
        QTest::keyClick(&t.w, Qt::Key_F12);
        QCOMPARE(flags(), QList<int>({0, 1, 1}));
        QCOMPARE(s->StartLight(), 0); // the lanes leave the start light alone
        QTest::mouseClick(t.w.ImageLSstop1, Qt::LeftButton);
        QCOMPARE(flags(), QList<int>({0, 0, 1}));
        QTest::mouseClick(t.w.ImageLSstop2, Qt::LeftButton);
        QCOMPARE(flags(), QList<int>({0, 0, 0}));
        QTest::mouseClick(t.w.ImageLSstart, Qt::LeftButton);
        QCOMPARE(flags(), QList<int>({1, 0, 0}));
        QCOMPARE(s->StartLight(), 3);
        QTest::keyClick(&t.w, Qt::Key_F10);
        QCOMPARE(flags(), QList<int>({0, 0, 0}));
        QCOMPARE(s->StartLight(), 0);
        // An armed lane takes its barrier before any START.
        QTest::keyClick(&t.w, Qt::Key_F12);
        t.Pulse(kModemDSR);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 1);
        QVERIFY(t.Lit(5));
    }

    // With an opening contact the start imitation reads the contact as closed: it starts
    // nothing, as the wiring would not either. The lanes are imitated all the same.
    void startImitationWithAnOpeningContact() {
        Track t(false);
        t.w.race.settings.Alg = 1;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.w.bImit1->click();
        QVERIFY(!t.w.race.heat.Lane(1).running);
        QVERIFY(!t.Lit(0));
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(500);
        t.w.bImit2->click();
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 1);
    }

    // The speed is written with the system's decimal separator and without grouping.
    void speedFollowsTheSystemsNumbers() {
        const QLocale german;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto back = qScopeGuard([&] { QLocale::setDefault(german); });
        Track t(false);
        t.OneBarrier();
        t.w.race.settings.Length = 400; // metres: over 1000 km/h in 1,2 s
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.w.bImit1->click();
        t.At(1200);
        t.w.bImit2->click();
        QCOMPARE(t.Cell(1, ColSpeed), QString("1200.0"));
        QCOMPARE(t.Cell(1, ColTime), QString("1,200"));
    }

    void imitationRunsAHeatWithoutHardware() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!t.w.PanelImit->isHidden());
        QCOMPARE(t.w.bImit2->text(), QString("1+4 (1.)"));
        t.w.bImit1->click(); // start group blocked: nothing
        QVERIFY(!t.w.race.heat.Lane(1).running);
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.now->store(2000 * kMs);
        t.w.bImit1->click();
        QVERIFY(t.w.race.heat.Lane(1).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, 2000 * kMs);
        for (qint64 ms : {300, 4000, 7750, 8000}) {
            t.At(ms);
            t.w.bImit2->click();
        }
        QCOMPARE(t.Cell(1, ColReaction), QString("0,300"));
        QCOMPARE(t.Cell(1, ColTime), QString("8,000"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        t.At(8100);
        t.w.bImit3->click();
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 1);
        QVERIFY(t.Lit(5) && !t.Lit(6));
        QTest::keyClick(&t.w, Qt::Key_F9);
        QTest::keyClick(&t.w, Qt::Key_F7);
        for (int led = 0; led < 9; ++led)
            QVERIFY(!t.Lit(led)); // the reset darkens every lamp
    }
};
RENNUHR_TEST(BarrierTest);

#include "tst_barriers.moc"
