#pragma once

#include "ComLineEvent.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>

// Line events on their way from the wait thread to the user-interface thread, in order. The
// wait thread never waits for the consumer; a full queue refuses the event.
class TLineEventQueue {
public:
    static constexpr std::size_t kDefaultCapacity = 4096;

    explicit TLineEventQueue(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    enum class TPushResult {
        Queued,     // the consumer has been told already and will take it
        QueuedWake, // the consumer must be told
        Full        // refused
    };
    TPushResult Push(const TComLineEvent& event);
    // False when empty; the next Push then asks for a wake-up again.
    bool Pop(TComLineEvent& event);

    // Changes that found the queue full and had to wait, folded into a later event.
    quint64 Overflows() const { return overflows_.load(); }
    void CountOverflow() { ++overflows_; }
    // Events taken since the queue was made.
    quint64 Pushed() const { return pushed_.load(); }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<TComLineEvent> events_;
    bool wakePending_ = false;
    std::atomic<quint64> overflows_{0};
    std::atomic<quint64> pushed_{0};
};
