// The lane clock shows its lane of the heat model: the running time from the time base, the
// stop instant, zero after the reset, and the start numbers both ways.
#include "Heat.h"
#include "TestMain.h"

#include "ui/LaneTimer.h"
#include "widgets/Digit.h"

#include <QLabel>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QSpinBox>

namespace {

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

class LaneTimerTest : public QObject {
    Q_OBJECT
private slots:
    void startsAtRestWithItsStartNumbers() {
        Heat h;
        TFrame1 lane1(h.race, 1), lane2(h.race, 2);
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
        QCOMPARE(lane1.size(), QSize(374, 143));
    }

    // What the operator types is the model's number, and what the model says is shown.
    void startNumbersGoBothWays() {
        Heat h;
        TFrame1 lane(h.race, 2);
        lane.editStartN1->setValue(17);
        QCOMPARE(h.heat.Lane(2).startNumber, 17);
        h.heat.SetReadyNumber(2, 19);
        QCOMPARE(lane.editStartN2->value(), 19);
    }

    void runsStopsAndShowsTheStop() {
        Heat h;
        TFrame1 lane(h.race, 1);
        QSignalSpy shown(&lane, &TFrame1::ClockShown);
        h.Start();
        QVERIFY(lane.IsRunning());
        QVERIFY(!lane.editStartN1->isEnabled());
        h.At(3456);
        lane.ClockTimer();
        QCOMPARE(Shown(lane), QString("003,456"));
        QCOMPARE(shown.count(), 1);

        h.At(12345);
        h.Key(h.sequence.mStop1);
        QVERIFY(!lane.IsRunning());
        QCOMPARE(Shown(lane), QString("012,345"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[1]);
        QCOMPARE(shown.last().at(0).value<ClockFace>(), ClockFace::FromTime(12, 345));

        // Time goes on, the stopped clock does not; the number stays locked until the reset.
        h.At(20000);
        QTest::qWait(25);
        QCOMPARE(Shown(lane), QString("012,345"));
        QVERIFY(!lane.editStartN1->isEnabled());
    }

    void aLongRaceShowsBrightLeadingDigits() {
        Heat h;
        TFrame1 lane(h.race, 2);
        h.Start();
        h.At(105000);
        h.Key(h.sequence.mStop2);
        QCOMPARE(Shown(lane), QString("105,000"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[1]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[1]);
    }

    void theResetShowsZeroAndUnlocksTheStartNumber() {
        Heat h;
        TFrame1 lane(h.race, 1);
        h.Start();
        h.At(105000);
        h.Key(h.sequence.mStop1);
        h.Key(h.sequence.mReset);
        QCOMPARE(Shown(lane), QString("000,000"));
        QCOMPARE(lane.Digit4->ColorOn(), DigitPalette[0]);
        QCOMPARE(lane.Digit5->ColorOn(), DigitPalette[0]);
        for (const TDigit* d : {lane.Digit6, lane.Digit7, lane.Digit8, lane.Digit9})
            QCOMPARE(d->ColorOn(), DigitPalette[1]);
        QCOMPARE(lane.LabSec->palette().color(QPalette::WindowText), DigitPalette[1]);
        QVERIFY(lane.editStartN1->isEnabled());
        QCOMPARE(lane.editStartN1->value(), 3); // moved on by 2
        QVERIFY(!lane.IsRunning());
    }

    void aResetWhileRunningStopsTheClock() {
        Heat h;
        TFrame1 lane(h.race, 1);
        h.Start();
        h.At(2000);
        h.Key(h.sequence.mStop2);
        h.Key(h.sequence.mReset);
        QVERIFY(!lane.IsRunning());
        QCOMPARE(Shown(lane), QString("000,000"));
        QVERIFY(h.Cell(1, ColTime).isEmpty());
    }

    void theClockRunsOnItsOwnTimer() {
        Heat h;
        TFrame1 lane(h.race, 1);
        h.Start();
        h.At(61234);
        QTRY_COMPARE_WITH_TIMEOUT(Shown(lane), QString("061,234"), 1000);
    }

    // A tick repaints the digits whose figure changed, each with one box inside the digit,
    // and nothing else: not the frame under them, not the comma whose box touches Digit7.
    void ticksRepaintOnlyTheChangedDigits() {
        Heat h;
        TFrame1 lane(h.race, 1);
        lane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lane));
        h.Start();
        lane.Clock->stop();                // the test gives the ticks
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
            h.At(ms);
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

    // A false start declared after the lane's stop takes a new instant and writes the row again.
    void aStoppedLaneStoppedAgainTakesANewInstant() {
        Heat h;
        TFrame1 lane(h.race, 1);
        h.Start();
        h.At(5000);
        h.Key(h.sequence.mStop1);
        h.At(6000);
        h.Key(h.sequence.mFehlstart1);
        QCOMPARE(Shown(lane), QString("006,000"));
        QCOMPARE(h.Cell(1, ColTime), QString("-"));
    }

    // Two lanes with the same start number write into one row.
    void sharedStartNumbersShareTheRow() {
        Heat h;
        h.heat.SetStartNumber(2, 1);
        h.Start();
        QCOMPARE(h.protocol.model.DataRowCount(), 1);
        h.At(800);
        h.Key(h.sequence.mFehlstart2);
        h.At(9000);
        h.Key(h.sequence.mStop1);
        QCOMPARE(h.Cell(1, ColTime), QString("9,000"));
        QCOMPARE(h.Cell(1, ColWin), QString("+"));
    }
};
RENNUHR_TEST(LaneTimerTest);

#include "tst_lanetimer.moc"
