#pragma once

#include "ComLineEvent.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class TComPort;
class TSerialDevice;
class THighResTimer;

// One line event waiting for the user-interface thread. Shared with the queued call that
// delivers it, which may run after the thread has gone.
class TComHandOver {
public:
    // On the user-interface thread: takes the event if the ticket is still the pending one.
    bool Begin(quint64 ticket, TComLineEvent& event);
    // False once the port was closed or reopened during the delivery.
    bool IsCurrent(quint64 ticket);
    void Finish(quint64 ticket);

private:
    friend class TComThread;

    std::mutex mutex_;
    std::condition_variable done_;
    quint64 ticket_ = 0;
    bool pending_ = false;
    bool stopped_ = false;
    TComLineEvent event_;
};

// The wait thread: sleeps in the driver until a watched line changes, reads the time base,
// the levels and the counters at once, and hands the event to the port's thread, waiting
// until it has been delivered.
class TComThread {
public:
    TComThread(TComPort& port, TSerialDevice& device, const THighResTimer& timeBase,
               quint32 lineMask);
    ~TComThread();

    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // False once the thread has ended on its own (device gone or failing).
    bool IsRunning() const { return !exited_.load(); }

    // Ends the thread and joins it; a delivery not yet begun is dropped.
    void Stop();

private:
    struct Snapshot {
        quint32 status = 0;
        TLineCounts counts;
        bool hasCounters = false;
    };

    void Run();
    bool Read(Snapshot& snapshot);
    void HandOver(const TComLineEvent& event);

    TComPort& port_;
    TSerialDevice& device_;
    const THighResTimer& timeBase_;
    const quint32 lineMask_;
    std::shared_ptr<TComHandOver> handOver_ = std::make_shared<TComHandOver>();
    std::atomic<bool> stop_{false};
    std::atomic<bool> exited_{false};
    std::mutex exitMutex_;
    std::condition_variable exitChanged_;
    std::thread thread_;
};
