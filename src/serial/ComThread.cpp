#include "ComThread.h"

#include "LineEventQueue.h"
#include "base/HighResTimer.h"

#include <chrono>

int ReadLineSnapshot(TSerialDevice& device, TLineSnapshot& snapshot) {
    // A line that keeps chattering gets the last try's reading.
    for (int attempt = 0; attempt < 3; ++attempt) {
        TLineCounts before;
        snapshot.hasCounters = device.ReadCounters(before) == 0;
        if (const int error = device.ReadModemStatus(snapshot.status)) return error;
        if (!snapshot.hasCounters) return 0;
        if (device.ReadCounters(snapshot.counts) != 0) {
            snapshot.hasCounters = false;
            return 0;
        }
        if (snapshot.counts == before) return 0;
    }
    return 0;
}

TComThread::TComThread(TSerialDevice& device, const THighResTimer& timeBase, quint32 lineMask,
                       const TLineSnapshot& initial, TLineEventQueue& queue, TCallbacks callbacks)
    : device_(device), timeBase_(timeBase), lineMask_(lineMask), initial_(initial), queue_(queue),
      callbacks_(std::move(callbacks)) {
    thread_ = std::thread([this] { Run(); });
}

TComThread::~TComThread() {
    Stop();
}

void TComThread::Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true);
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

void TComThread::Run() {
    RaiseWaitThreadPriority();
    TLineSnapshot last = initial_;
    bool refused = false; // the change in hand found the queue full
    while (!stop_.load()) {
        // Stamped before anything else: the read may take a USB round trip.
        const qint64 ticks = timeBase_.NowTicks();
        TLineSnapshot now;
        if (ReadLineSnapshot(device_, now) != 0) break; // gone or failing
        const bool counters = last.hasCounters && now.hasCounters;
        const TLineEdges edges =
            DecodeLineEdges(last.status, now.status, last.counts, now.counts, counters);
        if (edges.changed & lineMask_) {
            TComLineEvent event;
            event.ticks = ticks;
            event.status = now.status;
            event.changed = edges.changed & lineMask_;
            event.rising = edges.rising & lineMask_;
            event.pulsed = edges.pulsed & lineMask_;
            event.folded = edges.folded;
            event.hasCounters = counters;
            const TLineEventQueue::TPushResult pushed = queue_.Push(event);
            if (pushed == TLineEventQueue::TPushResult::Full) {
                // Nothing is lost: the levels stay unread, so the change comes with the next
                // event that fits, only later.
                if (!refused) queue_.CountOverflow();
                refused = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            refused = false;
            last = now;
            if (pushed == TLineEventQueue::TPushResult::QueuedWake && callbacks_.wake)
                callbacks_.wake();
            // Round again at once: what changed while this one was read needs no new wait.
            continue;
        }
        last = now;
        const TWaitResult result = device_.WaitForChange(lineMask_);
        if (result == TWaitResult::Polling) {
            if (callbacks_.polling) callbacks_.polling();
            continue;
        }
        if (result != TWaitResult::Changed && result != TWaitResult::Interrupted)
            break; // gone or failing: waiting again would fail at once
    }
    const bool onItsOwn = !stop_.load();
    {
        std::lock_guard lock(exitMutex_);
        exited_.store(true);
    }
    exitChanged_.notify_all();
    if (onItsOwn && callbacks_.ended) callbacks_.ended();
}
