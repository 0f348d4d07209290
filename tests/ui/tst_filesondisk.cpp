// The window on disks that fill up or cannot be written: the operator is told in the notice
// bar, the protocol on the disk stays whole, and the program still ends at once when asked.
#include "TestMain.h"
#include "Tmpfs.h"
#include "Track.h"

#include "base/Program.h"
#include "export/BackgroundWriter.h"
#include "export/FileNotices.h"
#include "export/ProtocolBackup.h"
#include "results/ResultsDatabase.h"
#include "settings/SettingsStore.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"
#include "ui/Termination.h"
#include "ui/TopBar.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ProtocolRows Riders(int rows) {
    ProtocolRows protocol{TProtocolModel::DefaultHeaderTexts()};
    for (int i = 1; i <= rows; ++i)
        protocol.append(
            {QString::number(i), "Name", "Vorname", "Vespa", "50", "1", "", "", "", "", ""});
    return protocol;
}

void RunHeat(Track& t, qint64 ms) {
    t.w.Sequence->mStart->trigger();
    t.At(ms);
    t.w.Sequence->mStop1->trigger();
    t.At(ms + 100);
    t.w.Sequence->mStop2->trigger();
}

// Makes path a folder nobody may write to: a tmpfs mounted read-only on it, or without root a
// folder without write permission. False when neither can be had.
bool ReadOnlyFolder(std::unique_ptr<Tmpfs>& disk, const QString& path) {
    disk = std::make_unique<Tmpfs>(64 * 1024, path);
    if (disk->Mounted()) return disk->RemountReadOnly();
    return ::geteuid() != 0 && QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
}

void MakeWritable(const QString& path) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The child's part in the termination test: a heat on a settings folder that cannot be written,
// then it waits for the signal as the program does.
int RaceOnReadOnlySettings() {
    const QByteArray config = qgetenv("RENNUHR_READONLY_CONFIG");
    qputenv("XDG_CONFIG_HOME", config);
    OverrideProgramFolder(qEnvironmentVariable("RENNUHR_PROGRAM_FOLDER"));
    QuitOnTermination();
    TFormMain w;
    if (!QSettings(QString::fromLatin1(kSettingsOrganization), ProgramTitle())
             .fileName()
             .startsWith(QFile::decodeName(config)))
        return 3;
    w.show();
    w.Sequence->mStart->trigger();
    w.Sequence->mStop1->trigger();
    w.Sequence->mStop2->trigger();
    w.FileWriter->Drain();
    std::printf("%s\n", qPrintable(w.Panel1->LabPortNotice->text()));
    std::fflush(stdout);
    return QApplication::exec();
}
RENNUHR_CHILD_ROLE(RaceOnReadOnlySettings);

} // namespace

class FilesOnDiskTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // The race day's full disk: the 40 rows of the morning stay on it, the bar says why the
    // heats are not, and once there is room they are written without a new heat.
    void aFullDiskIsToldAndTheBackupKeptUntilThereIsRoom() {
        FullFolder disk;
        const QString program = ProgramFolder();
        const auto back = qScopeGuard([&] { OverrideProgramFolder(program); });
        OverrideProgramFolder(disk.Path());
        const QString backup = ProtocolBackup::BackupFileName(disk.Path(), ProgramTitle());
        const QByteArray morning = EncodeProtocolText(Riders(40));
        QVERIFY(WriteAll(backup, morning));
        QVERIFY(disk.Fill());

        Track t(false);
        QCOMPARE(t.w.SortGrid1->Protocol()->DataRowCount(), 40);
        RunHeat(t, 9000);
        t.w.FileWriter->Drain();
        QCOMPARE(ReadAll(backup), morning);
        QCOMPARE(t.w.Panel1->LabPortNotice->text(),
                 QString("Die Sicherungsdatei kann nicht geschrieben werden: Datenträger voll"));
        QVERIFY(t.w.Panel1->LabPortNotice->isVisibleTo(&t.w));
        QVERIFY(t.w.Panel1->LabPortNotice->toolTip().contains(backup));
        QVERIFY(t.w.FileWriter->RetryTimer->isActive());
        QCOMPARE(QDir(disk.Path()).entryList({"*rennuhr-tmp*"}, QDir::Files | QDir::Hidden),
                 QStringList());

        disk.Free();
        t.w.FileWriter->RetryFailed(); // as the timer does
        t.w.FileWriter->Drain();
        t.w.Results->RetryNow(); // the results database on the same disk, as its timer does
        t.w.Results->Flush();
        const ProtocolRows now =
            ReadProtocolText(backup, TProtocolModel::DefaultHeaderTexts()).rows;
        QCOMPARE(now.value(1).value(ColTime), QString("9,000"));
        QCOMPARE(now.value(2).value(ColTime), QString("9,100"));
        QCOMPARE(t.w.FileNotices->Lines(), QStringList());
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
    }

    // A home folder that cannot be written: said when the program starts, and no box at exit.
    void settingsThatCannotBeStoredAreToldAtStartNotAtExit() {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        std::unique_ptr<Tmpfs> disk;
        const auto writable = qScopeGuard([&] { MakeWritable(config); });
        if (!ReadOnlyFolder(disk, config))
            QSKIP("root without a tmpfs cannot make a folder read-only");
        QStringList boxes;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->reject();
            }
        });
        watch.start(20);
        {
            Track t(false);
            QVERIFY2(t.w.Panel1->LabPortNotice->text().startsWith(
                         "Die Einstellungen können nicht gespeichert werden: "),
                     qPrintable(t.w.Panel1->LabPortNotice->text()));
            QVERIFY(t.w.Panel1->LabPortNotice->isVisibleTo(&t.w));
            t.w.PanelLeft->eTitle->setText("Finale");
        }
        QCOMPARE(boxes, QStringList());
        QCOMPARE(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // The desktop's logout sends SIGTERM: the program ends at once, with the heat in the backup,
    // also when the settings cannot be stored.
    void terminationIsNotHeldUpBySettingsThatCannotBeStored() {
        QTemporaryDir folders;
        const QString config = folders.filePath("config");
        const QString program = folders.filePath("program");
        QVERIFY(QDir().mkpath(program));
        std::unique_ptr<Tmpfs> disk;
        const auto writable = qScopeGuard([&] { MakeWritable(config); });
        if (!ReadOnlyFolder(disk, config))
            QSKIP("root without a tmpfs cannot make a folder read-only");

        QProcess child;
        const auto end = qScopeGuard([&] {
            if (child.state() != QProcess::NotRunning) {
                child.kill();
                child.waitForFinished();
            }
        });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("RENNUHR_TEST_CHILD", "RaceOnReadOnlySettings");
        environment.insert("RENNUHR_READONLY_CONFIG", config);
        environment.insert("RENNUHR_PROGRAM_FOLDER", program);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        while (!said.contains('\n') && child.waitForReadyRead(20000))
            said += child.readAllStandardOutput();
        QVERIFY2(said.startsWith("Die Einstellungen können nicht gespeichert werden: "),
                 said.constData());

        QVERIFY(::kill(pid_t(child.processId()), SIGTERM) == 0);
        // Bounded only so that a box holding it fails the test instead of hanging it.
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const ProtocolRows rows =
            ReadProtocolText(ProtocolBackup::BackupFileName(program, ProgramTitle()),
                             TProtocolModel::DefaultHeaderTexts())
                .rows;
        QCOMPARE(rows.value(1).value(ColWin), QString("+"));
    }

    // A file with a cell longer than any workbook's would freeze the window: refused, and the
    // protocol stays as it was.
    void aFileWithAnOverlongCellIsRefused() {
        Track t(false);
        QStringList messages;
        t.w.Files->SetMessageSink([&](const QString& m) { messages << m; });
        t.w.SortGrid1->Protocol()->SetRows(Riders(2));
        QTemporaryDir dir;
        const QString path = dir.filePath("teilnehmer.txt");
        QVERIFY(WriteAll(path, "St.Nr.\tName\r\n1\t" + QByteArray(2 * 1024 * 1024, 'M') + "\r\n"));
        QVERIFY(!t.w.Files->Load(path, ProtocolFileKind::Text));
        QCOMPARE(messages, QStringList{"Die Datei enthält eine Zelle mit mehr als 32767 Zeichen "
                                       "und wird nicht geladen: " +
                                       path});
        QCOMPARE(t.w.SortGrid1->Protocol()->Rows(), Riders(2));
    }
};
RENNUHR_TEST(FilesOnDiskTest);

#include "tst_filesondisk.moc"
