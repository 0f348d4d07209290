#pragma once

#include <QObject>
#include <QPageLayout>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QPagedPaintDevice;
class QPainter;

// Something to print: pages painted into a PDF, handed to a print queue of the system.
struct TPrintJob {
    QString printer; // the print queue; empty: the system's default printer
    QString title;   // the job's name in the print queue
    QPageLayout layout;
    // Paints the pages (newPage() between them). Runs on the printing thread: it holds copies
    // of everything it paints.
    std::function<void(QPagedPaintDevice& device, QPainter& painter)> paint;
};

// Prints on a thread of its own, in the order given: adding a job never waits. A job the print
// queue does not take stays first and is tried again every few seconds and when a job is added;
// the failure is told once, and told over when a job prints.
class TPrintQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryIntervalMs = 5000;

    explicit TPrintQueue(QObject* parent = nullptr);
    // Close()s.
    ~TPrintQueue() override;

    void Add(TPrintJob job);
    // Jobs not yet taken by a print queue, the one being printed included.
    int Waiting() const;
    // Why jobs cannot be printed, in German, while none has printed since; else empty.
    QString Failure() const { return failure_; }
    // From the next wait on.
    void SetRetryInterval(int ms);
    void RetryNow();
    // Prints what waits, unless the printer failed at the last attempt or fails now, and ends
    // the thread. Returns how many jobs were not printed; they are lost.
    int Close();

signals:
    // A print queue took the job.
    void Printed(const QString& title);
    // Failure() changed: a job failed after one had printed (or first), the reason changed,
    // or a job printed after failures.
    void FailureChanged(const QString& failure);

private:
    void Work();
    static QString Print(const TPrintJob& job);
    void Post(std::function<void()> report);

    QString failure_; // the window's thread's view

    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::deque<TPrintJob> jobs_;
    QString lastFailure_; // the printing thread's
    bool wake_ = false;   // added or asked to retry since the last attempt
    bool stop_ = false;
    int retryMs_ = kRetryIntervalMs;
    std::thread thread_;
};
