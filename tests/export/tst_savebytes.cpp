// The file writer on real disks that fill up, refuse or are killed in the middle: the file it
// replaces is whole afterwards, either the old one or the new one, and nothing else is left.
#include "TestMain.h"
#include "Tmpfs.h"

#include "export/ProtocolBackup.h"
#include "export/SaveBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};

ProtocolRows Protocol(int rows) {
    ProtocolRows protocol{kHeader};
    for (int i = 1; i <= rows; ++i) {
        const QString n = QString::number(i);
        protocol.append(
            {n, "Name" + n, "Vorname", "Vespa", "50", "1", "0,5", "4,0", "80,1", "9,9" + n, "+"});
    }
    return protocol;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Every write goes through the writer's seam, which lets through at most `limit` bytes in all
// and then fails as a full disk does.
void FailAfter(qint64 limit) {
    auto left = std::make_shared<qint64>(limit);
    SetFileWriteCall([left](const QByteArray&, int fd, const char* data, qint64 size) {
        if (*left <= 0) {
            errno = ENOSPC;
            return qint64(-1);
        }
        const qint64 n = ::write(fd, data, size_t(std::min(size, *left)));
        if (n > 0) *left -= n;
        return n;
    });
}

const QByteArray kOld = "St.Nr.\tName\t\r\n1\tAlt\t\r\n";

// The child's part in the kill tests. "pause": the new file is written in full, then the child
// says so and waits before the rename, to be killed there. "loop": it replaces the file again
// and again with protocols of two sizes.
int ReplaceUntilKilled() {
    const QString folder = qEnvironmentVariable("RENNUHR_KILL_FOLDER");
    const QString file = ProtocolBackup::BackupFileName(folder, "Rennuhr");
    const QByteArray small = EncodeProtocolText(Protocol(300));
    const QByteArray large = EncodeProtocolText(Protocol(3000));
    if (qEnvironmentVariable("RENNUHR_KILL_MODE") == "pause") {
        auto done = std::make_shared<qint64>(0);
        const qint64 size = large.size();
        SetFileWriteCall([done, size](const QByteArray& path, int fd, const char* data, qint64 n) {
            const qint64 written = ::write(fd, data, size_t(n));
            if (written > 0 && (*done += written) == size) {
                std::printf("written %s\n", path.constData());
                std::fflush(stdout);
                for (;;)
                    ::pause();
            }
            return written;
        });
        SaveFileBytes(file, large);
        return 1; // never reached: the rename waits for the kill
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (unsigned i = 0;; ++i)
        if (!SaveFileBytes(file, i % 2 ? large : small).ok) return 1;
}
RENNUHR_CHILD_ROLE(ReplaceUntilKilled);

// Starts the child on folder and waits for its first line. What the child leaves in its sandbox
// goes with the given temporary folder.
QByteArray StartChild(QProcess& child, const QString& folder, const QString& mode,
                      const QTemporaryDir& temporary) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.path());
    environment.insert("RENNUHR_TEST_CHILD", "ReplaceUntilKilled");
    environment.insert("RENNUHR_KILL_FOLDER", folder);
    environment.insert("RENNUHR_KILL_MODE", mode);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted()) return {};
    QByteArray line;
    QElapsedTimer clock;
    clock.start();
    while (!line.contains('\n') && clock.elapsed() < 20000 && child.state() == QProcess::Running) {
        child.waitForReadyRead(50);
        line += child.readAllStandardOutput();
    }
    return line.trimmed();
}

void KillChild(QProcess& child) {
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
}

} // namespace

class SaveBytesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetFileWriteCall({}); }

    // The full disk of the race day: a backup of 40 rows on a 2 MB disk with no room left.
    void aFullDiskKeepsTheOldFileExactly() {
        FullFolder disk;
        const QString path = disk.FilePath("Rennuhr-Sicherungsdatei.txt");
        const QByteArray old = EncodeProtocolText(Protocol(40));
        QVERIFY(WriteAll(path, old));
        QVERIFY(disk.Fill());
        for (const int rows : {41, 20000}) { // a few bytes, and more than the disk holds
            const FileWriteResult result = SaveFileBytes(path, EncodeProtocolText(Protocol(rows)));
            QVERIFY(!result.ok);
            QCOMPARE(result.reason, QString("Datenträger voll"));
            QCOMPARE(result.message,
                     "Der Schreibfehler der Datei: " + path + "\nDer Datenträger ist voll.");
            QCOMPARE(ReadAll(path), old);
            QCOMPARE(Entries(disk.Path()).filter("Sicherungsdatei"),
                     QStringList{"Rennuhr-Sicherungsdatei.txt"});
        }
        disk.Free();
        const QByteArray now = EncodeProtocolText(Protocol(41));
        QVERIFY(SaveFileBytes(path, now).ok);
        QCOMPARE(ReadAll(path), now);
    }

    void aWriteThatFailsPartwayLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.txt");
        QVERIFY(WriteAll(path, kOld));
        const QByteArray bytes = EncodeProtocolText(Protocol(500));
        for (const qint64 limit : {qint64(0), qint64(1), bytes.size() / 2, bytes.size() - 1}) {
            FailAfter(limit);
            const FileWriteResult result = SaveFileBytes(path, bytes);
            QVERIFY2(!result.ok, qPrintable(QString::number(limit)));
            QCOMPARE(result.reason, QString("Datenträger voll"));
            QCOMPARE(ReadAll(path), kOld);
            QCOMPARE(Entries(dir.path()), QStringList{"p.txt"});
        }
        // A new file that fails is not made at all.
        const QString fresh = dir.filePath("neu.txt");
        FailAfter(10);
        QVERIFY(!SaveFileBytes(fresh, bytes).ok);
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(Entries(dir.path()), QStringList{"p.txt"});
    }

    // Signals and pipes-like devices hand back short counts and EINTR; nothing may get lost.
    void interruptedAndShortWritesStillWriteEverything() {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.txt");
        QVERIFY(WriteAll(path, kOld));
        auto calls = std::make_shared<int>(0);
        SetFileWriteCall([calls](const QByteArray&, int fd, const char* data, qint64 size) {
            if (++*calls % 3 == 0) {
                errno = EINTR;
                return qint64(-1);
            }
            return qint64(::write(fd, data, size_t(std::min<qint64>(size, 7))));
        });
        const QByteArray bytes = EncodeProtocolText(Protocol(50));
        QVERIFY(SaveFileBytes(path, bytes).ok);
        QCOMPARE(ReadAll(path), bytes);
        QVERIFY(*calls > bytes.size() / 7);
        // A journal line appended the same way arrives whole.
        qsizetype written = 0;
        QVERIFY(AppendFileBytes(dir.filePath("j.txt"), "eine Zeile\n", "Kopf\n", true, written).ok);
        QCOMPARE(written, 11);
        QCOMPARE(ReadAll(dir.filePath("j.txt")), QByteArray("Kopf\neine Zeile\n"));
    }

    void aFailedAppendTakesItsHalfLineBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("j.txt");
        qsizetype written = 0;
        QVERIFY(AppendFileBytes(path, "1\n", "Kopf\n", false, written).ok);
        FailAfter(3);
        const FileWriteResult result =
            AppendFileBytes(path, "zweite Zeile\n", "Kopf\n", true, written);
        QVERIFY(!result.ok);
        QCOMPARE(result.reason, QString("Datenträger voll"));
        QCOMPARE(written, 0);
        QCOMPARE(ReadAll(path), QByteArray("Kopf\n1\n"));
    }

    void theModeOfTheReplacedFileStays() {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.txt");
        QVERIFY(WriteAll(path, kOld));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0600) == 0);
        QVERIFY(SaveFileBytes(path, "neu").ok);
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    // A read-only disk where root can mount one; a folder without permission for everyone else.
    void aPlaceThatCannotBeWrittenGivesItsReason() {
        Tmpfs disk(1024 * 1024);
        const QString path = disk.FilePath("p.txt");
        QVERIFY(WriteAll(path, kOld));
        QString reason;
        if (disk.Mounted() && disk.RemountReadOnly())
            reason = "Datenträger schreibgeschützt";
        else if (::geteuid() != 0 && ::chmod(QFile::encodeName(disk.Path()).constData(), 0500) == 0)
            reason = "keine Berechtigung";
        else
            QSKIP("root without a tmpfs cannot make a folder read-only");
        const auto writable =
            qScopeGuard([&] { ::chmod(QFile::encodeName(disk.Path()).constData(), 0700); });
        const FileWriteResult result = SaveFileBytes(path, "neu");
        QVERIFY(!result.ok);
        QCOMPARE(result.reason, reason);
        QCOMPARE(ReadAll(path), kOld);
        QCOMPARE(Entries(disk.Path()), QStringList{"p.txt"});
        QCOMPARE(WriteProblem(disk.FilePath("Tempiqo/Rennuhr.conf")), reason);
    }

    void writeProblemLooksWhereTheFirstFileWouldBeMade() {
        QTemporaryDir dir;
        QCOMPARE(WriteProblem(dir.filePath("noch/nicht/da.conf")), QString());
        QVERIFY(!QFileInfo::exists(dir.filePath("noch")));
        QVERIFY(WriteAll(dir.filePath("datei"), "x"));
        QCOMPARE(WriteProblem(dir.filePath("datei/unter/einer/datei.conf")),
                 QString("Ordner fehlt"));
        FullFolder disk;
        QVERIFY(disk.Fill());
        QCOMPARE(WriteProblem(disk.FilePath("Tempiqo/Rennuhr.conf")), QString("Datenträger voll"));
        QCOMPARE(Entries(disk.Path()).filter("rennuhr"), QStringList());
    }

    // Killed after the new file is written and before it takes the old one's place.
    void aKillBeforeTheRenameLeavesTheOldBackupAndNoStrayFile() {
        QTemporaryDir dir;
        const ProtocolBackup::Location location{dir.path(), "Rennuhr", dir.filePath("daten")};
        const QString path = ProtocolBackup::BackupFileName(dir.path(), "Rennuhr");
        const QByteArray old = EncodeProtocolText(Protocol(40));
        QVERIFY(WriteAll(path, old));
        QTemporaryDir childTemporary;
        QProcess child;
        const QByteArray said = StartChild(child, dir.path(), "pause", childTemporary);
        QVERIFY2(said.startsWith("written "), said.constData());
        const QString temporary = QFile::decodeName(said.mid(8));
        KillChild(child);
        QVERIFY(QFile::exists(temporary)); // the kill came between the two
        QCOMPARE(ReadAll(path), old);

        ProtocolBackup restarted(location, {});
        QCOMPARE(restarted.Load(kHeader).rows.value_or(ProtocolRows()), Protocol(40));
        QCOMPARE(Entries(dir.path()), QStringList{"Rennuhr-Sicherungsdatei.txt"});
    }

    // Killed anywhere while it writes: the backup reads whole, and the next start tidies up.
    void killsAtRandomPointsNeverDamageTheBackup() {
        QTemporaryDir dir;
        const ProtocolBackup::Location location{dir.path(), "Rennuhr", dir.filePath("daten")};
        const QString path = ProtocolBackup::BackupFileName(dir.path(), "Rennuhr");
        QVERIFY(WriteAll(path, EncodeProtocolText(Protocol(300))));
        QTemporaryDir childTemporary;
        for (int round = 0; round < 6; ++round) {
            QProcess child;
            QCOMPARE(StartChild(child, dir.path(), "loop", childTemporary), QByteArray("ready"));
            QTest::qWait(QRandomGenerator::global()->bounded(5, 40));
            KillChild(child);
            const ProtocolReadResult read = ReadProtocolText(path, kHeader);
            QVERIFY2(read.ok, qPrintable(read.message));
            QVERIFY(read.rows == Protocol(300) || read.rows == Protocol(3000));

            ProtocolBackup restarted(location, {});
            QVERIFY(restarted.Load(kHeader).rows);
            QCOMPARE(Entries(dir.path()), QStringList{"Rennuhr-Sicherungsdatei.txt"});
        }
    }
};
RENNUHR_TEST(SaveBytesTest);

#include "tst_savebytes.moc"
