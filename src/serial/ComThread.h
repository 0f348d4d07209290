#pragma once

#include "ComLineEvent.h"
#include "SerialDevice.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class THighResTimer;
class TLineEventQueue;

// Levels and counters of the input lines read together.
struct TLineSnapshot {
    quint32 status = 0;
    TLineCounts counts;
    bool hasCounters = false;
};

// Reads the levels between two reads of the counters, so that both belong to one moment.
// 0 or the errno of the failed status read.
int ReadLineSnapshot(TSerialDevice& device, TLineSnapshot& snapshot);

// The wait thread: sleeps in the driver until a watched line changes, stamps the time base the
// moment the wait returns, reads the levels and counters, queues the event and goes straight
// back to waiting. It never waits for the consumer of the queue.
class TComThread {
public:
    // All called on the wait thread.
    struct TCallbacks {
        std::function<void()> wake;    // the queue has events for the consumer
        std::function<void()> polling; // the driver cannot wait: the lines are polled
        std::function<void()> ended;   // the thread ended on its own (device gone)
    };

    // initial: the lines as they stood when the port opened; changes count from there.
    TComThread(TSerialDevice& device, const THighResTimer& timeBase, quint32 lineMask,
               const TLineSnapshot& initial, TLineEventQueue& queue, TCallbacks callbacks);
    ~TComThread();

    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // False once the thread has ended on its own.
    bool IsRunning() const { return !exited_.load(); }

    // Ends the thread and joins it; no callback runs after it returns.
    void Stop();

private:
    void Run();

    TSerialDevice& device_;
    const THighResTimer& timeBase_;
    const quint32 lineMask_;
    const TLineSnapshot initial_;
    TLineEventQueue& queue_;
    const TCallbacks callbacks_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> exited_{false};
    std::mutex exitMutex_;
    std::condition_variable exitChanged_;
    std::thread thread_;
};
