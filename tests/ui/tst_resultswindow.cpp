// The results database as the window wires it: beside the backup, F4 and the joker reaching
// the runs, and a file that cannot be written told in the notice bar until it can.
#include "SqlSelect.h"
#include "TestMain.h"
#include "Track.h"

#include "base/Program.h"
#include "export/ProtocolBackup.h"
#include "results/ResultsDatabase.h"
#include "ui/ProtocolFiles.h"
#include "ui/TopBar.h"

#include <QLabel>

class ResultsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void theWindowRecordsBesideTheBackupAndHandsOnF4AndTheJoker() {
        Track t(false);
        const QString file = TResultsDatabase::FileName(
            QFileInfo(t.w.Files->Backup->FilePath()).absolutePath(), ProgramTitle());
        QCOMPARE(t.w.Results->FilePath(), file);
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(9000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        t.At(9500);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.w.SortGrid1->SelectRow(1);
        QTest::keyClick(&t.w, Qt::Key_F4);
        t.w.SortGrid1->SelectRow(2);
        QTest::keyClick(&t.w, Qt::Key_J, Qt::ControlModifier);
        t.w.Results->Flush();
        QCOMPARE(
            Select(file, "SELECT lane, start_number, final_time, winner, crashed FROM runs "
                         "ORDER BY lane"),
            (QList<QStringList>{{"1", "1", "9,000", "0", "1"}, {"2", "2", "9,500", "1", "0"}}));
    }

    void aFileThatCannotBeWrittenIsInTheNoticeBarUntilItCan() {
        // A folder where the file should be.
        const QString file = TResultsDatabase::FileName(ProgramFolder(), ProgramTitle());
        QVERIFY(QDir().mkpath(file));
        Track t(false);
        t.w.Results->Flush();
        QLabel* notice = t.w.Panel1->LabPortNotice;
        QCOMPARE(notice->text(), QString("Die Ergebnisdatenbank kann nicht geschrieben werden: "
                                         "ein Ordner trägt diesen Namen"));
        QVERIFY(notice->toolTip().contains(file));
        QTest::keyClick(&t.w, Qt::Key_F5);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.w.Results->Flush();
        QCOMPARE(t.w.Results->Runs().size(), 2);
        QVERIFY(QDir(file).removeRecursively());
        t.w.Results->RetryNow();
        t.w.Results->Flush();
        QVERIFY(notice->isHidden());
        QCOMPARE(SelectOne(file, "SELECT count(*) FROM runs"), QString("2"));
    }
};
RENNUHR_TEST(ResultsWindowTest);

#include "tst_resultswindow.moc"
