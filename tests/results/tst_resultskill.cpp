// A real program recording heats, killed with SIGKILL: in the middle of a heat, right after
// one, and at any moment while heats follow each other as fast as the core can run them, so
// that the kill falls into a write. The file must open whole and hold every finished heat.
#include "Recorded.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The child's part: three heats, then "mid" stops lane 1 of a fourth and "after" stops there;
// both wait, their runs written, to be killed. "loop" runs heats without end.
int RecordUntilKilled() {
    RecordedHeat h;
    h.file = qEnvironmentVariable("RENNUHR_RESULTS_FILE");
    h.Participants(2);
    h.Open();
    // Every heat between the same two riders, whose rows carry their names.
    const auto heat = [&h](qint64 ms1) {
        if (h.heat.ResetOpen()) h.Key(h.sequence.mReset);
        h.heat.SetStartNumber(1, 1);
        h.heat.SetStartNumber(2, 2);
        h.Run(ms1, 9500);
    };
    const QString mode = qEnvironmentVariable("RENNUHR_KILL_MODE");
    if (mode == "loop") {
        heat(9000);
        h.db.Flush();
        Say("ready");
        for (qint64 i = 0;; ++i) {
            heat(9000 + i % 1000);
            QCoreApplication::processEvents(); // the database's reports
        }
    }
    for (int n = 1; n <= 3; ++n)
        heat(9000 + n);
    if (mode == "mid") {
        h.Key(h.sequence.mReset);
        h.heat.SetStartNumber(1, 1);
        h.Start();
        h.At(8000);
        h.Key(h.sequence.mStop1);
    }
    h.db.Flush();
    Say("ready");
    for (;;)
        ::pause();
}
RENNUHR_CHILD_ROLE(RecordUntilKilled);

// Starts the child on a file in folder, waits for it to say it is ready, lets it go on for a
// while and kills it. What the child leaves in its sandbox goes with the folder.
bool KillChild(const QTemporaryDir& folder, const QString& mode, int afterReadyMs) {
    const QString file = TResultsDatabase::FileName(folder.path(), "Rennuhr");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", folder.path());
    environment.insert("RENNUHR_TEST_CHILD", "RecordUntilKilled");
    environment.insert("RENNUHR_RESULTS_FILE", file);
    environment.insert("RENNUHR_KILL_MODE", mode);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted()) return false;
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains("ready\n") && clock.elapsed() < 20000 &&
           child.state() == QProcess::Running) {
        child.waitForReadyRead(50);
        said += child.readAllStandardOutput();
    }
    if (!said.contains("ready\n")) return false;
    if (afterReadyMs > 0) child.waitForFinished(afterReadyMs); // it never finishes by itself
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    return child.exitStatus() == QProcess::CrashExit;
}

// Heat number and how many runs it has, in order.
QList<QStringList> Heats(const QString& file) {
    return Select(file, "SELECT heat, count(*) FROM runs GROUP BY heat ORDER BY heat");
}

} // namespace

class ResultsKillTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aKillMidHeatKeepsEveryFinishedHeatAndTheLaneThatStopped() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        QVERIFY(KillChild(dir, "mid", 0));
        QCOMPARE(SelectOne(file, "PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(Heats(file), (QList<QStringList>{{"1", "2"}, {"2", "2"}, {"3", "2"}, {"4", "1"}}));
        QCOMPARE(SelectOne(file, "SELECT name || ' ' || final_time FROM runs WHERE heat = 4"),
                 QString("Fahrer1 8,000"));
    }

    void aKillRightAfterAHeatKeepsIt() {
        QTemporaryDir dir;
        const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
        QVERIFY(KillChild(dir, "after", 0));
        QCOMPARE(SelectOne(file, "PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(Heats(file), (QList<QStringList>{{"1", "2"}, {"2", "2"}, {"3", "2"}}));
        // A new session goes on from there.
        RecordedHeat h;
        h.file = file;
        h.Open();
        QCOMPARE(h.db.Runs().size(), 6);
        h.Run(9000, 9500);
        h.db.Flush();
        QCOMPARE(Heats(file).last(), (QStringList{"4", "2"}));
    }

    // Heats as fast as the core runs them keep the worker writing all the time, many runs a
    // transaction: the kill falls into a write. What the file holds is whole and in order: heats
    // 1 … n without a gap, each with both lanes but perhaps the last.
    void aKillInTheMiddleOfAWriteNeverDamagesTheFile() {
        for (const int afterMs : {30, 170}) {
            QTemporaryDir dir;
            const QString file = TResultsDatabase::FileName(dir.path(), "Rennuhr");
            QVERIFY(KillChild(dir, "loop", afterMs));
            QCOMPARE(SelectOne(file, "PRAGMA integrity_check"), QString("ok"));
            const QList<QStringList> heats = Heats(file);
            QVERIFY2(heats.size() > 1, "the child wrote too little to tell");
            for (int i = 0; i < heats.size(); ++i) {
                QCOMPARE(heats[i][0], QString::number(i + 1));
                if (i + 1 < heats.size()) QCOMPARE(heats[i][1], QString("2"));
            }
            QCOMPARE(SelectOne(file, "SELECT count(*) FROM runs WHERE name NOT LIKE 'Fahrer_'"),
                     QString("0"));
            QCOMPARE(SelectOne(file, "SELECT max(id) = count(*) FROM runs"), QString("1"));
        }
    }
};
RENNUHR_TEST(ResultsKillTest);

#include "tst_resultskill.moc"
