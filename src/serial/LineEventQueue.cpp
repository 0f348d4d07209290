#include "LineEventQueue.h"

TLineEventQueue::TPushResult TLineEventQueue::Push(const TComLineEvent& event) {
    std::lock_guard lock(mutex_);
    if (events_.size() >= capacity_) return TPushResult::Full;
    events_.push_back(event);
    ++pushed_;
    if (wakePending_) return TPushResult::Queued;
    wakePending_ = true;
    return TPushResult::QueuedWake;
}

bool TLineEventQueue::Pop(TComLineEvent& event) {
    std::lock_guard lock(mutex_);
    if (events_.empty()) {
        // Cleared under the same lock as the emptiness test, so no push can slip between.
        wakePending_ = false;
        return false;
    }
    event = events_.front();
    events_.pop_front();
    return true;
}
