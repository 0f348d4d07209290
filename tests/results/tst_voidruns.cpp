// Void and re-run, without a window: the runs stay and are marked, the rows lose the results
// they show, the journal says so, and the last heat's numbers go back into the lanes.
#include "Recorded.h"
#include "TestMain.h"

#include "export/BackgroundWriter.h"
#include "export/Journal.h"
#include "export/JournalRecorder.h"
#include "results/VoidRuns.h"

#include <QFile>

namespace {

// A recorded race day with its journal, as the window has it.
struct VoidDay : RecordedHeat {
    TBackgroundWriter writer;
    TJournal journal{writer, race.HighResTimer1, [this] { return dir.path(); }, "Rennuhr"};
    TJournalRecorder journalRecorder{journal,       race,         sequence,
                                     *port.ComPort, plausibility, protocol.model};
    TVoidRuns voider{db, protocol.model, race, sequence, journalRecorder};

    VoidDay() {
        Participants(8);
        Open();
        journal.Open();
    }
    const TRun& RunOf(int heat, int lane) const {
        for (const TRun& run : db.Runs())
            if (run.heat == heat && run.lane == lane) return run;
        static const TRun none;
        return none;
    }
    QByteArray Journal() {
        journal.Flush();
        QFile file(TJournal::FileName(dir.path(), "Rennuhr", QDate::currentDate()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QStringList Results(const VoidDay& d, int row) {
    QStringList cells;
    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
        cells << d.Cell(row, column);
    return cells;
}

} // namespace

class VoidRunsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Both lanes after the automatic reset: marked, rows emptied, numbers 1 and 2 again.
    void aVoidHeatIsRunAgainWithItsNumbers() {
        VoidDay d;
        d.heat.SetAutoReset(true);
        d.Run(9000, 9500);
        d.sequence.TimerResetTimer(); // the automatic reset moved the numbers on
        QCOMPARE(d.heat.Lane(1).startNumber, 3);
        QVERIFY(d.voider.CanVoidLastHeat());
        d.voider.VoidLastHeat(0, "Vogel in der Lichtschranke", TCommandSource::Key);
        QVERIFY(d.RunOf(1, 1).voided && d.RunOf(1, 2).voided);
        QCOMPARE(d.RunOf(1, 1).voidReason, QString("Vogel in der Lichtschranke"));
        QCOMPARE(d.RunOf(1, 1).finalTime, QString("9,000")); // nothing deleted
        QCOMPARE(Results(d, 1), QStringList(5, QString()));
        QCOMPARE(Results(d, 2), QStringList(5, QString()));
        QCOMPARE(d.heat.Lane(1).startNumber, 1);
        QCOMPARE(d.heat.Lane(1).readyNumber, 3);
        QCOMPARE(d.heat.Lane(2).startNumber, 2);
        QCOMPARE(d.heat.Lane(2).readyNumber, 4);
        QVERIFY(!d.voider.CanVoidLastHeat()); // nothing left to void
        const QByteArray journal = d.Journal();
        QCOMPARE(journal.count("UNGÜLTIG"), 2);
        QVERIFY(journal.contains("Lauf 1: Vogel in der Lichtschranke"));
        d.db.Flush();
        QCOMPARE(SelectOne(d.file, "SELECT count(*) FROM runs WHERE voided = 1"), QString("2"));

        // The re-run is heat 2 with the same racers.
        d.Run(9100, 9050);
        QCOMPARE(d.RunOf(2, 1).startNumber, QString("1"));
        QCOMPARE(d.Cell(2, ColWin), QString("+"));
    }

    // Before any reset: the void clears the clocks itself, and one lane's void keeps the other.
    void oneLaneVoidKeepsTheOtherAndItsMark() {
        VoidDay d;
        d.Run(9000, 9500);
        QVERIFY(d.heat.ShowsResult(1));
        d.voider.VoidLastHeat(2, "", TCommandSource::Menu);
        QVERIFY(!d.heat.ShowsResult(1) && !d.heat.ShowsResult(2)); // back at zero
        QVERIFY(!d.RunOf(1, 1).voided && d.RunOf(1, 2).voided);
        QCOMPARE(d.Cell(1, ColWin), QString("+"));
        QCOMPARE(d.Cell(1, ColTime), QString("9,000"));
        QCOMPARE(d.Cell(2, ColTime), QString());
        // Lane 2's racer runs again; lane 1 goes on with the next number.
        QCOMPARE(d.heat.Lane(2).startNumber, 2);
        QCOMPARE(d.heat.Lane(2).readyNumber, 4);
        QCOMPARE(d.heat.Lane(1).startNumber, 3);
    }

    // Taken back, a run counts again and its row shows it; an older run leaves the row alone.
    void aVoidIsTakenBackAndOlderRunsSpareTheRow() {
        VoidDay d;
        d.Run(9000, 9500); // 1 and 2
        d.Key(d.sequence.mReset);
        d.heat.SetStartNumber(1, 1);
        d.heat.SetStartNumber(2, 2);
        d.Run(8000, 8800); // 1 and 2 again: the rows show heat 2
        const TRun older = d.RunOf(1, 1);
        d.voider.VoidRun(older, "zu früh", TCommandSource::Menu);
        QVERIFY(d.RunOf(1, 1).voided);
        QCOMPARE(d.Cell(1, ColTime), QString("8,000"));
        const TRun latest = d.RunOf(2, 1);
        d.voider.VoidRun(latest, {}, TCommandSource::Menu);
        QCOMPARE(Results(d, 1), QStringList(5, QString()));
        d.voider.Unvoid(d.RunOf(2, 1), TCommandSource::Menu);
        QVERIFY(!d.RunOf(2, 1).voided);
        QCOMPARE(Results(d, 1), (QStringList{"", "", d.RunOf(2, 1).speed, "8,000", "+"}));
        QVERIFY(d.Journal().contains("GÜLTIG"));
    }

    // No void while a clock runs, and none without a heat.
    void nothingToVoidWhileAClockRuns() {
        VoidDay d;
        QVERIFY(!d.voider.CanVoidLastHeat());
        d.Start();
        d.At(5000);
        d.Key(d.sequence.mStop1);
        QVERIFY(!d.voider.CanVoidLastHeat());
        d.voider.VoidLastHeat(0, {}, TCommandSource::Key);
        QVERIFY(!d.RunOf(1, 1).voided);
        d.Key(d.sequence.mStop2);
        QVERIFY(d.voider.CanVoidLastHeat());
    }
};
RENNUHR_TEST(VoidRunsTest);

#include "tst_voidruns.moc"
