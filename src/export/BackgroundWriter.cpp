#include "BackgroundWriter.h"

#include "SaveBytes.h"

#include <QMetaObject>
#include <QTimer>

TBackgroundWriter::TBackgroundWriter(QObject* parent)
    : QObject(parent), RetryTimer(new QTimer(this)), sink_(SaveFileBytes),
      appendSink_(AppendFileBytes) {
    RetryTimer->setInterval(kRetryIntervalMs);
    connect(RetryTimer, &QTimer::timeout, this, &TBackgroundWriter::RetryFailed);
    thread_ = std::thread([this] { Run(); });
}

TBackgroundWriter::~TBackgroundWriter() {
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return jobs_.empty() && !writing_; });
        stop_ = true;
    }
    work_.notify_all();
    thread_.join();
}

void TBackgroundWriter::SetSink(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = sink ? std::move(sink) : Sink(SaveFileBytes);
}

void TBackgroundWriter::SetAppendSink(AppendSink sink) {
    std::lock_guard lock(mutex_);
    appendSink_ = sink ? std::move(sink) : AppendSink(AppendFileBytes);
}

TBackgroundWriter::Job* TBackgroundWriter::Queued(const QString& fileName, bool append) {
    for (Job& job : jobs_)
        if (job.fileName == fileName && job.append == append) return &job;
    return nullptr;
}

void TBackgroundWriter::Submit(const QString& fileName, QByteArray bytes) {
    {
        std::lock_guard lock(mutex_);
        failed_.remove(fileName); // these bytes are newer than those that failed
        if (Job* job = Queued(fileName, false))
            job->bytes = std::move(bytes);
        else
            jobs_.push_back({fileName, std::move(bytes), false, {}, false});
    }
    work_.notify_one();
}

void TBackgroundWriter::Append(const QString& fileName, QByteArray bytes, QByteArray header,
                               bool sync) {
    {
        std::lock_guard lock(mutex_);
        if (Job* job = Queued(fileName, true)) {
            job->bytes += bytes;
            job->header = std::move(header);
            job->sync = job->sync || sync;
        } else {
            jobs_.push_back({fileName, std::move(bytes), true, std::move(header), sync});
        }
    }
    work_.notify_one();
}

void TBackgroundWriter::Drain() {
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return jobs_.empty() && !writing_; });
    }
    Report();
}

bool TBackgroundWriter::Busy() const {
    std::lock_guard lock(mutex_);
    return !jobs_.empty() || writing_;
}

void TBackgroundWriter::RetryFailed() {
    {
        std::lock_guard lock(mutex_);
        for (const Job& job : std::as_const(failed_))
            if (!Queued(job.fileName, false)) jobs_.push_back(job);
        failed_.clear();
        // An empty append carries what was held back; the write puts it in front.
        for (const Job& held : std::as_const(heldBack_))
            if (!Queued(held.fileName, true))
                jobs_.push_back({held.fileName, {}, true, held.header, held.sync});
    }
    work_.notify_one();
}

void TBackgroundWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (jobs_.empty()) return; // stopped, and nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        if (job.append) {
            // What an earlier failure kept goes first, so the file still reads in order.
            const Job held = heldBack_.take(job.fileName);
            job.bytes.prepend(held.bytes);
            job.sync = job.sync || held.sync;
        }
        writing_ = true;
        const Sink sink = sink_;
        const AppendSink appendSink = appendSink_;
        lock.unlock();
        qsizetype written = 0;
        const FileWriteResult result =
            job.append ? appendSink(job.fileName, job.bytes, job.header, job.sync, written)
                       : sink(job.fileName, job.bytes);
        lock.lock();
        writing_ = false;
        if (result.ok) {
            failed_.remove(job.fileName);
        } else if (job.append) {
            // A disk that stays full must not fill the memory as well: the newest bytes go.
            job.bytes = job.bytes.sliced(std::min(written, job.bytes.size()));
            job.bytes.truncate(kMaxHeldBackBytes);
            heldBack_.insert(job.fileName, job);
        } else if (!Queued(job.fileName, false)) {
            failed_.insert(job.fileName, job);
        }
        done_.push_back({job.fileName, result});
        if (!reportPosted_) {
            reportPosted_ = true;
            QMetaObject::invokeMethod(this, &TBackgroundWriter::Report, Qt::QueuedConnection);
        }
        if (jobs_.empty()) idle_.notify_all();
    }
}

void TBackgroundWriter::Report() {
    std::deque<Done> done;
    bool failing = false;
    {
        std::lock_guard lock(mutex_);
        done.swap(done_);
        reportPosted_ = false;
        failing = !failed_.isEmpty() || !heldBack_.isEmpty();
    }
    for (const Done& d : done)
        emit Written(d.fileName, d.result);
    if (!failing)
        RetryTimer->stop();
    else if (!RetryTimer->isActive())
        RetryTimer->start();
}
