#include "TestMain.h"

#include "protocol/SortGrid.h"
#include "race/BarrierInputs.h"
#include "race/LaneTimer.h"
#include "race/RaceSequence.h"
#include "serial/ComPort.h"
#include "serial/SimulatedSerialDevice.h"
#include "ui/MainWindow.h"
#include "widgets/Led.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

constexpr qint64 kMs = 1000000;

// The real window with a simulated cable on COM5. The clock is read by the port's wait
// thread too, hence atomic.
struct Track {
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(1000 * kMs);
    std::unique_ptr<TFormMain> owner = std::make_unique<TFormMain>();
    TFormMain& w = *owner;
    std::shared_ptr<TSimulatedSerialPort> cable = TSimulatedSerialPort::Create();

    explicit Track(bool withPort = true) {
        w.race.HighResTimer1.SetTickSource([clock = now] { return clock->load(); });
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        if (withPort) {
            w.ComPort->SetDeviceFactory(cable->Factory());
            w.OpenPort(5);
            // Changes count from the wait thread's first look at the lines.
            QTRY_VERIFY(cable->WaitCalls() > 0);
        }
        for (auto line : {&TComPort::OnCTS, &TComPort::OnDSR, &TComPort::OnRLSD})
            QObject::connect(w.ComPort, line, [this] { ++deliveries; });
    }
    int deliveries = 0;
    // Waits until the port has handed the change to the window.
    void Delivered(int before) { QTRY_VERIFY(deliveries > before); }
    void At(qint64 ms) { now->store(w.race.state.StartTicks + ms * kMs); }
    // Line changes reach the window through the port's event queue.
    void Lines(quint32 status) {
        const int before = deliveries;
        cable->SetLines(status);
        Delivered(before);
    }
    void Pulse(quint32 lines) {
        const int before = deliveries;
        cable->Pulse(lines);
        Delivered(before);
    }
    QString Cell(int row, int column) { return w.SortGrid1->Protocol()->Cell(row, column); }
    bool Lit(int led) { return w.Led[led]->Value(); }
};

} // namespace

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
        QVERIFY(t.w.FrameT1->IsRunning());
        QCOMPARE(t.w.race.state.StartTicks, 5000 * kMs); // the instant the line changed
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
        QVERIFY(!t.w.FrameT1->IsRunning());
        QCOMPARE(t.Cell(1, ColReaction), QString("0,420"));
        QCOMPARE(t.Cell(1, ColIntermediate), QString("6,100"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
        QVERIFY(t.w.FrameT2->IsRunning());
        t.Pulse(kModemRLSD); // a fifth pulse is ignored
        QCOMPARE(t.w.race.state.LaneEventCount[1], 4);
        QCOMPARE(t.Cell(1, ColTime), QString("12,345"));
    }

    void openingContactStartsWithTheOtherPolarity() {
        Track t;
        t.w.race.settings.Alg = 1;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS); // contact closes: nothing yet
        QVERIFY(!t.w.FrameT1->IsRunning());
        t.Lines(0);
        QVERIFY(t.w.FrameT1->IsRunning());
    }

    void shortContactIsNotLost() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Pulse(kModemCTS); // closed and open again before anyone read the level
        QVERIFY(t.w.FrameT1->IsRunning());
    }

    void pulseOnABlockedLaneOffersAFalseStart() {
        Track t;
        t.Pulse(kModemDSR); // start not armed: nothing
        QVERIFY(t.w.bFehlStart2->isHidden());
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Pulse(kModemDSR);
        QVERIFY(!t.w.bFehlStart2->isHidden());
        QVERIFY(t.w.bFehlStart1->isHidden());
        QCOMPARE(t.w.race.state.LaneEventCount[2], 0);
    }

    void twoBarriersWithoutReactionAndIntermediate() {
        Track t;
        t.w.race.settings.ColSpeed1 = t.w.race.settings.ColSpeed2 = false;
        t.w.Barriers->ShowBarrierLamps();
        QCOMPARE(t.w.race.settings.BarrierCount, 2);
        QVERIFY(!t.w.Led[2]->isHidden() && t.w.Led[3]->isHidden() && t.w.Led[4]->isHidden());
        QVERIFY(!t.w.Led[6]->isHidden() && t.w.Led[7]->isHidden());
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(1000);
        t.Pulse(kModemDSR);
        QVERIFY(t.w.FrameT2->IsRunning());
        t.At(2000);
        t.Pulse(kModemDSR);
        QVERIFY(!t.w.FrameT2->IsRunning());
        QCOMPARE(t.Cell(2, ColTime), QString("2,000"));
    }

    void bothFinalBarriersInOneChangeGiveLaneOneTheMark() {
        Track t;
        t.w.race.settings.ColSpeed1 = t.w.race.settings.ColSpeed2 = false;
        t.w.race.settings.ColSpeed3 = false;
        t.w.Barriers->ShowBarrierLamps();
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.At(9000);
        t.Lines(kModemCTS | kModemRLSD | kModemDSR);
        QVERIFY(!t.w.FrameT1->IsRunning() && !t.w.FrameT2->IsRunning());
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
        QCOMPARE(t.w.race.state.LaneEventCount[1], 1);
        QCOMPARE(t.Cell(1, ColTime), QString());
    }

    void vanishingAdapterLeavesTheHeatToTheOperator() {
        Track t;
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        t.cable->Vanish();
        QTRY_VERIFY(!t.w.ComPort->IsWatching());
        t.At(3000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QCOMPARE(t.Cell(1, ColTime), QString("3,000"));
        t.w.OpenPort(0); // still closes
        QVERIFY(!t.w.ComPort->Connected());
    }

    void imitationRunsAHeatWithoutHardware() {
        Track t(false);
        QTest::keyClick(&t.w, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!t.w.PanelImit->isHidden());
        QCOMPARE(t.w.bImit2->text(), QString("1+4 (1.)"));
        t.w.bImit1->click(); // start group blocked: nothing
        QVERIFY(!t.w.FrameT1->IsRunning());
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.now->store(2000 * kMs);
        t.w.bImit1->click();
        QVERIFY(t.w.FrameT1->IsRunning());
        QCOMPARE(t.w.race.state.StartTicks, 2000 * kMs);
        for (qint64 ms : {300, 4000, 7750, 8000}) {
            t.At(ms);
            t.w.bImit2->click();
        }
        QCOMPARE(t.Cell(1, ColReaction), QString("0,300"));
        QCOMPARE(t.Cell(1, ColTime), QString("8,000"));
        QCOMPARE(t.Cell(1, ColSpeed), QString("144,0"));
        t.At(8100);
        t.w.bImit3->click();
        QCOMPARE(t.w.race.state.LaneEventCount[2], 1);
        QVERIFY(t.Lit(5) && !t.Lit(6));
        QTest::keyClick(&t.w, Qt::Key_F9);
        QTest::keyClick(&t.w, Qt::Key_F7);
        for (int led = 0; led < 9; ++led)
            QVERIFY(!t.Lit(led)); // the reset darkens every lamp
    }
};
RENNUHR_TEST(BarrierTest);

#include "tst_barriers.moc"
