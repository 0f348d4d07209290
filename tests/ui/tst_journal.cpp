// The race-day journal as the window writes it: a heat's raw edges, commands and results in
// order, a program killed mid-heat, a new day, a disk that refuses.
#include "TestMain.h"
#include "Track.h"

#include "base/Program.h"
#include "export/FileNotices.h"
#include "export/Journal.h"
#include "export/JournalReader.h"
#include "export/ProtocolBackup.h"
#include "ui/DlgYesNo.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"
#include "ui/TopBar.h"
#include "widgets/OperatorButton.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QToolButton>

#include <csignal>
#include <cstdio>

namespace {

const QDateTime kMorning(QDate(2024, 5, 4), QTime(10, 0));

// The journal's wall clock runs with the test's time base: ticks 1000 ms are 10:00:00.000.
void FollowTestClock(Track& t, const QDateTime& at1000ms = kMorning) {
    t.w.Journal->SetWallClock([clock = t.now, at1000ms] {
        return at1000ms.addMSecs((clock->load() - 1000 * kMs) / kMs);
    });
}

QStringList Line(qint64 ms, const QString& kind, const QString& name, const QString& source = {},
                 const QString& lane = {}, const QString& level = {}, const QString& folded = {},
                 const QString& startNumber = {}, const QStringList& cells = {},
                 const QString& text = {}) {
    QStringList line(kJournalFields);
    line[JfTime] = kMorning.addMSecs(ms - 1000).toString("yyyy-MM-dd hh:mm:ss.zzz");
    line[JfTicks] = QString::number(ms * kMs);
    line[JfKind] = kind;
    line[JfName] = name;
    line[JfSource] = source;
    line[JfLane] = lane;
    line[JfLevel] = level;
    line[JfFolded] = folded;
    line[JfStartNr] = startNumber;
    for (int i = 0; i < cells.size(); ++i)
        line[JfReaction + i] = cells[i];
    line[JfText] = text;
    return line;
}

QStringList Edge(qint64 ms, const QString& name, const QString& lane, bool on, int folded = 0) {
    return Line(ms, "Leitung", name, {}, lane, on ? "1" : "0", QString::number(folded));
}

QList<QStringList> Read(const QString& file) {
    const TJournalRead read = ReadJournal(file);
    if (!read.ok) qWarning() << read.message;
    return read.lines;
}

// The child's part in the kill test: a heat that runs while the start contact chatters,
// so that line events keep coming; it says on its standard output how far the journal got.
int ChatteringHeat() {
    auto cable = TSimulatedSerialPort::Create();
    TFormMain w(nullptr, cable->Factory());
    w.OpenPort(5);
    w.Sequence->mStart->trigger();
    std::printf("file %s\n", qPrintable(w.Journal->FilePath()));
    QTimer chatter;
    QObject::connect(&chatter, &QTimer::timeout,
                     [&] { cable->SetLines(cable->Lines() ^ kModemCTS); });
    chatter.start(2);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("%llu\n", static_cast<unsigned long long>(w.Journal->Lines()));
        std::fflush(stdout);
    });
    report.start(5);
    return QApplication::exec();
}
RENNUHR_CHILD_ROLE(ChatteringHeat);

} // namespace

class JournalTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aFullHeatIsJournaledInOrder() {
        Track t;
        FollowTestClock(t);
        t.w.OpenPort(0);
        t.w.OpenPort(5);
        QTRY_VERIFY(t.cable->WaitCalls() > 0);
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.now->store(5000 * kMs);
        t.Lines(kModemCTS);
        t.Lines(0);
        // Lane 1 as edges, lane 2 as whole pulses between two reads of the lines.
        for (const qint64 ms : {420, 6100, 12095, 12345}) {
            t.At(ms);
            t.Lines(kModemRLSD);
            t.At(ms + 5);
            t.Lines(0);
        }
        for (const qint64 ms : {510, 6300, 12250, 12500}) {
            t.At(ms);
            t.Pulse(kModemDSR);
        }
        QVERIFY(!t.w.race.heat.Lane(2).running);
        t.At(14000);
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.w.SortGrid1->SelectRow(2);
        QTest::keyClick(&t.w, Qt::Key_F4);
        t.w.Journal->Flush();

