#include "BackgroundWriter.h"

#include "SaveBytes.h"

#include <QMetaObject>

#include <algorithm>

TBackgroundWriter::TBackgroundWriter(QObject* parent)
    : QObject(parent), sink_(SaveFileBytes), appendSink_(AppendFileBytes) {
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

void TBackgroundWriter::Submit(const QString& fileName, QByteArray bytes) {
    {
        std::lock_guard lock(mutex_);
        bool replaced = false;
        for (Job& job : jobs_)
            if (job.fileName == fileName && !job.append) {
                job.bytes = std::move(bytes);
                replaced = true;
                break;
            }
        if (!replaced) jobs_.push_back({fileName, std::move(bytes), false, {}, false});
    }
    work_.notify_one();
}

void TBackgroundWriter::Append(const QString& fileName, QByteArray bytes, QByteArray header,
                               bool sync) {
    {
        std::lock_guard lock(mutex_);
        bool joined = false;
        for (Job& job : jobs_)
            if (job.fileName == fileName && job.append) {
                job.bytes += bytes;
                job.header = std::move(header);
                job.sync = job.sync || sync;
                joined = true;
                break;
            }
        if (!joined) jobs_.push_back({fileName, std::move(bytes), true, std::move(header), sync});
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

void TBackgroundWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (jobs_.empty()) return; // stopped, and nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        writing_ = true;
        const Sink sink = sink_;
        const AppendSink appendSink = appendSink_;
        lock.unlock();
        const FileWriteResult result = Write(job, sink, appendSink);
        lock.lock();
        writing_ = false;
        done_.push_back({job.fileName, result});
        if (!reportPosted_) {
            reportPosted_ = true;
            QMetaObject::invokeMethod(this, &TBackgroundWriter::Report, Qt::QueuedConnection);
        }
        if (jobs_.empty()) idle_.notify_all();
    }
}

FileWriteResult TBackgroundWriter::Write(Job& job, const Sink& sink, const AppendSink& appendSink) {
    if (!job.append) return sink(job.fileName, job.bytes);
    // What an earlier failure kept goes first, so the file still reads in order.
    QByteArray bytes = heldBack_.take(job.fileName) + job.bytes;
    qsizetype written = 0;
    const FileWriteResult result = appendSink(job.fileName, bytes, job.header, job.sync, written);
    if (!result.ok && written < bytes.size()) {
        bytes.remove(0, written);
        // A disk that stays full must not fill the memory as well: the newest bytes go.
        heldBack_.insert(job.fileName, bytes.first(std::min(bytes.size(), kMaxHeldBackBytes)));
    }
    return result;
}

void TBackgroundWriter::Report() {
    std::deque<Done> done;
    {
        std::lock_guard lock(mutex_);
        done.swap(done_);
        reportPosted_ = false;
    }
    for (const Done& d : done)
        emit Written(d.fileName, d.result);
}
