#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QTimer;

// Writes files on a thread of its own, so that a slow disk never holds up the user-interface
// thread during a heat. The bytes are made by the caller; the files are written one at a
// time, in the order given. A file is either written whole or appended to. A whole file given
// again before its write has begun is written once, with the newest bytes; appends to a file
// that wait together are written together, in order. What could not be written is tried again
// with the next write of the file and every few seconds, until it is written or replaced.
class TBackgroundWriter : public QObject {
    Q_OBJECT
public:
    // Writes one file as a whole; runs on the writer's thread.
    using Sink = std::function<FileWriteResult(const QString& fileName, const QByteArray& bytes)>;
    // Adds bytes to the end of a file, header first when the file is new or empty, and syncs
    // it to the disk when asked; written gets how many of bytes reached the file. Runs on the
    // writer's thread.
    using AppendSink =
        std::function<FileWriteResult(const QString& fileName, const QByteArray& bytes,
                                      const QByteArray& header, bool sync, qsizetype& written)>;

    // Appends that could not be written are kept for the next append to the file, up to this.
    static constexpr qsizetype kMaxHeldBackBytes = 8 * 1024 * 1024;
    static constexpr int kRetryIntervalMs = 5000;

    explicit TBackgroundWriter(QObject* parent = nullptr);
    // Writes what is queued before it returns.
    ~TBackgroundWriter() override;

    // Replaces the file writer (the default replaces each file atomically and syncs it); for
    // tests and benchmarks that need a slow disk. Set it before the first Submit.
    void SetSink(Sink sink);
    void SetAppendSink(AppendSink sink);

    void Submit(const QString& fileName, QByteArray bytes);
    // Never rewrites what the file holds. Empty bytes with sync only bring what was appended
    // to the disk.
    void Append(const QString& fileName, QByteArray bytes, QByteArray header, bool sync);
    // Blocks until everything submitted is on disk, then reports the results.
    void Drain();
    // Something is queued or being written.
    bool Busy() const;

    // Queues again what failed and has not been replaced since; RetryTimer runs it while
    // anything failed.
    void RetryFailed();
    QTimer* RetryTimer;

signals:
    // On the thread that owns the writer, once per file written.
    void Written(const QString& fileName, const FileWriteResult& result);

private:
    struct Job {
        QString fileName;
        QByteArray bytes;
        bool append = false;
        QByteArray header;
        bool sync = false;
    };
    struct Done {
        QString fileName;
        FileWriteResult result;
    };

    void Run();
    void Report();
    // The job for the file that waits, if any; under the lock.
    Job* Queued(const QString& fileName, bool append);

    Sink sink_;
    AppendSink appendSink_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    std::deque<Done> done_;
    // What failed, by file: a whole file's newest bytes, and appended bytes not yet in their
    // file (with the header and sync they came with).
    QHash<QString, Job> failed_;
    QHash<QString, Job> heldBack_;
    bool writing_ = false;
    bool reportPosted_ = false;
    bool stop_ = false;
    std::thread thread_;
};
