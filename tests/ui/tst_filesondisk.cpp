// The window on disks that fill up: the operator is told in the notice bar and the protocol on
// the disk stays whole.
#include "TestMain.h"
#include "Tmpfs.h"
#include "Track.h"

#include "export/BackgroundWriter.h"
#include "export/FileNotices.h"
#include "export/ProtocolBackup.h"
#include "ui/Program.h"
#include "ui/ProtocolFiles.h"

#include <QLabel>
#include <QScopeGuard>

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
        QCOMPARE(t.w.LabPortNotice->text(),
                 QString("Die Sicherungsdatei kann nicht geschrieben werden: Datenträger voll"));
        QVERIFY(t.w.LabPortNotice->isVisibleTo(&t.w));
        QVERIFY(t.w.LabPortNotice->toolTip().contains(backup));
        QVERIFY(t.w.FileWriter->RetryTimer->isActive());
        QCOMPARE(QDir(disk.Path()).entryList({"*rennuhr-tmp*"}, QDir::Files | QDir::Hidden),
                 QStringList());

        disk.Free();
        t.w.FileWriter->RetryFailed(); // as the timer does
        t.w.FileWriter->Drain();
        const ProtocolRows now =
            ReadProtocolText(backup, TProtocolModel::DefaultHeaderTexts()).rows;
        QCOMPARE(now.value(1).value(ColTime), QString("9,000"));
        QCOMPARE(now.value(2).value(ColTime), QString("9,100"));
        QCOMPARE(t.w.FileNotices->Lines(), QStringList());
        QVERIFY(t.w.LabPortNotice->isHidden());
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
