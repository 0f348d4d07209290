#include "TestMain.h"

#include "Tmpfs.h"

#include "export/BackgroundWriter.h"
#include "export/FileNotices.h"
#include "export/ProtocolBackup.h"
#include "export/SaveBytes.h"

#include <QDir>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};

// Every cell filled, so that a row reads back exactly as written.
QStringList FullRow(int number) {
    const QString n = QString::number(number);
    return {n, "Name" + n, "Vorname", "Vespa", "50", "1", "0,5" + n, "4,0", "80,1", "9,9" + n, "+"};
}

ProtocolRows Protocol(int rows) {
    ProtocolRows protocol{kHeader};
    for (int i = 1; i <= rows; ++i)
        protocol.append(FullRow(i));
    return protocol;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The backup handed to its writer and the writer done.
bool WriteAndFlush(ProtocolBackup& backup) {
    return backup.WriteNow() && backup.Flush();
}

ProtocolRows OnDisk(const QString& path) {
    return ReadProtocolText(path, kHeader).rows;
}

// Makes every write past the given size fail, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

const char* const kUnreadable = "\xEF\xBB\xBF"
                                "1\tM\xFCller\t\r\n";

} // namespace

class ProtocolBackupTest : public QObject {
    Q_OBJECT
private slots:
    void locationBesideProgramOrInDataFolder() {
        QTemporaryDir dir;
        const ProtocolBackup beside({dir.path(), "Heat", dir.filePath("daten")}, {});
        QCOMPARE(beside.FilePath(), dir.filePath("Heat-Sicherungsdatei.txt"));

        // A program folder below a plain file can never be written, not even by root.
        WriteAll(dir.filePath("datei"), "x");
        const ProtocolBackup::Location readOnly{dir.filePath("datei/programm"), "Heat",
                                                dir.filePath("daten/Heat")};
        ProtocolRows rows = Protocol(2);
        ProtocolBackup backup(readOnly, [&] { return rows; });
        QVERIFY(!backup.Load(kHeader).rows);
        QVERIFY(WriteAndFlush(backup));
        QCOMPARE(backup.FilePath(), dir.filePath("daten/Heat/Heat-Sicherungsdatei.txt"));
        QCOMPARE(OnDisk(backup.FilePath()), rows);

        ProtocolBackup restarted(readOnly, {});
        const auto loaded = restarted.Load(kHeader);
        QVERIFY(loaded.rows);
        QCOMPARE(*loaded.rows, rows);
        QVERIFY(loaded.message.isEmpty());
    }

    void failedWriteLeavesPreviousBackup() {
        QTemporaryDir dir;
        const ProtocolBackup::Location location{dir.path(), "Rennuhr", dir.filePath("daten")};
        ProtocolRows rows = Protocol(3);
        TBackgroundWriter writer;
        ProtocolBackup backup(
            location, [&] { return rows; }, &writer);
        TFileNotices notices;
        notices.AddKind("Sicherung",
                        [&](const QString& file) { return file == backup.FilePath(); });
        QObject::connect(&writer, &TBackgroundWriter::Written, &notices, &TFileNotices::Written);
        QSignalSpy changed(&notices, &TFileNotices::Changed);
        QVERIFY(!backup.Load(kHeader).rows);
        QVERIFY(WriteAndFlush(backup));
        const ProtocolRows previous = rows;

        rows = Protocol(2000);
        bool first = true, second = true;
        {
            FileSizeLimit limit(256);
            first = WriteAndFlush(backup);
            second = WriteAndFlush(backup);
        }
        QVERIFY(!first);
        QVERIFY(!second);
        // Said once, and it stays while the writes fail.
        QCOMPARE(changed.count(), 1);
        QCOMPARE(notices.Lines().size(), 1);
        QVERIFY(notices.Lines()[0].startsWith("Sicherung: "));
        QVERIFY(notices.Details().contains("Der Schreibfehler der Datei: " + backup.FilePath()));

        ProtocolBackup restarted(location, {});
        QCOMPARE(restarted.Load(kHeader).rows.value_or(ProtocolRows()), previous);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Rennuhr-Sicherungsdatei.txt"});

        // A write that works takes the notice away; the next failure is news again.
        QVERIFY(WriteAndFlush(backup));
        QCOMPARE(OnDisk(backup.FilePath()), rows);
        QCOMPARE(notices.Lines(), QStringList());
        QCOMPARE(changed.count(), 2);
        {
            FileSizeLimit limit(256);
            first = WriteAndFlush(backup);
        }
        QVERIFY(!first);
        QCOMPARE(changed.count(), 3);
    }

