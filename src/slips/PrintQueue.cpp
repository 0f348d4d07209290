#include "PrintQueue.h"

#include "PrintSubmit.h"
#include "SlipPaint.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <chrono>

TPrintQueue::TPrintQueue(QObject* parent) : QObject(parent) {
    thread_ = std::thread([this] { Work(); });
}

TPrintQueue::~TPrintQueue() {
    Close();
}

void TPrintQueue::Add(TPrintJob job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        wake_ = true;
    }
    work_.notify_all();
}

int TPrintQueue::Waiting() const {
    std::lock_guard lock(mutex_);
    return int(jobs_.size());
}

void TPrintQueue::SetRetryInterval(int ms) {
    std::lock_guard lock(mutex_);
    retryMs_ = ms;
}

void TPrintQueue::RetryNow() {
    {
        std::lock_guard lock(mutex_);
        wake_ = true;
    }
    work_.notify_all();
}

int TPrintQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    if (thread_.joinable()) thread_.join();
    return Waiting();
}

void TPrintQueue::Post(std::function<void()> report) {
    QMetaObject::invokeMethod(this, std::move(report), Qt::QueuedConnection);
}

void TPrintQueue::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // A failed job stays first, so a failure means jobs wait.
        if (!lastFailure_.isEmpty())
            work_.wait_for(lock, std::chrono::milliseconds(retryMs_),
                           [this] { return stop_ || wake_; });
        else
            work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        // A closing program does not wait once more for a printer that fails.
        if (stop_ && (jobs_.empty() || !lastFailure_.isEmpty())) return;
        if (jobs_.empty()) continue;
        wake_ = false;
        const TPrintJob job = jobs_.front();
        lock.unlock();
        const QString failure = Print(job);
        lock.lock();
        if (failure.isEmpty()) {
            jobs_.pop_front();
            const bool recovered = !std::exchange(lastFailure_, QString()).isEmpty();
            Post([this, title = job.title, recovered] {
                if (recovered) {
                    failure_.clear();
                    emit FailureChanged(failure_);
                }
                emit Printed(title);
            });
        } else {
            if (failure != lastFailure_)
                Post([this, failure] {
                    failure_ = failure;
                    emit FailureChanged(failure_);
                });
            lastFailure_ = failure;
        }
    }
}

QString TPrintQueue::Print(const TPrintJob& job) {
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("rennuhr-druck-XXXXXX.pdf")));
    if (!file.open())
        return QStringLiteral("die Druckdatei kann nicht angelegt werden: ") + file.errorString();
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPrintResolution);
        writer.setTitle(job.title);
        writer.setCreator(QStringLiteral("Rennuhr"));
        writer.setPageLayout(job.layout);
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("die Druckdatei kann nicht geschrieben werden");
        job.paint(writer, painter);
        painter.end();
    }
    if (!file.flush() || file.error() != QFileDevice::NoError || file.size() == 0)
        return QStringLiteral("die Druckdatei kann nicht geschrieben werden: ") +
               file.errorString();
    return SubmitPrintJob({job.printer, file.fileName(), job.title, job.layout.pageSize().key()});
}
