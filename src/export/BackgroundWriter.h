#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Writes files on a thread of its own, so that a slow disk never holds up the user-interface
// thread during a heat. The bytes are made by the caller; the files are written one at a
// time, in the order given. A file given again before its write has begun is written once,
// with the newest bytes.
class TBackgroundWriter : public QObject {
    Q_OBJECT
public:
    // Writes one file as a whole; runs on the writer's thread.
    using Sink = std::function<FileWriteResult(const QString& fileName, const QByteArray& bytes)>;

    explicit TBackgroundWriter(QObject* parent = nullptr);
    // Writes what is queued before it returns.
    ~TBackgroundWriter() override;

    // Replaces the file writer (the default replaces each file atomically and syncs it); for
    // tests and benchmarks that need a slow disk. Set it before the first Submit.
    void SetSink(Sink sink);

    void Submit(const QString& fileName, QByteArray bytes);
    // Blocks until everything submitted is on disk, then reports the results.
    void Drain();
    // Something is queued or being written.
    bool Busy() const;

signals:
    // On the thread that owns the writer, once per file written.
    void Written(const QString& fileName, const FileWriteResult& result);

private:
    struct Job {
        QString fileName;
        QByteArray bytes;
    };
    struct Done {
        QString fileName;
        FileWriteResult result;
    };

    void Run();
    void Report();

    Sink sink_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    std::deque<Done> done_;
    bool writing_ = false;
    bool reportPosted_ = false;
    bool stop_ = false;
    std::thread thread_;
};