    void unreadableBackupIsKeptAside() {
        QTemporaryDir dir;
        const ProtocolBackup::Location location{dir.path(), "Rennuhr", dir.filePath("daten")};
        const QString path = dir.filePath("Rennuhr-Sicherungsdatei.txt");
        WriteAll(path, kUnreadable);

        ProtocolRows rows = Protocol(1);
        ProtocolBackup backup(location, [&] { return rows; });
        const auto loaded = backup.Load(kHeader);
        QVERIFY(!loaded.rows);
        QVERIFY(loaded.message.endsWith(loaded.keptAsidePath));
        const QRegularExpression stamped(
            R"(/Rennuhr-Sicherungsdatei-\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d(-\d+)?\.txt$)");
        QVERIFY2(stamped.match(loaded.keptAsidePath).hasMatch(), qPrintable(loaded.keptAsidePath));
        QVERIFY(WriteAndFlush(backup));
        QCOMPARE(ReadAll(loaded.keptAsidePath), QByteArray(kUnreadable));
        QCOMPARE(OnDisk(path), rows);

        // A write that comes before any load still keeps the old file, under a name of its own.
        WriteAll(path, kUnreadable);
        ProtocolBackup early(location, [&] { return rows; });
        QVERIFY(WriteAndFlush(early));
        const QStringList keptAside =
            QDir(dir.path()).entryList({"Rennuhr-Sicherungsdatei-*.txt"}, QDir::Files);
        QCOMPARE(keptAside.size(), 2);
        for (const QString& name : keptAside)
            QCOMPARE(ReadAll(dir.filePath(name)), QByteArray(kUnreadable));
    }

