// The line test at the track, with the simulated cable: live levels and edges, walking the
// barriers in order, a barrier that never fires, swapped lanes, and a heat left as it was.
#include "TestMain.h"
#include "Track.h"

#include "race/TrackWalk.h"
#include "settings/CfgDialog.h"
#include "settings/LineTestDialog.h"
#include "ui/LaneTimer.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

// Opened as the operator does, from the settings dialog.
TLineTestDialog* OpenLineTest(Track& t) {
    t.w.CfgDialog->Fill();
    t.w.CfgDialog->bLineTest->click();
    return t.w.LineTest;
}

// Someone walks a lane: its barriers fire two seconds apart, on the line given.
void Walk(Track& t, quint32 line, int barriers) {
    for (int i = 0; i < barriers; ++i) {
        t.now->fetch_add(2000 * kMs);
        t.Pulse(line);
    }
}

QStringList States(const TLineTestDialog* test) {
    QStringList states;
    for (int row = 0; row < test->WalkSteps->rowCount(); ++row)
        states << test->WalkSteps->item(row, 0)->text() + ' ' +
                      test->WalkSteps->item(row, 1)->text() + ' ' +
                      test->WalkSteps->item(row, 3)->text();
    return states;
}

} // namespace

class LineTestTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void walkingTheTrackInOrderTicksEveryBarrier() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10); // the start is armed: a contact edge would start
        TLineTestDialog* test = OpenLineTest(t);
        QVERIFY(test && test->isVisible());
        QCOMPARE(test->LabAdapter->text(), QString("COM5 (ttyUSB0) · Latenz 0 ms · wartet auf "
                                                   "Änderungen"));
        t.Lines(kModemCTS);
        QVERIFY(test->LedLine[0]->Value());
        QCOMPARE(test->LabLevel[0]->text(), QString("Ein"));
        t.Lines(0);
        t.Pulse(kModemCTS);
        QCOMPARE(test->EdgeCount(0), 4u);
        QCOMPARE(test->LabEdges[0]->text(), QString("Flanken: 4"));
        QVERIFY(!t.w.race.heat.Lane(1).running); // no heat while the lines are tested

        test->bWalk->click();
        QCOMPARE(test->WalkSteps->rowCount(), 8);
        Walk(t, kModemRLSD, 4);
        Walk(t, kModemDSR, 4);
        QVERIFY(test->Walk().Done());
        QCOMPARE(States(test).first(), QString("1 Reaktion-LS ausgelöst"));
        QCOMPARE(States(test).last(), QString("2 Stopp-LS ausgelöst"));
        QCOMPARE(test->WalkSteps->item(3, 2)->text(), QString("8,000 s"));
        QCOMPARE(test->LabFindings->text(), QString("Strecke in Ordnung: alle Lichtschranken "
                                                    "haben in der richtigen Reihenfolge "
                                                    "ausgelöst."));
        QCOMPARE(test->EdgeCount(1), 8u);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 0);
    }

    void aBarrierThatNeverFiresShowsAsMissing() {
        Track t;
        t.w.CfgDialog->Fill();
        t.w.CfgDialog->cbLsCentr->setChecked(false); // as ticked in the dialog, not yet stored
        t.w.CfgDialog->bLineTest->click();
        TLineTestDialog* test = t.w.LineTest;
        test->bWalk->click();
        QCOMPARE(test->WalkSteps->rowCount(), 6);
        Walk(t, kModemRLSD, 2); // of three
        QVERIFY(test->LabFindings->text().contains("Als Nächstes: Bahn 1, Stopp-LS."));
        Walk(t, kModemDSR, 3);
        QCOMPARE(States(test), (QStringList{"1 Reaktion-LS ausgelöst", "1 TopSpeed-LS ausgelöst",
                                            "1 Stopp-LS nicht ausgelöst", "2 Reaktion-LS ausgelöst",
                                            "2 TopSpeed-LS ausgelöst", "2 Stopp-LS ausgelöst"}));
        QCOMPARE(test->LabFindings->text(),
                 QString("Bahn 1: nur 2 von 3 Lichtschranken haben ausgelöst; die Zeiten "
                         "zeigen, welche fehlt."));
        // A barrier pulsing twice under the walker counts once.
        test->bWalk->click();
        t.now->fetch_add(2000 * kMs);
        t.Pulse(kModemRLSD);
        t.now->fetch_add(300 * kMs);
        t.Pulse(kModemRLSD);
        QCOMPARE(States(test).first(), QString("1 Reaktion-LS ausgelöst, 1 × mehrfach"));
        // The operator sees the second barrier stay dark and says so.
        test->bSkip->click();
        QCOMPARE(States(test)[1], QString("1 TopSpeed-LS nicht ausgelöst"));
    }

    void swappedLanesShowBeforeTheFirstHeat() {
        Track t;
        TLineTestDialog* test = OpenLineTest(t);
        test->bWalk->click();
        Walk(t, kModemDSR, 4); // lane 1 walked, its barriers wired to lane 2's line
        Walk(t, kModemRLSD, 4);
        QVERIFY(test->Walk().Done());
        QCOMPARE(States(test)[4], QString("2 Reaktion-LS vor Bahn 1"));
        QVERIFY(test->LabFindings->text().startsWith("Bahn 2 hat vor Bahn 1 ausgelöst: "
                                                     "Leitungen der Bahnen vertauscht"));
    }

    void closingLeavesTheHeatAsItWas() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F5);
        const qint64 start = t.w.race.heat.state.StartTicks;
        TLineTestDialog* test = OpenLineTest(t);
        test->bWalk->click();
        Walk(t, kModemRLSD, 4);
        Walk(t, kModemDSR, 4);
        t.Lines(kModemRLSD); // a barrier left blocked as the test closes
        test->bClose->click();
        QVERIFY(!t.w.LineTest);
        QVERIFY(t.w.race.heat.Lane(1).running && t.w.race.heat.Lane(2).running);
        QCOMPARE(t.w.race.heat.state.StartTicks, start);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 0);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 0);
        // The blocked barrier is the rest, not an edge: a pulse on lane 2 counts for lane 2
        // alone.
        t.Pulse(kModemDSR);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[1], 0);
        QCOMPARE(t.w.race.heat.state.LaneEventCount[2], 1);
    }
};
RENNUHR_TEST(LineTestTest);

#include "tst_linetest.moc"
