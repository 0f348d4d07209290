// The journal viewer: the day's heats with their start numbers, raw events since START, the
// results and the edits made by hand afterwards.
#include "TestMain.h"
#include "Track.h"

#include "export/Journal.h"
#include "race/RaceSequence.h"
#include "ui/JournalViewer.h"

#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>

namespace {

QStringList Rows(const QTreeWidgetItem* heat) {
    QStringList rows;
    for (int i = 0; i < heat->childCount(); ++i) {
        const QTreeWidgetItem* c = heat->child(i);
        rows << (c->text(TJournalViewer::ColSinceStart) + '|' + c->text(TJournalViewer::ColEvent) +
                 '|' + c->text(TJournalViewer::ColLane) + '|' + c->text(TJournalViewer::ColValues))
                    .trimmed();
    }
    return rows;
}

} // namespace

class JournalViewerTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void heatsShowTheirEventsResultsAndEdits() {
        Track t;
        t.OneBarrier();
        QTest::keyClick(&t.w, Qt::Key_F10);
        for (int heat = 0; heat < 2; ++heat) {
            // A minute later the lanes' lock-outs are long over; they run in real time.
            t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop1);
            t.w.Sequence->TimerGesperrtTimer(t.w.Sequence->TimerGesperrtStop2);
            t.now->fetch_add(60000 * kMs);
            t.Lines(kModemCTS);
            t.Lines(0);
            t.At(9000);
            t.Pulse(kModemRLSD);
            t.At(9250);
            t.Pulse(kModemDSR | kModemRLSD); // lane 1 chatters in its lock-out
            QTest::keyClick(&t.w, Qt::Key_F7);
        }
        t.w.SortGrid1->SelectRow(1); // start number 1, which ran in the first heat
        QTest::keyClick(&t.w, Qt::Key_F4);

        // Opened from the protocol's context menu, and by its key.
        t.w.SortGrid1->Journal1->trigger();
        TJournalViewer* viewer = t.w.JournalViewer;
        QVERIFY(viewer && viewer->isVisible());
        viewer->close();
        QApplication::setActiveWindow(&t.w);
        QTest::keyClick(&t.w, Qt::Key_F3);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->cbDay->count(), 1);
        QCOMPARE(viewer->cbDay->currentText(), QDate::currentDate().toString("yyyy-MM-dd"));

        QList<QTreeWidgetItem*> heats;
        for (int i = 0; i < viewer->Heats->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = viewer->Heats->topLevelItem(i);
            if (item->text(TJournalViewer::ColEvent).startsWith("Lauf ")) heats << item;
        }
        QCOMPARE(heats.size(), 2);
        QCOMPARE(heats[0]->text(TJournalViewer::ColEvent),
                 QString("Lauf 1: START (Lichtschranke)"));
        QCOMPARE(heats[0]->text(TJournalViewer::ColStartNr), QString("1 / 2"));
        QCOMPARE(heats[1]->text(TJournalViewer::ColStartNr), QString("3 / 4"));
        QVERIFY(heats[1]->isExpanded());
        QCOMPARE(
            Rows(heats[0]),
            (QStringList{"0,000|Ampel (CTS) ein||", "0,000|START (Lichtschranke)||",
                         "0,000|Ampel (CTS) aus||", "9,000|Bahn 1 (DCD) aus|1|1 Impuls dazwischen",
                         "9,000|STOPP (Lichtschranke)|1|",
                         "9,000|Ergebnis|1|RZ 9,000   Km/h 160,8   Zeit 9,000   Win +",
                         "9,250|Bahn 1 (DCD) aus|1|1 Impuls dazwischen",
                         "9,250|Bahn 2 (DSR) aus|2|1 Impuls dazwischen",
                         "9,250|STOPP (Lichtschranke)|2|",
                         "9,250|Ergebnis|2|RZ 9,250   Km/h 156,5   Zeit 9,250",
                         "9,250|Warnung: Sperrzeit|1|Impuls 0,250 s nach dem Stopp: "
                         "Lichtschranke prellt",
                         "9,250|ZURÜCKSETZEN (Taste)||",
                         "|von Hand: GESTÜRZT (Taste)||RZ -   ZZ -   Km/h -   Zeit -   "
                         "Win -"}));
        // The heat line sums it up.
        QCOMPARE(heats[0]->text(TJournalViewer::ColValues),
                 QString("Bahn 1: 9,000 +   Bahn 2: 9,250   1 × Warnung   von Hand geändert"));
        QCOMPARE(heats[1]->text(TJournalViewer::ColValues),
                 QString("Bahn 1: 9,000 +   Bahn 2: 9,250   1 × Warnung"));
    }
};
RENNUHR_TEST(JournalViewerTest);

#include "tst_journalviewer.moc"