    // The program's folder is read-only, the data folder's disk full, and an empty backup was
    // left there: the 40 rows beside the program are what the next start shows.
    void anEmptyBackupNeverHidesOneWithRows() {
        Tmpfs program(1024 * 1024);
        FullFolder data;
        WriteAll(program.FilePath("Rennuhr-Sicherungsdatei.txt"), EncodeProtocolText(Protocol(40)));
        if (program.Mounted())
            QVERIFY(program.RemountReadOnly());
        else if (::geteuid() != 0)
            QVERIFY(QFile::setPermissions(program.Path(), QFile::ReadOwner | QFile::ExeOwner));
        else
            QSKIP("root without a tmpfs cannot make a folder read-only");
        const auto writable = qScopeGuard([&] {
            QFile::setPermissions(program.Path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QString empty = data.FilePath("Rennuhr-Sicherungsdatei.txt");
        WriteAll(empty, {});
        QVERIFY(data.Fill());
        const ProtocolBackup::Location location{program.Path(), "Rennuhr", data.Path()};

        ProtocolRows rows;
        TBackgroundWriter writer;
        ProtocolBackup backup(
            location, [&] { return rows; }, &writer);
        const auto loaded = backup.Load(kHeader);
        QCOMPARE(loaded.rows.value_or(ProtocolRows()), Protocol(40));
        QCOMPARE(loaded.message, QString());
        QCOMPARE(backup.FilePath(), empty);
        // A heat on the full disk changes neither file.
        rows = Protocol(41);
        QVERIFY(!WriteAndFlush(backup));
        QCOMPARE(ReadAll(empty), QByteArray());
        QCOMPARE(ProtocolBackup(location, {}).Load(kHeader).rows.value_or(ProtocolRows()),
                 Protocol(40));

        // Room again: the writer's next try brings the heat to the disk, and it is what loads.
        data.Free();
        writer.RetryFailed();
        QVERIFY(backup.Flush());
        QCOMPARE(OnDisk(empty), Protocol(41));
        const auto again = ProtocolBackup(location, {}).Load(kHeader);
        QCOMPARE(again.rows.value_or(ProtocolRows()), Protocol(41));
        QCOMPARE(again.message, QString());
    }

    void ofTwoBackupsWithRowsTheNewerIsLoadedAndTheOlderKept() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("daten")));
        const ProtocolBackup::Location location{dir.path(), "Rennuhr", dir.filePath("daten")};
        const QString beside = dir.filePath("Rennuhr-Sicherungsdatei.txt");
        const QString inData = dir.filePath("daten/Rennuhr-Sicherungsdatei.txt");
        const auto writeAged = [](const QString& path, int rows, int hoursAgo) {
            WriteAll(path, EncodeProtocolText(Protocol(rows)));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * hoursAgo),
                                     QFileDevice::FileModificationTime));
        };
        // Written to the data folder while the program's folder was read-only, later than the
        // backup beside the program that the next write replaces.
        writeAged(beside, 3, 5);
        writeAged(inData, 5, 1);
        auto loaded = ProtocolBackup(location, {}).Load(kHeader);
        QCOMPARE(loaded.rows.value_or(ProtocolRows()), Protocol(5));
        const QStringList kept =
            QDir(dir.path()).entryList({"Rennuhr-Sicherungsdatei-*.txt"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(OnDisk(dir.filePath(kept[0])), Protocol(3));
        QVERIFY(!QFile::exists(beside));
        QCOMPARE(loaded.message,
                 "Die Sicherung wurde geladen aus: " + inData +
                     "\nDie ältere Sicherungsdatei wurde aufbewahrt als: " + dir.filePath(kept[0]));

        // The one written to is the newer: it loads, and the other one stays as it is.
        writeAged(beside, 7, 0);
        loaded = ProtocolBackup(location, {}).Load(kHeader);
        QCOMPARE(loaded.rows.value_or(ProtocolRows()), Protocol(7));
        QCOMPARE(loaded.message, QString());
        QCOMPARE(OnDisk(inData), Protocol(5));
    }

    // What a crash between writing and renaming left, in either folder; nothing else goes, not
    // even what looks alike.
    void strayTemporaryFilesGoAtStart() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("daten")));
        const QStringList stray = {"Rennuhr-Sicherungsdatei.txt.rennuhr-tmp-Xy12Ab",
                                   "daten/Rennuhr-Sicherungsdatei.txt.rennuhr-tmp-00zzQQ"};
        const QStringList others = {"Rennuhr-Sicherungsdatei.txt.Xy12Ab",
                                    "Rennuhr-Sicherungsdatei.txt.rennuhr-tmp-Xy12A",
                                    "Rennuhr-Sicherungsdatei.txt.rennuhr-tmp-Xy12Ab.txt",
                                    "daten/Heat-Sicherungsdatei.txt.rennuhr-tmp-Xy12Ab",
                                    "daten/Notizen.txt.rennuhr-tmp-Xy12Ab"};
        for (const QString& name : stray + others)
            WriteAll(dir.filePath(name), "halb");
        QVERIFY(TemporaryFileName(dir.filePath("Rennuhr-Sicherungsdatei.txt"))
                    .startsWith(dir.filePath("Rennuhr-Sicherungsdatei.txt.rennuhr-tmp-")));
        ProtocolBackup backup({dir.path(), "Rennuhr", dir.filePath("daten")}, {});
        QVERIFY(!backup.Load(kHeader).rows);
        for (const QString& name : stray)
            QVERIFY2(!QFile::exists(dir.filePath(name)), qPrintable(name));
        for (const QString& name : others)
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
    }

    // A cell longer than any workbook's: the backup is kept aside as an unreadable one.
    void aBackupWithAnOverlongCellIsSetAside() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Rennuhr-Sicherungsdatei.txt");
        const QByteArray bytes =
            "St.Nr.\tName\t\r\n1\t" + QByteArray(15 * 1024 * 1024, 'M') + "\t\r\n";
        WriteAll(path, bytes);
        ProtocolRows rows = Protocol(1);
        ProtocolBackup backup({dir.path(), "Rennuhr", dir.filePath("daten")}, [&] { return rows; });
        const auto loaded = backup.Load(kHeader);
        QVERIFY(!loaded.rows);
        QCOMPARE(loaded.message, "Die Sicherungsdatei war nicht lesbar und wurde aufbewahrt als: " +
                                     loaded.keptAsidePath);
        QCOMPARE(ReadAll(loaded.keptAsidePath), bytes);
        QVERIFY(WriteAndFlush(backup));
        QCOMPARE(OnDisk(path), rows);
    }

    void changesAreWrittenAtMostEveryTwoSeconds() {
        QTemporaryDir dir;
        ProtocolRows rows = Protocol(1);
        ProtocolBackup backup({dir.path(), "Rennuhr", dir.filePath("daten")}, [&] { return rows; });
        qint64 now = 50000;
        backup.SetClock([&] { return now; });
        QVERIFY(!backup.Load(kHeader).rows);
        const QString path = backup.FilePath();

        // Nothing written yet: the first change goes out on the next turn of the event loop.
        backup.ProtocolChanged();
        QCOMPARE(backup.DelayTimer->interval(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!backup.WritePending(), 1000);
        QVERIFY(backup.Flush());
        QCOMPARE(OnDisk(path), rows);

        now += 500;
        rows = Protocol(2);
        backup.ProtocolChanged();
        QVERIFY(backup.WritePending());
        QCOMPARE(backup.DelayTimer->interval(), 1500);
        now += 700;
        rows = Protocol(3);
        backup.ProtocolChanged();
        QCOMPARE(backup.DelayTimer->interval(), 1500);
        QCOMPARE(OnDisk(path), Protocol(1));
        now += 800;
        backup.DelayedWrite(); // the timer's shot
        QVERIFY(!backup.WritePending());
        QVERIFY(backup.Flush());
        QCOMPARE(OnDisk(path), Protocol(3));

        // A heat's end writes at once and makes the pending write needless.
        now += 100;
        rows = Protocol(4);
        backup.ProtocolChanged();
        QCOMPARE(backup.DelayTimer->interval(), 1900);
        QVERIFY(WriteAndFlush(backup));
        QVERIFY(!backup.WritePending());
        QCOMPARE(OnDisk(path), Protocol(4));

        now += 10000;
        backup.ProtocolChanged();
        QCOMPARE(backup.DelayTimer->interval(), 0);
    }
};
RENNUHR_TEST(ProtocolBackupTest);

#include "tst_protocolbackup.moc"
