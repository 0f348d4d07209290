#pragma once

#include "LadderRecord.h"
#include "ResultsFile.h"
#include "Run.h"
#include "export/SaveBytes.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Every lane result of every heat, in one SQLite file beside the backup, and the race day's
// runs in memory for the windows. The file is opened, written and read on a worker thread of
// its own; nothing here waits for the disk, so a slow or full disk never holds up a heat. What
// could not be written is kept and tried again with the next write and every few seconds.
//
// Ids and heat numbers are given here, on the caller's thread, so that the windows see a run
// the moment it is recorded. Until the file has been read once (HasReadFile) they count from
// this session only (ids below 0); reading it moves them above what the file holds, and
// RunsReset tells the views.
class TResultsDatabase : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryIntervalMs = 5000;

    explicit TResultsDatabase(QObject* parent = nullptr);
    // Writes what is queued, then closes the file.
    ~TResultsDatabase() override;

    // "<title>-Ergebnisse.sqlite" in folder.
    static QString FileName(const QString& folder, const QString& programTitle);
    // What a notice of a failed write begins with.
    static QString FailureText();

    // Opens the file on the worker and reads the race day's runs: raceDay, or today when empty.
    void Open(const QString& fileName, QDate raceDay = {});
    QString FilePath() const { return fileName_; }
    // Tries once more to write what is queued, closes the file and ends the worker. Returns the
    // failure when runs could not be written (they are lost then), else empty.
    QString Close();
    // Waits until everything queued has been tried once, then reports as usual.
    void Flush();
    // Tries what failed now rather than at the next retry.
    void RetryNow();
    // How long what failed waits before it is tried again (kRetryIntervalMs); from the next wait.
    void SetRetryInterval(int ms);

    // The race day: the day the last heat started on (until then the day given to Open).
    QDate RaceDay() const { return raceDay_; }
    // Its runs by heat and lane, as recorded and changed.
    const TRuns& Runs() const { return runs_; }
    std::optional<TRun> Run(qint64 id) const;
    // The days with runs, in the file and recorded since; oldest first.
    QList<QDate> Days() const;
    bool HasReadFile() const { return fileRead_; }
    // Another day's runs, read on the worker; DayRead answers.
    void ReadDay(QDate day);

    // A heat starts on the day of startedAt; its number is one more than the day's highest.
    int BeginHeat(const QDateTime& startedAt, qint64 startTicks);
    // The lane's run of the heat begun last, when it has one.
    std::optional<TRun> HeatRun(int lane) const;
    // The runs of a start number in the last heat it ran in on the race day.
    TRuns LatestRuns(const QString& startNumber) const;
    // A run without an id becomes the lane's run of the heat begun last (replacing the lane's
    // earlier one); its day, heat, START and id are the heat's. A run with an id changes the
    // race day's run of that id (its results and marks). Unchanged runs are not written.
    void Store(TRun run);
    void Void(const QList<qint64>& ids, const QString& reason);
    void Unvoid(const QList<qint64>& ids);

    // The ladders read with the race day (its own and the day before's unfinished ones) and
    // those stored since, by id. They come once the file has been read (LaddersReset).
    const TLadderRecords& Ladders() const { return ladders_; }
    // A ladder without an id is new and gets one; that needs the file read, else 0 comes back
    // and nothing is stored. A ladder with an id replaces the one stored, at once here and
    // soon in the file.
    qint64 StoreLadder(TLadderRecord ladder);
    void RemoveLadder(qint64 id);

signals:
    void RunAdded(const TRun& run);
    void RunChanged(const TRun& run);
    // The race day's runs changed as a whole: another day, or what the file held came in.
    void RunsReset();
    // The ladders came in with the race day (after RunsReset).
    void LaddersReset();
    void DaysChanged();
    // error is empty when the day was read.
    void DayRead(QDate day, const TRuns& runs, const QString& error);
    // Also for runs of days not in memory.
    void VoidChanged(const QList<qint64>& ids, bool voided, const QString& reason);
    // After each attempt to write, as the file writer reports (for the notice bar).
    void Written(const QString& fileName, const FileWriteResult& result);
    // Once per run of failed writes, in German; a write that succeeds re-arms it.
    void WriteFailed(const QString& message);

private:
    struct Op {
        enum Kind { Upsert, SetVoid, LadderWrite, LadderRemove, Load, Read } kind = Upsert;
        // Numbered before the file was read: the worker moves the numbers.
        bool provisional = false;
        TRun run;
        QList<qint64> ids;
        bool voided = false;
        QString reason;
        QDate day;
        TLadderRecord ladder;

        bool Writes() const { return kind != Load && kind != Read; }
    };
    struct Done {
        enum Kind { Opened, Loaded, Read, Wrote } kind = Wrote;
        TResultsFile::Summary summary;
        QDate day;
        TRuns runs;
        TLadderRecords ladders;
        QString error;
        FileWriteResult result;
    };
    struct Heat {
        QDate day;
        int number = 0;
        QDateTime startedAt;
        qint64 startTicks = 0;
        qint64 ids[3] = {};
    };

    // Worker side.
    void Work();
    void Attempt(TResultsFile& file, TResultsFile::Summary& summary, std::deque<Op>& ops);
    void Post(std::vector<Done>& done);
    static bool Write(TResultsFile& file, const Op& op);
    static void Shift(Op& op, const TResultsFile::Summary& summary);

    // Caller side.
    void Enqueue(Op op);
    void Report();
    void Opened(const TResultsFile::Summary& summary);
    void Loaded(QDate day, const TRuns& runs, const TLadderRecords& ladders);
    void SwitchDay(QDate day);
    qint64 FileId(qint64 id) const;
    const TRun* Find(qint64 id) const;
    TRun* Find(qint64 id);
    void SetVoid(const QList<qint64>& ids, bool voided, const QString& reason);

    QString fileName_;
    QDate raceDay_;
    QDate openDay_; // the race day Open asked the worker to read
    TRuns runs_;
    Heat heat_;
    QMap<QDate, int> heatMax_;
    QSet<QDate> fileDays_; // days the file held runs of when it was read
    QSet<QDate> days_;
    bool fileRead_ = false;
    TResultsFile::Summary summary_;
    qint64 nextId_ = -1; // negative until the file is read
    TLadderRecords ladders_;
    qint64 nextLadderId_ = 0; // 0 until the file is read
    bool failureReported_ = false;

    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Op> ops_;
    QHash<qint64, Op*> queuedRuns_;    // the upserts in ops_, by run; a deque keeps them in place
    QHash<qint64, Op*> queuedLadders_; // the ladder writes in ops_, by ladder
    std::vector<Done> done_;
    bool fresh_ = false; // something was queued since the last attempt
    bool retry_ = false;
    bool busy_ = false;
    bool stop_ = false;
    bool reportPosted_ = false;
    int retryMs_ = kRetryIntervalMs;
    FileWriteResult lastFailure_;
    std::thread thread_;
};
