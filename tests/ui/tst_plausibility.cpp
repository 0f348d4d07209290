// Each plausibility rule with a heat that breaks it and one that passes: a warning marks the
// row and shows in the window until the reset, and never changes a time or a file.
#include "TestMain.h"
#include "Track.h"

#include "export/ProtocolBackup.h"
#include "export/ProtocolText.h"
#include "protocol/ProtocolModel.h"
#include "base/HighResTimer.h"
#include "race/Plausibility.h"
#include "race/RaceSequence.h"
#include "ui/ProtocolFiles.h"

#include <QFile>
#include <QLabel>
#include <QSpinBox>

Q_DECLARE_METATYPE(QList<double>)

namespace {

const QList<double> kLane1 = {420, 6100, 12095, 12345};
const QList<double> kLane2 = {510, 6300, 12250, 12500};

// The heat's START at 5 s; the lanes' barrier pulses at their times since START, in ms.
void RunHeat(Track& t, const QList<double>& lane1, const QList<double>& lane2) {
    QTest::keyClick(&t.w, Qt::Key_F10);
    t.now->store(5000 * kMs);
    t.Lines(kModemCTS);
    t.Lines(0);
    for (int lane = 1; lane <= 2; ++lane)
        for (const double ms : lane == 1 ? lane1 : lane2) {
            t.now->store(t.w.race.heat.state.StartTicks + qint64(ms * kMs));
            t.Pulse(lane == 1 ? kModemRLSD : kModemDSR);
        }
}

} // namespace

class PlausibilityTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void eachRuleBreaksAndPasses_data() {
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
    void eachRuleBreaksAndPasses() {
        QFETCH(QList<double>, lane1);
        QFETCH(QList<double>, lane2);
        QFETCH(int, minTime);
        QFETCH(double, handStop);
        QFETCH(int, chatter);
        QFETCH(QString, lane1Reason);
        Track t;
        t.w.race.settings.MinTime = minTime;
        RunHeat(t, lane1, {});
        const qint64 start = t.w.race.heat.state.StartTicks;
        if (handStop >= 0) {
            t.now->store(start + qint64(handStop * kMs));
            QTest::keyClick(&t.w, Qt::Key_F8);
        }
        QVERIFY(!t.w.race.heat.Lane(1).running);
        if (chatter) {
            if (chatter == 2) t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop1);
            t.now->fetch_add(3 * kMs);
            t.Pulse(kModemRLSD);
        }
        for (const double ms : lane2) {
            t.now->store(start + qint64(ms * kMs));
            t.Pulse(kModemDSR);
        }
        QVERIFY(!t.w.race.heat.Lane(2).running);

        const TProtocolModel* protocol = t.w.SortGrid1->Protocol();
        // Never a time changed: the clock's stop instant is what the row shows.
        QCOMPARE(t.Cell(1, ColTime), TicksToText(t.w.race.heat.Lane(1).stopTicks - start));
        const QStringList reasons = t.w.Plausibility->Reasons(1);
        if (lane1Reason.isEmpty()) {
            QCOMPARE(reasons, QStringList());
            QCOMPARE(t.w.Plausibility->Reasons(2), QStringList());
            QVERIFY(t.w.LabWarnings->isHidden());
            QVERIFY(protocol->Mark(1).isEmpty() && protocol->Mark(2).isEmpty());
            QVERIFY(!protocol->data(protocol->index(0, ColTime), Qt::BackgroundRole).isValid());
            return;
        }
        QVERIFY2(reasons.join('|').contains(lane1Reason), qPrintable(reasons.join('|')));
        // The row's "Zeit" cell is coloured and says why; so does the window.
        const QModelIndex time = protocol->index(0, ColTime);
        QVERIFY(protocol->data(time, Qt::BackgroundRole).isValid());
        QVERIFY(protocol->data(time, Qt::ToolTipRole).toString().contains(lane1Reason));
        QVERIFY(!t.w.LabWarnings->isHidden());
        QVERIFY(t.w.LabWarnings->text().startsWith("Bahn 1: "));
        QVERIFY(t.w.LabWarnings->text().contains(lane1Reason));
    }

    void theWarningStaysOnTheRowButLeavesTheWindowAndTheFiles() {
        Track t;
        t.w.race.settings.MinTime = 20000;
        RunHeat(t, kLane1, kLane2);
        QVERIFY(!t.w.LabWarnings->isHidden());
        const QString reason = t.w.SortGrid1->Protocol()->Mark(1);
        QVERIFY(reason.contains("Mindestzeit"));
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(t.w.LabWarnings->isHidden());
        QCOMPARE(t.w.SortGrid1->Protocol()->Mark(1), reason);
        // Neither the backup nor a saved protocol carries it.
        QVERIFY(t.w.Files->Backup->WriteNow());
        QVERIFY(t.w.Files->Backup->Flush());
        QFile backup(t.w.Files->Backup->FilePath());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(!backup.readAll().contains("Mindestzeit"));
        // The row's next heat starts it afresh.
        t.w.FrameT1->editStartN1->setValue(1);
        QTest::keyClick(&t.w, Qt::Key_F5);
        QVERIFY(t.w.SortGrid1->Protocol()->Mark(1).isEmpty());
    }
};
RENNUHR_TEST(PlausibilityTest);

#include "tst_plausibility.moc"
