#include "ComThread.h"

#include "ComPort.h"
#include "SerialDevice.h"
#include "race/HighResTimer.h"

#include <QMetaObject>

#include <chrono>

bool TComHandOver::Begin(quint64 ticket, TComLineEvent& event) {
    std::lock_guard lock(mutex_);
    if (stopped_ || !pending_ || ticket != ticket_) return false;
    event = event_;
    return true;
}

bool TComHandOver::IsCurrent(quint64 ticket) {
    std::lock_guard lock(mutex_);
    return !stopped_ && pending_ && ticket == ticket_;
}

void TComHandOver::Finish(quint64 ticket) {
    {
        std::lock_guard lock(mutex_);
        if (ticket != ticket_) return;
        pending_ = false;
    }
    done_.notify_all();
}

TComThread::TComThread(TComPort& port, TSerialDevice& device, const THighResTimer& timeBase,
                       quint32 lineMask)
    : port_(port), device_(device), timeBase_(timeBase), lineMask_(lineMask) {
    thread_ = std::thread([this] { Run(); });
}

TComThread::~TComThread() {
    Stop();
}

void TComThread::Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    {
        std::lock_guard lock(handOver_->mutex_);
        handOver_->stopped_ = true;
    }
    handOver_->done_.notify_all();
    // The wake-up can fall just before the thread enters its wait, so it is repeated until
    // the thread has left.
    std::unique_lock lock(exitMutex_);
    while (!exited_.load()) {
        lock.unlock();
        device_.CancelWait();
        lock.lock();
        exitChanged_.wait_for(lock, std::chrono::milliseconds(1),
                              [this] { return exited_.load(); });
    }
    lock.unlock();
    thread_.join();
}

bool TComThread::Read(Snapshot& snapshot) {
    // Counters before and after the levels: if they agree, levels and counters belong to the
    // same moment. A line that keeps chattering gets the last try's reading.
    for (int attempt = 0; attempt < 3; ++attempt) {
        TLineCounts before;
        snapshot.hasCounters = device_.ReadCounters(before) == 0;
        if (device_.ReadModemStatus(snapshot.status) != 0) return false;
        if (!snapshot.hasCounters) return true;
        if (device_.ReadCounters(snapshot.counts) != 0) {
            snapshot.hasCounters = false;
            return true;
        }
        if (snapshot.counts == before) return true;
    }
    return true;
}

void TComThread::Run() {
    RaiseWaitThreadPriority();
    Snapshot last;
    bool alive = Read(last);
    while (alive && !stop_.load()) {
        // Changes while the previous delivery ran: the next wait would not see them.
        qint64 ticks = timeBase_.NowTicks();
        Snapshot now;
        if (!Read(now)) break;
        TLineEdges edges = DecodeLineEdges(last.status, now.status, last.counts, now.counts,
                                           last.hasCounters && now.hasCounters);
        if (!(edges.changed & lineMask_)) {
            const TWaitResult result = device_.WaitForChange(lineMask_);
            if (result == TWaitResult::Interrupted) continue;
            // Gone or failing: waiting again would fail at once, so the thread ends.
            if (result != TWaitResult::Changed) break;
            ticks = timeBase_.NowTicks();
            if (!Read(now)) break;
            edges = DecodeLineEdges(last.status, now.status, last.counts, now.counts,
                                    last.hasCounters && now.hasCounters);
        }
        if (edges.changed & lineMask_) {
            TComLineEvent event;
            event.ticks = ticks;
            event.status = now.status;
            event.changed = edges.changed & lineMask_;
            event.rising = edges.rising & lineMask_;
            event.pulsed = edges.pulsed & lineMask_;
            event.hasCounters = last.hasCounters && now.hasCounters;
            HandOver(event);
        }
        last = now;
    }
    {
        std::lock_guard lock(exitMutex_);
        exited_.store(true);
    }
    exitChanged_.notify_all();
}

void TComThread::HandOver(const TComLineEvent& event) {
    std::shared_ptr<TComHandOver> handOver = handOver_;
    quint64 ticket;
    {
        std::lock_guard lock(handOver->mutex_);
        if (handOver->stopped_) return;
        ticket = ++handOver->ticket_;
        handOver->event_ = event;
        handOver->pending_ = true;
    }
    TComPort* port = &port_;
    QMetaObject::invokeMethod(
        port, [port, handOver, ticket] { port->DeliverLineEvent(*handOver, ticket); },
        Qt::QueuedConnection);
    std::unique_lock lock(handOver->mutex_);
    handOver->done_.wait(lock, [&] { return !handOver->pending_ || handOver->stopped_; });
}
