// A warning marks the row and shows in the window until the reset, and never goes into a file.
// The rules themselves are tested without a window.
#include "TestMain.h"
#include "Track.h"

#include "base/HighResTimer.h"
#include "export/ProtocolBackup.h"
#include "export/ProtocolText.h"
#include "protocol/ProtocolModel.h"
#include "race/Plausibility.h"
#include "race/RaceSequence.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"

#include <QFile>
#include <QLabel>
#include <QSpinBox>

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

    void theWarningStaysOnTheRowButLeavesTheWindowAndTheFiles() {
        Track t;
        t.w.race.settings.MinTime = 20000;
        RunHeat(t, kLane1, kLane2);
        QVERIFY(!t.w.PanelLeft->LabWarnings->isHidden());
        QVERIFY(t.w.PanelLeft->LabWarnings->text().startsWith("Bahn 1: "));
        const TProtocolModel* protocol = t.w.SortGrid1->Protocol();
        const QString reason = protocol->Mark(1);
        QVERIFY(reason.contains("Mindestzeit"));
        // The row's "Zeit" cell is coloured and says why.
        const QModelIndex time = protocol->index(0, ColTime);
        QVERIFY(protocol->data(time, Qt::BackgroundRole).isValid());
        QVERIFY(protocol->data(time, Qt::ToolTipRole).toString().contains("Mindestzeit"));
        QTest::keyClick(&t.w, Qt::Key_F7);
        QVERIFY(t.w.PanelLeft->LabWarnings->isHidden());
        QCOMPARE(t.w.SortGrid1->Protocol()->Mark(1), reason);
        // Neither the backup nor a saved protocol carries it.
        QVERIFY(t.w.Files->Backup->WriteNow());
        QVERIFY(t.w.Files->Backup->Flush());
        QFile backup(t.w.Files->Backup->FilePath());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(!backup.readAll().contains("Mindestzeit"));
        // The row's next heat starts it afresh.
        t.w.PanelLeft->FrameT1->editStartN1->setValue(1);
        QTest::keyClick(&t.w, Qt::Key_F5);
        QVERIFY(t.w.SortGrid1->Protocol()->Mark(1).isEmpty());
    }
};
RENNUHR_TEST(PlausibilityTest);

#include "tst_plausibility.moc"