        const QString file = TJournal::FileName(ProgramFolder(), ProgramTitle(), QDate(2024, 5, 4));
        QFile raw(file);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(raw.readLine(), QByteArray("Uhrzeit\tTicks\tArt\tName\tQuelle\tBahn\tPegel\t"
                                            "Gefaltet\tSt.Nr.\tRZ\tZZ\tKm/h\tZeit\tWin\tText\n"));
        const QList<QStringList> expected = {
            Line(1000, "Port", "geschlossen", {}, {}, {}, {}, {}, {}, "COM5 (ttyUSB0)"),
            Line(1000, "Port", "geöffnet", {}, {}, {}, {}, {}, {}, "COM5 (ttyUSB0); Latenz 0 ms"),
            Edge(5000, "CTS", {}, true),
            Line(5000, "Befehl", "START", "Lichtschranke", {}, {}, {}, "1/2"),
            Edge(5000, "CTS", {}, false),
            Edge(5420, "DCD", "1", true),
            Edge(5425, "DCD", "1", false),
            Edge(11100, "DCD", "1", true),
            Edge(11105, "DCD", "1", false),
            Edge(17095, "DCD", "1", true),
            Edge(17100, "DCD", "1", false),
            Edge(17345, "DCD", "1", true),
            Line(17345, "Befehl", "STOPP", "Lichtschranke", "1", {}, {}, "1"),
            Line(17345, "Ergebnis", {}, {}, "1", {}, {}, "1",
                 {"0,420", "6,100", "144,0", "12,345", "+"}),
            Edge(17350, "DCD", "1", false),
            Edge(5510, "DSR", "2", false, 1),
            Edge(11300, "DSR", "2", false, 1),
            Edge(17250, "DSR", "2", false, 1),
            Edge(17500, "DSR", "2", false, 1),
            Line(17500, "Befehl", "STOPP", "Lichtschranke", "2", {}, {}, "2"),
            Line(17500, "Ergebnis", {}, {}, "2", {}, {}, "2",
                 {"0,510", "6,300", "144,0", "12,500", ""}),
            Line(19000, "Befehl", "ZURÜCKSETZEN", "Taste"),
            Line(19000, "Befehl", "GESTÜRZT", "Taste", {}, {}, {}, "2", {"-", "-", "-", "-", "-"}),
        };
        const QList<QStringList> lines = Read(file);
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(lines[i], expected[i]);
    }

    void commandsCarryTheirSource() {
        Track t(false);
        t.OneBarrier();
        QTest::mousePress(t.w.PanelLeft->bSTART, Qt::LeftButton);
        QTest::mouseRelease(t.w.PanelLeft->bSTART, Qt::LeftButton);
        t.At(9000);
        t.w.PanelLeft->bImit2->click();
        t.At(9500);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.w.Sequence->TimerResetTimer(); // as the automatic reset fires
        QTest::keyClick(&t.w, Qt::Key_F5);
        QTest::keyClick(&t.w, Qt::Key_F6); // false start of lane 1
        t.w.Journal->Flush();
        QStringList commands;
        for (const QStringList& line : Read(t.w.Journal->FilePath()))
            if (line[JfKind] == "Befehl") commands << line[JfName] + ' ' + line[JfSource];
        QCOMPARE(commands, (QStringList{"START Knopf", "STOPP Imitation", "STOPP Taste",
                                        "ZURÜCKSETZEN Timer", "START Taste", "FEHLSTART Taste"}));
    }

    void protocolCommandsAreJournaledAfterTheyRan() {
        Track t(false);
        t.OneBarrier();
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(9000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        t.At(9100);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.w.SortGrid1->SelectRow(2);
        QTest::keyClick(&t.w, Qt::Key_J, Qt::ControlModifier);
        t.w.SortGrid1->Joker1->trigger(); // and taken back from the context menu
        t.w.PanelLeft->sbNextKrug->click();
        const QString saved = ProgramFolder() + "/Lauf.txt";
        QVERIFY(t.w.Files->Save(saved, ProtocolFileKind::Text));
        t.w.SortGrid1->Rezultentfernen1->trigger();
        QVERIFY(t.w.Files->Load(saved, ProtocolFileKind::Text));
        TFDlgYesNo* question = t.w.FDlgYesNo;
        QTimer::singleShot(0, question, [question] { question->bYes->click(); });
        t.w.PanelLeft->sbCLS->click();
        t.w.Journal->Flush();
        QStringList commands;
        for (const QStringList& line : Read(t.w.Journal->FilePath()))
            if (line[JfKind] == "Befehl" && line[JfName] != "START" && line[JfName] != "STOPP")
                commands << QStringList{line[JfName], line[JfSource], line[JfStartNr], line[JfWin],
                                        line[JfText]}
                                .join('|');
        QCOMPARE(commands, (QStringList{"JOKER|Taste|2|+|", "JOKER|Menü|2||",
                                        "FOLGENDES RENNEN|Knopf|||", "ERGEBNISSE ENTFERNEN|Menü|||",
                                        "LADEN|Knopf|||" + saved, "LÖSCHEN|Knopf|||"}));
    }

    void aKillMidHeatLosesAtMostTheLast200Ms() {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("RENNUHR_TEST_CHILD", "ChatteringHeat");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        QString file;
        QList<QPair<qint64, quint64>> reports; // when the count arrived, the count
        QByteArray pending;
        while (clock.elapsed() < 20000 &&
               (reports.isEmpty() || clock.elapsed() - reports.first().first < 800)) {
            child.waitForReadyRead(5);
            pending += child.readAllStandardOutput();
            while (pending.contains('\n')) {
                const QByteArray line = pending.left(pending.indexOf('\n'));
                pending.remove(0, line.size() + 1);
                if (line.startsWith("file "))
                    file = QString::fromLocal8Bit(line.mid(5));
                else
                    reports.append({clock.elapsed(), line.toULongLong()});
            }
        }
        const qint64 killedAt = clock.elapsed();
        QVERIFY(::kill(pid_t(child.processId()), SIGKILL) == 0);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(!file.isEmpty());
        // The child's sandbox outlives it; it is removed here.
        const auto removeSandbox = qScopeGuard([&] {
            const QString sandbox = QFileInfo(QFileInfo(file).absolutePath()).absolutePath();
            if (sandbox.startsWith(QDir::tempPath())) QDir(sandbox).removeRecursively();
        });

        quint64 recorded = 0;
        for (const auto& [at, count] : reports)
            if (at <= killedAt - 200) recorded = std::max(recorded, count);
        QVERIFY2(recorded > 50, "the child recorded too little to tell");
        const QList<QStringList> lines = Read(file);
        QVERIFY(quint64(lines.size()) >= recorded);
        QCOMPARE(lines[0][JfName], QString("geöffnet"));
        QCOMPARE(lines[1][JfName], QString("START"));
        for (qsizetype i = 2; i < lines.size(); ++i)
            QCOMPARE(lines[i][JfName], QString("CTS"));
    }

    void aNewDayBeginsANewFileAndKeepsWhatTheFileHeld() {
        Track t(false);
        FollowTestClock(t, QDateTime(QDate(2024, 5, 4), QTime(23, 59, 58)));
        const QString folder = ProgramFolder();
        const QString day1 = TJournal::FileName(folder, ProgramTitle(), QDate(2024, 5, 4));
        const QString day2 = TJournal::FileName(folder, ProgramTitle(), QDate(2024, 5, 5));
        // What an earlier run of the second day left.
        const QByteArray earlier = TJournal::HeaderLine() +
                                   "2024-05-05 00:00:00.500\t7\tPort\tgeschlossen\t\t\t\t\t\t\t\t\t"
                                   "\t\tCOM5 (ttyUSB0)\n";
        {
            QFile file(day2);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(earlier);
        }
        QTest::keyClick(&t.w, Qt::Key_F5); // 23:59:58
        t.At(3000);                        // 00:00:01, the heat still running
        QTest::keyClick(&t.w, Qt::Key_F8);
        t.At(3100);
        QTest::keyClick(&t.w, Qt::Key_F9);
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.w.Journal->Flush();

        QStringList first;
        for (const QStringList& line : Read(day1))
            first << line[JfKind] + ' ' + line[JfName];
        QCOMPARE(first, (QStringList{"Befehl START", "Befehl STOPP", "Ergebnis ", "Befehl STOPP",
                                     "Ergebnis "}));
        QFile second(day2);
        QVERIFY(second.open(QIODevice::ReadOnly));
        const QByteArray bytes = second.readAll();
        QVERIFY(bytes.startsWith(earlier));
        const QList<QStringList> lines = Read(day2);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1][JfName], QString("ZURÜCKSETZEN"));
        QCOMPARE(lines[1][JfTime], QString("2024-05-05 00:00:01.100"));
    }

    void aJournalThatCannotBeWrittenIsReportedOnceAndCatchesUp() {
        Track t(false);
        FollowTestClock(t);
        QStringList notices;
        connect(t.w.FileNotices, &TFileNotices::Changed, this,
                [&] { notices << t.w.Panel1->LabPortNotice->toolTip(); });
        // A folder where the file should be: nobody, root included, can append to it.
        const QString file = t.w.Journal->FilePath();
        QVERIFY(QDir().mkpath(file));
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(9000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        t.At(9100);
        QTest::keyClick(&t.w, Qt::Key_F9);
        t.w.Journal->Flush();
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].startsWith("Das Rennjournal kann nicht geschrieben werden: "));
        QVERIFY(notices[0].contains(file));
        QVERIFY(t.w.Panel1->LabPortNotice->isVisibleTo(&t.w));
        // The race went on.
        QCOMPARE(t.Cell(2, ColTime), QString("9,100"));
        QVERIFY(t.w.Files->Backup->Flush());

        // Once the file can be written, what was kept back comes first.
        QVERIFY(QDir(file).removeRecursively());
        QTest::keyClick(&t.w, Qt::Key_F7);
        t.w.Journal->Flush();
        QStringList names;
        for (const QStringList& line : Read(file))
            names << line[JfName];
        QCOMPARE(names, (QStringList{"START", "STOPP", "", "STOPP", "", "ZURÜCKSETZEN"}));
        // Written again: the notice has gone.
        QCOMPARE(notices, (QStringList{notices[0], QString()}));
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
    }
};
RENNUHR_TEST(JournalTest);

#include "tst_journal.moc"
