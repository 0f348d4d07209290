// A real program running a ladder, killed with SIGKILL: once right after what it confirmed, and
// at any moment while ladders are made, run and removed as fast as the core can, so that the
// kill falls into a write. The file must open whole, and the ladder go on where it stopped.
#include "LadderDay.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The child's part. "after": a ladder of six half run, its state told, then waiting to be
// killed. "loop": ladders of four made, run to the end and removed without end, so that
// the database writes all the time.
int RunLadderUntilKilled() {
    LadderDay d(qEnvironmentVariable("RENNUHR_RESULTS_FILE"), 6, 4);
    d.Open();
    if (qEnvironmentVariable("RENNUHR_KILL_MODE") == "loop") {
        d.db.Flush();
        Say("ready");
        for (;;) {
            if (!d.ladders.Create("125", TLadderSource::Protocol, false).isEmpty()) return 1;
            const qint64 id = d.ladders.Ladders().last().id;
            while (!d.ladders.Ladder(id)->Finished()) {
                d.Run(8000, 8100);
                d.db.Flush(); // each heat written before the next, as at the track
            }
            d.ladders.Remove(id);
        }
    }
    d.Qualify();
    if (!d.ladders.Create("50", TLadderSource::Standings, true).isEmpty()) return 1;
    d.Reset();
    d.BothFalseStarts();
    d.Reset();
    d.Joker(5);
    d.ladders.SetNoShow(d.Ref(0, 3), 6, true);
    d.Run(7900, 8050);
    d.ladders.SwapLanes(d.Ref(1, 1));
    d.db.Flush();
    Say("lanes " + d.Lanes());
    for (const QString& line : Summary(d.Ladder()))
        Say(line);
    Say("ready");
    for (;;)
        ::pause();
}
RENNUHR_CHILD_ROLE(RunLadderUntilKilled);

// Starts the child on a file in folder, waits until it is ready, lets it go on for a while and
// kills it; returns what it said, or none when it did not get ready or was not killed.
std::optional<QStringList> KillChild(const QTemporaryDir& folder, const QString& mode,
                                     int afterReadyMs) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", folder.path());
    environment.insert("RENNUHR_TEST_CHILD", "RunLadderUntilKilled");
    environment.insert("RENNUHR_RESULTS_FILE",
                       TResultsDatabase::FileName(folder.path(), "Rennuhr"));
    environment.insert("RENNUHR_KILL_MODE", mode);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted()) return std::nullopt;
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains("ready\n") && clock.elapsed() < 20000 &&
           child.state() == QProcess::Running) {
        child.waitForReadyRead(50);
        said += child.readAllStandardOutput();
    }
    if (!said.contains("ready\n")) return std::nullopt;
    if (afterReadyMs > 0) child.waitForFinished(afterReadyMs); // it never finishes by itself
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    if (child.exitStatus() != QProcess::CrashExit) return std::nullopt;
    QStringList lines = QString::fromUtf8(said).split('\n', Qt::SkipEmptyParts);
    lines.removeAll("ready");
    return lines;
}

} // namespace

class LadderKillTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aKillLosesNothingConfirmedAndTheLadderGoesOn() {
        QTemporaryDir dir;
        const std::optional<QStringList> said = KillChild(dir, "after", 0);
        QVERIFY(said);
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        LadderDay d(file, 6, 4);
        d.Open();
        QCOMPARE(SelectOne(d.file, "PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(d.ladders.Ladders().size(), 1);
        QCOMPARE(Summary(d.Ladder()), said->mid(1));
        // And on: the second semi-final in the lanes, as swapped before the kill.
        QCOMPARE(said->first(), QString("lanes 1/5 3/2"));
        QCOMPARE(d.Lanes(), QString("3/2 5/4"));
        d.Run(8300, 8200);
        QCOMPARE(d.Pairing(1, 1).winner, 2);
    }

    // Ladders are made, run and removed all the time, each a transaction of its own: whatever
    // the kill hits, the file holds whole ladders or none, and no rows of a removed one.
    void aKillInTheMiddleOfAWriteLeavesWholeLadders() {
        for (const int afterMs : {60, 190}) {
            QTemporaryDir dir;
            QVERIFY(KillChild(dir, "loop", afterMs));
            const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
            QCOMPARE(SelectOne(file, "PRAGMA integrity_check"), QString("ok"));
            QVERIFY2(SelectOne(file, "SELECT count(*) FROM runs").toInt() > 2,
                     "the child wrote too little to tell");
            for (const char* table : {"ladder_racers", "ladder_pairings", "ladder_heats"})
                QCOMPARE(SelectOne(file, QString("SELECT count(*) FROM %1 WHERE ladder_id NOT IN "
                                                 "(SELECT id FROM ladders)")
                                             .arg(table)),
                         QString("0"));
            QCOMPARE(SelectOne(file, "SELECT count(*) FROM ladders l WHERE (SELECT count(*) FROM "
                                     "ladder_racers r WHERE r.ladder_id = l.id) != 4 OR (SELECT "
                                     "count(*) FROM ladder_pairings p WHERE p.ladder_id = l.id) "
                                     "!= 3"),
                     QString("0"));
            LadderDay d(file, 6, 4);
            d.Open();
            QVERIFY(d.ladders.Ladders().size() <= 1);
        }
    }
};
RENNUHR_TEST(LadderKillTest);

#include "tst_ladderkill.moc"
