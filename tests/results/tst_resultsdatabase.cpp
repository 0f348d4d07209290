// The results file: its schema for the organisers' tools, files that are not ours, a disk that
// refuses and then takes the runs, runs recorded before the file was read, void marks and
// another day's runs.
#include "Recorded.h"
#include "TestMain.h"
#include "Tmpfs.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

QByteArray Bytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<qint64> Ids(const TRuns& runs) {
    QList<qint64> ids;
    for (const TRun& run : runs)
        ids << run.id;
    return ids;
}

} // namespace

class ResultsDatabaseTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aNewFileCarriesItsSchemaAndIsReadWhileInUse() {
        RecordedHeat h;
        h.Open();
        h.Run(9000, 9500);
        h.db.Flush();
        QCOMPARE(SelectOne(h.file, "PRAGMA user_version"), QString("2"));
        QCOMPARE(SelectOne(h.file, "PRAGMA journal_mode"), QString("wal"));
        QStringList columns;
        for (const QStringList& column : Select(h.file, "PRAGMA table_info(runs)"))
            columns << column[1];
        // What the README promises the organisers.
        QCOMPARE(columns.join(' '),
                 QString("id day heat started_at start_ticks lane start_number name first_name "
                         "vehicle engine class_info reaction intermediate speed final_time "
                         "final_ms speed_kmh winner false_start crashed voided void_reason "
                         "warnings opponent_number"));
        // An organiser's own tool reads it while the race goes on.
        const QString shell = QStandardPaths::findExecutable("sqlite3");
        if (shell.isEmpty()) QSKIP("no sqlite3 shell");
        QProcess tool;
        tool.start(shell, {"-readonly", h.file,
                           "SELECT heat, lane, final_time, winner FROM runs ORDER BY lane"});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.readAllStandardOutput(), QByteArray("1|1|9,000|1\n1|2|9,500|0\n"));
        h.Run(8000, 7000);
        h.db.Flush();
        QCOMPARE(SelectOne(h.file, "SELECT count(*) FROM runs"), QString("4"));
    }

    // A file of the version before the ladders keeps its runs and gets the ladders' tables.
    void aFileWithoutLaddersIsBroughtUpToDate() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        {
            RecordedHeat h;
            h.file = file;
            h.Open();
            h.Run(9000, 9500);
            h.db.Flush();
        }
        for (const char* table : {"ladders", "ladder_racers", "ladder_pairings", "ladder_heats"})
            Select(file, QString("DROP TABLE %1").arg(table));
        Select(file, "PRAGMA user_version = 1");
        RecordedHeat h;
        h.file = file;
        h.Open();
        h.db.Flush();
        QCOMPARE(h.db.Runs().size(), 2);
        QCOMPARE(SelectOne(file, "PRAGMA user_version"), QString("2"));
        QCOMPARE(SelectOne(file, "SELECT count(*) FROM ladder_heats"), QString("0"));
    }

    // A file of a newer program, of another program or no database at all stays exactly as it
    // is; the race goes on with the runs in memory, and the notice says why.
    void aFileThatIsNotOursIsLeftAlone() {
        QTemporaryDir dir;
        const QString newer = dir.filePath("newer.sqlite");
        Select(newer, "CREATE TABLE runs (id INTEGER PRIMARY KEY)");
        Select(newer, "PRAGMA user_version = 3");
        const QString other = dir.filePath("other.sqlite");
        Select(other, "CREATE TABLE kunden (name TEXT)");
        const QString junk = dir.filePath("junk.sqlite");
        QFile write(junk);
        QVERIFY(write.open(QIODevice::WriteOnly));
        write.write(QByteArray(8192, 'x'));
        write.close();
        const QList<QPair<QString, QString>> cases = {{newer, "von einer neueren Programmversion"},
                                                      {other, "keine Ergebnisdatenbank"},
                                                      {junk, "Datei beschädigt"}};
        for (const auto& [file, reason] : cases) {
            const QByteArray before = Bytes(file);
            RecordedHeat h;
            QSignalSpy failed(&h.db, &TResultsDatabase::WriteFailed);
            h.file = file;
            h.Open();
            h.Run(9000, 9500);
            h.db.RetryNow();
            h.db.Flush();
            QCOMPARE(failed.count(), 1);
            QCOMPARE(failed[0][0].toString(),
                     "Die Ergebnisdatenbank kann nicht geschrieben werden: " + reason);
            QCOMPARE(h.db.Runs().size(), 2);
            QVERIFY(h.db.Close().endsWith(reason));
            QCOMPARE(Bytes(file), before);
            QVERIFY(!QFile::exists(file + "-wal"));
        }
    }

    // A folder that cannot be written: told once, the heats go on, and the runs are written
    // with their numbers once it can be.
    void aMissingFolderIsToldOnceAndTakesTheRunsLater() {
        RecordedHeat h;
        h.file = TResultsDatabase::FileName(h.dir.filePath("USB-Stick"), "Rennuhr");
        QSignalSpy failed(&h.db, &TResultsDatabase::WriteFailed);
        QSignalSpy written(&h.db, &TResultsDatabase::Written);
        h.db.SetRetryInterval(20);
        h.Open();
        h.Run(9000, 9500);
        h.Run(8000, 7000);
        h.db.Flush();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][0].toString(),
                 QString("Die Ergebnisdatenbank kann nicht geschrieben werden: Ordner fehlt"));
        QVERIFY(!written.isEmpty() && !written.last()[1].value<FileWriteResult>().ok);
        QCOMPARE(written.last()[0].toString(), h.file);
        QCOMPARE(Ids(h.db.Runs()), (QList<qint64>{-1, -2, -4, -3})); // lane 2 stopped first
        QVERIFY(!h.db.HasReadFile());

        // The next try comes by itself.
        QVERIFY(QDir().mkpath(h.dir.filePath("USB-Stick")));
        QTRY_VERIFY(written.last()[1].value<FileWriteResult>().ok);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(Ids(h.db.Runs()), (QList<qint64>{1, 2, 4, 3}));
        QCOMPARE(Select(h.file, "SELECT id, heat, lane FROM runs ORDER BY id"),
                 (QList<QStringList>{
                     {"1", "1", "1"}, {"2", "1", "2"}, {"3", "2", "2"}, {"4", "2", "1"}}));
    }

    // The race day's full disk (as root, on a small disk of the test's own).
    void aFullDiskIsToldOnceAndLosesNothing() {
        Tmpfs disk(1024 * 1024);
        if (!disk.Mounted()) QSKIP("a full disk needs a tmpfs, which needs root");
        RecordedHeat h;
        h.file = disk.FilePath("Rennuhr-Ergebnisse.sqlite");
        QSignalSpy failed(&h.db, &TResultsDatabase::WriteFailed);
        h.Participants(2);
        h.Open();
        h.Run(9000, 9500);
        h.db.Flush();
        QVERIFY(disk.Fill());
        for (int heat = 2; heat <= 6; ++heat)
            h.Run(9000 + heat, 9500);
        h.db.Flush();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][0].toString(),
                 QString("Die Ergebnisdatenbank kann nicht geschrieben werden: Datenträger voll"));
        QCOMPARE(h.db.Runs().size(), 12);
        disk.Free();
        h.db.RetryNow();
        h.db.Flush();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(SelectOne(h.file, "PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(SelectOne(h.file, "SELECT count(*) FROM runs"), QString("12"));
        QCOMPARE(SelectOne(h.file, "SELECT group_concat(final_time, ' ') FROM "
                                   "(SELECT final_time FROM runs WHERE lane = 1 ORDER BY heat)"),
                 QString("9,000 9,002 9,003 9,004 9,005 9,006"));
    }

    // Runs recorded before the file could be read (a disk that came late) take ids and heat
    // numbers after those the file held, and changes made meanwhile reach the right runs.
    void runsRecordedBeforeTheFileIsReadFollowWhatItHolds() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        {
            RecordedHeat earlier;
            earlier.file = file;
            earlier.Open();
            earlier.Run(9000, 9500);
            earlier.Run(8000, 7000);
        }
        RecordedHeat h;
        h.file = file;
        h.Run(6000, 6500);
        QCOMPARE(h.db.HeatRun(1)->heat, 1);
        h.db.Void({-1}, "Lichtschranke verstellt");
        QSignalSpy reset(&h.db, &TResultsDatabase::RunsReset);
        h.Open();
        QVERIFY(h.db.HasReadFile());
        QVERIFY(!reset.isEmpty());
        QCOMPARE(Ids(h.db.Runs()), (QList<qint64>{1, 2, 4, 3, 5, 6}));
        QCOMPARE(h.db.Runs()[4].heat, 3);
        QVERIFY(h.db.Runs()[4].voided);
        h.db.Store([&] {
            TRun run = *h.db.HeatRun(2);
            run.crashed = true;
            return run;
        }());
        h.db.Flush();
        QCOMPARE(Select(file, "SELECT id, heat, lane, final_time, voided, void_reason, crashed "
                              "FROM runs WHERE heat = 3 ORDER BY id"),
                 (QList<QStringList>{{"5", "3", "1", "6,000", "1", "Lichtschranke verstellt", "0"},
                                     {"6", "3", "2", "6,500", "0", "", "1"}}));
    }

    // Void and its taking back reach the file and every view, also for a day not in memory;
    // another day is read off the caller's thread.
    void voidMarksAndAnotherDay() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        {
            RecordedHeat yesterday(QDateTime(QDate(2024, 5, 3), QTime(18, 0)));
            yesterday.file = file;
            yesterday.Open(QDate(2024, 5, 3));
            yesterday.Run(9000, 9500);
        }
        RecordedHeat h;
        h.file = file;
        h.Open();
        h.Run(8000, 7000);
        QSignalSpy changed(&h.db, &TResultsDatabase::RunChanged);
        QSignalSpy voided(&h.db, &TResultsDatabase::VoidChanged);
        h.db.Void({1, 3}, "Zeitmessung gestört");
        QCOMPARE(changed.count(), 1); // run 1 is yesterday's, not in memory
        QCOMPARE(changed[0][0].value<TRun>().id, 3);
        QCOMPARE(voided.count(), 1);
        QCOMPARE(voided[0][0].value<QList<qint64>>(), (QList<qint64>{1, 3}));
        h.db.Unvoid({3});
        QVERIFY(!h.db.Run(3)->voided && h.db.Run(3)->voidReason.isEmpty());
        h.db.Flush();
        QCOMPARE(Select(file, "SELECT id, voided, void_reason FROM runs ORDER BY id"),
                 (QList<QStringList>{{"1", "1", "Zeitmessung gestört"},
                                     {"2", "0", ""},
                                     {"3", "0", ""},
                                     {"4", "0", ""}}));

        QCOMPARE(h.db.Days(), (QList<QDate>{QDate(2024, 5, 3), QDate(2024, 5, 4)}));
        QSignalSpy read(&h.db, &TResultsDatabase::DayRead);
        h.db.ReadDay(QDate(2024, 5, 3));
        QVERIFY(read.wait(5000));
        QCOMPARE(read[0][0].toDate(), QDate(2024, 5, 3));
        const TRuns runs = read[0][1].value<TRuns>();
        QCOMPARE(Ids(runs), (QList<qint64>{1, 2}));
        QVERIFY(runs[0].voided && runs[0].finalMs == 9000 && runs[0].winner);
        QCOMPARE(runs[0].startedAt, QDateTime(QDate(2024, 5, 3), QTime(18, 0)));
        QCOMPARE(read[0][2].toString(), QString());
    }
};
RENNUHR_TEST(ResultsDatabaseTest);

#include "tst_resultsdatabase.moc"
