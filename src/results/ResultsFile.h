#pragma once

#include "LadderRecord.h"
#include "Run.h"
#include "export/SaveBytes.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QString>

#include <optional>

class QSqlError;

// The results file itself: one SQLite connection with its schema and statements. It belongs to
// the thread that opens it (Qt SQL's connections do); the database runs it on its worker.
class TResultsFile {
public:
    // 1: the runs; 2: the ladders beside them.
    static constexpr int kSchemaVersion = 2;
    // Waits this long for another program's write lock before the write counts as failed.
    static constexpr int kBusyTimeoutMs = 2000;

    // What the file holds before anything is written to it in a session.
    struct Summary {
        qint64 maxId = 0;
        QMap<QDate, int> heats; // the highest heat number of each day
        qint64 maxLadderId = 0;
    };

    explicit TResultsFile(QString fileName);
    ~TResultsFile();
    TResultsFile(const TResultsFile&) = delete;
    TResultsFile& operator=(const TResultsFile&) = delete;

    QString FileName() const { return fileName_; }
    // Opens the file, creating it and its schema when needed; WAL journal, every commit synced.
    // A file of another schema version is left as it is.
    bool Open();
    bool IsOpen() const { return open_; }
    void Close();

    std::optional<Summary> ReadSummary();
    std::optional<TRuns> ReadDay(QDate day);
    // The ladders made on the day and those of the day before that are not finished, each with
    // the runs of its heats.
    std::optional<TLadderRecords> ReadLadders(QDate day);

    bool Begin();
    bool Commit();
    void Rollback();
    // Inserts the run, or replaces the one with its id.
    bool Upsert(const TRun& run);
    bool SetVoid(const QList<qint64>& ids, bool voided, const QString& reason);
    // Replaces what the file holds of the ladder with the record (its runs aside).
    bool WriteLadder(const TLadderRecord& ladder);
    bool RemoveLadder(qint64 id);

    // Why the last step failed, in German, as the notice bar shows file failures.
    FileWriteResult Failure() const { return failure_; }

private:
    bool Fail(const QSqlError& error);
    bool Fail(const QString& reason, const QString& detail);
    bool Exec(QSqlQuery& query);
    bool Exec(const QString& statement);
    bool Prepare(QSqlQuery& query, const QString& statement);
    bool PrepareSchema();

    QString fileName_;
    QString connection_;
    bool open_ = false;
    std::optional<QSqlQuery> upsert_;
    FileWriteResult failure_;
};
