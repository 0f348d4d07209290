// The rules of a heat, asked of the heat model: START, the stops, false starts, the reset,
// the lock-outs, the automatic reset and the winner. No window is made.
#include "Heat.h"
#include "TestMain.h"

#include <QSignalSpy>

class HeatSequenceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void readyAtStartUp() {
        Heat h;
        QVERIFY(h.heat.StartOpen() && !h.heat.ResetOpen());
        for (int lane = 1; lane <= 2; ++lane) {
            QVERIFY(!h.heat.Lane(lane).stopOpen && !h.heat.Lane(lane).running);
            QVERIFY(!h.heat.Lane(lane).falseStartButton && !h.heat.Lane(lane).falseStartKey);
            QVERIFY(!h.heat.ShowsResult(lane));
        }
        QCOMPARE(h.heat.Lane(1).startNumber, 1);
        QCOMPARE(h.heat.Lane(1).readyNumber, 3);
        QCOMPARE(h.heat.Lane(2).startNumber, 2);
        QCOMPARE(h.heat.Lane(2).readyNumber, 4);
        QVERIFY(!h.heat.BarriersConnected()); // no barrier port: the heats are run by hand
        QCOMPARE(h.heat.StartLight(), int(THeatModel::LightDark));
        // The commands' entries follow the model.
        QVERIFY(h.sequence.mStart->isEnabled() && !h.sequence.mReset->isEnabled());
        QVERIFY(!h.sequence.mStop1->isEnabled() && !h.sequence.mFehlstart2->isEnabled());
        QCOMPARE(h.sequence.mStart->shortcut(), QKeySequence(Qt::Key_F5));
    }

    void startByHand() {
        Heat h;
        h.sequence.TimerGesperrtStart->setInterval(3000);
        QSignalSpy given(&h.sequence, &TRaceSequence::CommandGiven);
        h.Start();
        QCOMPARE(h.state.StartTicks, h.now->load());
        QVERIFY(h.heat.Lane(1).running && h.heat.Lane(2).running && h.heat.Racing());
        QVERIFY(!h.heat.StartOpen() && !h.sequence.mStart->isEnabled());
        QVERIFY(h.heat.Lane(1).stopOpen && h.sequence.mStop2->isEnabled());
        // By hand both false starts are offered, on a button and a key.
        QVERIFY(h.heat.Lane(1).falseStartButton && h.heat.Lane(2).falseStartKey);
        QVERIFY(h.sequence.mFehlstart1->isEnabled());
        QVERIFY(!h.heat.ResetOpen());
        QVERIFY(h.heat.Armed(THeatModel::Lane1Group) && h.heat.Armed(THeatModel::Lane2Group));
        QVERIFY(!h.heat.Armed(THeatModel::StartGroup));
        QVERIFY(h.heat.LockedOut(THeatModel::StartGroup));
        QVERIFY(h.sequence.TimerGesperrtStart->isActive());
        QCOMPARE(h.Cell(1, ColStartNr), QString("1"));
        QCOMPARE(h.Cell(2, ColStartNr), QString("2"));
        QCOMPARE(given.count(), 1);
        QCOMPARE(given[0][0].value<TRaceCommand>(), TRaceCommand::Start);
        QCOMPARE(given[0][2].value<TCommandSource>(), TCommandSource::Key);
    }

    void twoStopsFinishTheHeatAndTheAutomaticResetFollows() {
        Heat h;
        h.heat.SetAutoReset(true);
        QSignalSpy finished(&h.sequence, &TRaceSequence::HeatFinished);
        QSignalSpy results(&h.heat, &THeatModel::LaneResultShown);
        h.Start();
        h.At(12345);
        h.sequence.bSTOPMouseDown(1);
        QVERIFY(!h.heat.Lane(1).running);
        QCOMPARE(h.heat.Lane(1).stopTicks, h.now->load());
        QVERIFY(!h.heat.Lane(1).falseStartButton); // stopped by its button: no false start
        QVERIFY(h.heat.ResetOpen() && h.heat.ShowsResult(1));
        QVERIFY(!h.sequence.TimerReset->isActive());
        QCOMPARE(results.count(), 1);
        QCOMPARE(h.state.FirstLane, 1);
        h.At(13000);
        h.Key(h.sequence.mStop2);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(h.Cell(1, ColTime), QString("12,345"));
        QCOMPARE(h.Cell(1, ColWin), QString("+"));
        QCOMPARE(h.Cell(2, ColTime), QString("13,000"));
        QCOMPARE(h.Cell(2, ColWin), QString());
        QVERIFY(h.heat.Lane(1).result->Won() && !h.heat.Lane(2).result->Won());
        QVERIFY(h.sequence.TimerReset->isActive());
        QCOMPARE(h.sequence.TimerReset->interval(), 5000);

        // Five seconds on, the lanes are back at zero and their numbers moved on by 2.
        QSignalSpy given(&h.sequence, &TRaceSequence::CommandGiven);
        h.sequence.TimerResetTimer();
        QCOMPARE(given[0][2].value<TCommandSource>(), TCommandSource::Timer);
        QCOMPARE(h.heat.Lane(1).startNumber, 3);
        QCOMPARE(h.heat.Lane(1).readyNumber, 5);
        QCOMPARE(h.heat.Lane(2).startNumber, 4);
        QCOMPARE(h.heat.Lane(2).readyNumber, 6);
        QVERIFY(!h.heat.ShowsResult(1) && !h.heat.Lane(1).result);
        QVERIFY(h.heat.StartOpen() && !h.heat.ResetOpen());
        QVERIFY(!h.sequence.TimerReset->isActive());
    }

    void noAutomaticResetUnlessAskedFor() {
        Heat h;
        h.Start();
        h.Key(h.sequence.mStop1);
        h.Key(h.sequence.mStop2);
        QVERIFY(!h.sequence.TimerReset->isActive());
    }

    void aFalseStartGivesTheOtherLaneTheMark() {
        Heat h;
        h.Start();
        h.At(800);
        h.Key(h.sequence.mFehlstart2);
        QVERIFY(!h.heat.Lane(2).running && !h.heat.Lane(2).falseStartButton);
        QCOMPARE(h.state.FalseStartLane, 2);
        QCOMPARE(h.Cell(2, ColTime), QString("-"));
        h.At(9000);
        h.Key(h.sequence.mStop1); // after lane 2, and still the winner
        QCOMPARE(h.Cell(1, ColWin), QString("+"));
        QCOMPARE(h.Cell(2, ColWin), QString());
        QCOMPARE(h.Cell(2, ColSpeed), QString());
        QVERIFY(h.heat.Lane(2).result->marked && !h.heat.Lane(2).result->Won());
    }

    void aFalseStartOnAStoppedLaneDoesNotEndTheHeat() {
        Heat h;
        h.heat.SetAutoReset(true);
        QSignalSpy finished(&h.sequence, &TRaceSequence::HeatFinished);
        h.Start();
        h.At(4000);
        h.Key(h.sequence.mStop1);
        h.At(4500);
        h.Key(h.sequence.mFehlstart1); // lane 1 again, after its stop
        QCOMPARE(h.state.StopCount, 1);
        QCOMPARE(finished.count(), 0);
        QVERIFY(h.heat.Lane(2).running);
        QVERIFY(!h.sequence.TimerReset->isActive());
        h.At(7000);
        h.Key(h.sequence.mStop2);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(h.Cell(2, ColTime), QString("7,000"));
        QCOMPARE(h.Cell(2, ColWin), QString("+"));
    }

    void aResetWhileOneLaneRunsAbandonsIt() {
        Heat h;
        h.Start();
        h.At(3000);
        h.Key(h.sequence.mStop1);
        h.Key(h.sequence.mReset);
        QCOMPARE(h.heat.Lane(1).startNumber, 3);
        QCOMPARE(h.heat.Lane(1).readyNumber, 5);
        QCOMPARE(h.heat.Lane(2).startNumber, 2); // it was racing: its numbers stay
        QCOMPARE(h.heat.Lane(2).readyNumber, 4);
        QVERIFY(!h.heat.Lane(2).running && !h.heat.ShowsResult(2));
        QVERIFY(!h.sequence.mStop2->isEnabled());
        h.Key(h.sequence.mStop2); // the abandoned lane cannot be stopped any more
        QVERIFY(h.Cell(2, ColTime).isEmpty());
    }

    void aSecondStopOfALaneIsIgnored() {
        Heat h;
        h.Start();
        h.At(5000);
        h.Key(h.sequence.mStop1);
        h.At(6000);
        h.Key(h.sequence.mStop1);
        h.sequence.bSTOPMouseDown(1);
        QCOMPARE(h.Cell(1, ColTime), QString("5,000"));
        QCOMPARE(h.heat.Lane(1).stopTicks, h.state.StartTicks + 5000 * kMs);
        QCOMPARE(h.state.StopCount, 1);
    }

    void startNumbersStayWithinTheirFields() {
        Heat h;
        h.heat.SetStartNumber(1, 9998);
        h.heat.SetReadyNumber(1, 9999);
        h.heat.SetReadyNumber(2, 0);
        QCOMPARE(h.heat.Lane(2).readyNumber, 1);
        h.Start();
        h.Key(h.sequence.mStop1);
        h.Key(h.sequence.mStop2);
        h.Key(h.sequence.mReset);
        QCOMPARE(h.heat.Lane(1).startNumber, 9999);
        QCOMPARE(h.heat.Lane(1).readyNumber, 9999);
    }

    // A start lock-out of 0 runs no timer, but START still blocks the start input.
    void aStartLockOutOfZeroLeavesTheTimerOff() {
        Heat h;
        h.Key(h.sequence.LockLS1); // arm the start group by hand
        QVERIFY(h.heat.Armed(THeatModel::StartGroup));
        QCOMPARE(h.heat.StartLight(), int(THeatModel::LightYellow));
        h.Start();
        QVERIFY(!h.sequence.TimerGesperrtStart->isActive());
        QVERIFY(!h.heat.LockedOut(THeatModel::StartGroup));
        QVERIFY(!h.heat.Armed(THeatModel::StartGroup));
        QCOMPARE(h.heat.StartLight(), int(THeatModel::LightRed));
    }

    // A lock-out ends by arming its input again, but only where a command still waits for it.
    void lockOutsRearmTheInputs() {
        Heat h;
        TRaceSequence& s = h.sequence;
        h.Start();
        // A barrier event on the running lane 2 locks it out for a moment.
        s.LockOutLane(2);
        QVERIFY(!h.heat.Armed(THeatModel::Lane2Group) && h.heat.LockedOut(THeatModel::Lane2Group));
        QVERIFY(s.TimerGesperrtStop2->isActive());
        s.TimerGesperrtTimer(s.TimerGesperrtStop2);
        QVERIFY(h.heat.Armed(THeatModel::Lane2Group) && !h.heat.LockedOut(THeatModel::Lane2Group));
        h.Key(s.mStop1);
        QVERIFY(!h.heat.Armed(THeatModel::Lane1Group) && s.TimerGesperrtStop1->isActive());
        s.TimerGesperrtTimer(s.TimerGesperrtStop1);
        QVERIFY(!h.heat.Armed(THeatModel::Lane1Group)); // the lane has stopped: stays blocked
        s.TimerGesperrtTimer(s.TimerGesperrtStart);
        QVERIFY(!h.heat.Armed(THeatModel::StartGroup)); // START is disabled
        h.Key(s.mStop2);
        h.Key(s.mReset);
        // Without barriers the reset leaves the start blocked; the lock-out's end arms it.
        QVERIFY(!h.heat.Armed(THeatModel::StartGroup));
        s.TimerGesperrtTimer(s.TimerGesperrtStart);
        QVERIFY(h.heat.Armed(THeatModel::StartGroup));
        QCOMPARE(h.heat.StartLight(), int(THeatModel::LightYellow));
    }

    // With barriers, a pulse on a blocked lane offers its false start before START; taken, it
    // stops the lane, and the next START resets first, moving both lanes' numbers on.
    void aFalseStartBeforeStartIsResetByTheStart() {
        Heat h(true);
        QVERIFY(h.heat.BarriersConnected());
        h.Key(h.sequence.LockLS1);
        h.Pulse(kModemDSR);
        QVERIFY(h.heat.Lane(2).falseStartButton && !h.heat.Lane(2).falseStartKey);
        QSignalSpy given(&h.sequence, &TRaceSequence::CommandGiven);
        h.sequence.bFehlStartButtonClick(2);
        QCOMPARE(given[0][2].value<TCommandSource>(), TCommandSource::Button);
        QVERIFY(h.heat.ShowsResult(2) && !h.heat.Lane(2).falseStartButton);
        QCOMPARE(h.state.StopCount, 1);
        h.At(2000);
        h.Start();
        QCOMPARE(given[1][0].value<TRaceCommand>(), TRaceCommand::Reset);
        QCOMPARE(given[1][2].value<TCommandSource>(), TCommandSource::Key); // START's source
        QCOMPARE(h.heat.Lane(1).startNumber, 3);
        QCOMPARE(h.heat.Lane(2).startNumber, 4);
        QVERIFY(h.heat.Lane(2).running && !h.heat.ShowsResult(2));
        // With barriers no false start is offered by hand.
        QVERIFY(!h.heat.Lane(1).falseStartButton && !h.sequence.mFehlstart1->isEnabled());
    }

    // A button the operator cannot see or press does nothing, whoever asks.
    void greyButtonsDoNothing() {
        Heat h;
        h.sequence.bRESETClick();
        h.sequence.bFehlStartButtonClick(1);
        h.sequence.bSTOPMouseDown(2);
        QCOMPARE(h.state.StopCount, 0);
        QVERIFY(h.heat.StartOpen());
        QVERIFY(!h.heat.ShowsResult(1) && !h.heat.ShowsResult(2));
    }
};
RENNUHR_TEST(HeatSequenceTest);

#include "tst_heatsequence.moc"
