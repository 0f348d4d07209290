#include "TestMain.h"
#include "Track.h"

#include "race/BarrierInputs.h"
#include "race/RaceSequence.h"
#include "ui/LaneTimer.h"
#include "ui/RaceArea.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

// The barrier port's wiring to the window: the arming pictures, the lamps, the keys and the
// imitation panel. The rules themselves are tested without a window.
class BarrierTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }
    void openPortShowsTheArmingImages() {
        Track t;

        QVERIFY(t.w.ComPort->Connected());
        QVERIFY(!t.w.PanelLeft->ImageLSstart->isHidden() &&
                !t.w.PanelLeft->ImageLSstop2->isHidden());
        QCOMPARE(t.w.Sequence->StartLight(), 0);
        QVERIFY(t.cable->Dtr() && t.cable->Rts());
        t.w.OpenPort(0);
        QVERIFY(t.w.PanelLeft->ImageLSstart->isHidden());
        QCOMPARE(t.w.Sequence->StartLight(), 2);
    }

    void twoBarriersWithoutReactionAndIntermediate() {
        Track t;
        t.w.race.settings.ColSpeed1 = t.w.race.settings.ColSpeed2 = false;
        t.w.HeatControls->ShowBarrierLamps();
        QCOMPARE(t.w.race.settings.BarrierCount, 2);
        QVERIFY(!t.w.PanelLeft->Led[2]->isHidden() && t.w.PanelLeft->Led[3]->isHidden() &&
                t.w.PanelLeft->Led[4]->isHidden());
        QVERIFY(!t.w.PanelLeft->Led[6]->isHidden() && t.w.PanelLeft->Led[7]->isHidden());
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
        QTest::mouseClick(t.w.PanelLeft->ImageLSstop1, Qt::LeftButton);
        QCOMPARE(flags(), QList<int>({0, 0, 1}));
        QTest::mouseClick(t.w.PanelLeft->ImageLSstop2, Qt::LeftButton);
        QCOMPARE(flags(), QList<int>({0, 0, 0}));
        QTest::mouseClick(t.w.PanelLeft->ImageLSstart, Qt::LeftButton);
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

    void imitationRunsAHeatWithoutHardware() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!t.w.PanelLeft->PanelImit->isHidden());
        QCOMPARE(t.w.PanelLeft->bImit2->text(), QString("1+4 (1.)"));
        t.w.PanelLeft->bImit1->click(); // start group blocked: nothing
        QVERIFY(!t.w.race.heat.Lane(1).running);
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.now->store(2000 * kMs);
        t.w.PanelLeft->bImit1->click();
        QVERIFY(t.w.race.heat.Lane(1).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, 2000 * kMs);
        for (qint64 ms : {300, 4000, 7750, 8000}) {
            t.At(ms);
            t.w.PanelLeft->bImit2->click();
        }
        QCOMPARE(t.Cell(1, ColReaction), QString("0,300"));
        QCOMPARE(t.Cell(1, ColTime), QString("8,000"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        t.At(8100);
        t.w.PanelLeft->bImit3->click();
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
