#include "BackgroundWriter.h"

#include "SaveBytes.h"

#include <QMetaObject>

TBackgroundWriter::TBackgroundWriter(QObject* parent) : QObject(parent), sink_(SaveFileBytes) {
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

void TBackgroundWriter::Submit(const QString& fileName, QByteArray bytes) {
    {
        std::lock_guard lock(mutex_);
        bool replaced = false;
        for (Job& job : jobs_)
            if (job.fileName == fileName) {
                job.bytes = std::move(bytes);
                replaced = true;
                break;
            }
        if (!replaced) jobs_.push_back({fileName, std::move(bytes)});
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
        lock.unlock();
        const FileWriteResult result = sink(job.fileName, job.bytes);
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
