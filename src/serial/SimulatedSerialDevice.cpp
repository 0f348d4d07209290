#include "SimulatedSerialDevice.h"

#include <algorithm>
#include <cerrno>

class TSimulatedSerialDevice final : public TSerialDevice {
public:
    explicit TSimulatedSerialDevice(std::shared_ptr<TSimulatedSerialPort> port)
        : port_(std::move(port)) {}
    ~TSimulatedSerialDevice() override { Close(); }

    int Open(const QString& path) override {
        std::lock_guard lock(port_->mutex_);
        if (!port_->present_) return ENOENT;
        if (!port_->path_.isEmpty() && path != port_->path_) return ENOENT;
        if (port_->openError_) return port_->openError_;
        if (port_->open_) return EBUSY;
        port_->open_ = true;
        port_->openedPath_ = path;
        ++port_->openCount_;
        port_->cancel_ = false;
        open_ = true;
        plug_ = port_->plug_;
        usb_ = IsUsbSerialDevice(path);
        return 0;
    }

    bool HasUartType() override {
        std::lock_guard lock(port_->mutex_);
        return !usb_ && port_->hasUart_;
    }

    int Configure(const TSerialConfig& config) override {
        std::lock_guard lock(port_->mutex_);
        if (!Attached()) return EIO;
        if (port_->configureError_) return port_->configureError_;
        port_->config_ = config;
        return 0;
    }

    int SetOutputLines(bool dtr, bool rts) override {
        std::lock_guard lock(port_->mutex_);
        if (!Attached()) return EIO;
        port_->dtr_ = dtr;
        port_->rts_ = rts;
        return 0;
    }

    int ReadModemStatus(quint32& status) override {
        std::lock_guard lock(port_->mutex_);
        status = 0;
        if (!Attached()) return EIO;
        port_->Publish();
        status = port_->shownLines_;
        return 0;
    }

    int ReadCounters(TLineCounts& counts) override {
        std::lock_guard lock(port_->mutex_);
        if (!Attached()) return EIO;
        if (!port_->hasCounters_) return ENOTTY;
        port_->Publish();
        counts = port_->shownCounts_;
        return 0;
    }

    TWaitResult WaitForChange(quint32 mask) override {
        std::unique_lock lock(port_->mutex_);
        ++port_->waitCalls_;
        if (!Attached()) return TWaitResult::Gone;
        if (port_->waitRefused_ && !polling_) {
            polling_ = true;
            return TWaitResult::Polling;
        }
        // Like TIOCMIWAIT: only what reaches the host after the wait began wakes it.
        port_->Publish();
        const TLineCounts start = port_->shownCounts_;
        auto moved = [&] {
            const TLineCounts& now = port_->shownCounts_;
            return ((mask & kModemCTS) && now.cts != start.cts) ||
                   ((mask & kModemDSR) && now.dsr != start.dsr) ||
                   ((mask & kModemRing) && now.ring != start.ring) ||
                   ((mask & kModemRLSD) && now.rlsd != start.rlsd);
        };
        for (;;) {
            if (!Attached()) return TWaitResult::Gone;
            if (port_->cancel_) {
                port_->cancel_ = false;
                return TWaitResult::Interrupted;
            }
            port_->Publish();
            if (moved()) return TWaitResult::Changed;
            if (port_->pending_.empty())
                port_->changed_.wait(lock);
            else
                port_->changed_.wait_until(lock, port_->Delivery(port_->pending_.front().at));
        }
    }

    void CancelWait() override {
        {
            std::lock_guard lock(port_->mutex_);
            port_->cancel_ = true;
        }
        port_->changed_.notify_all();
    }

    void Close() override {
        if (!open_) return;
        std::lock_guard lock(port_->mutex_);
        // A device left over from before an unplug no longer holds the port.
        if (plug_ == port_->plug_) {
            port_->open_ = false;
            port_->lowLatency_ = false;
        }
        open_ = false;
    }

    int SetLowLatency() override {
        std::lock_guard lock(port_->mutex_);
        if (!Attached()) return EIO;
        port_->lowLatency_ = true;
        return 0;
    }

    int LatencyTimerMs() override {
        std::lock_guard lock(port_->mutex_);
        if (!Attached()) return -1;
        return int(
            std::chrono::duration_cast<std::chrono::milliseconds>(port_->PacketInterval()).count());
    }

    QString ProductName() override {
        std::lock_guard lock(port_->mutex_);
        return port_->product_;
    }

private:
    bool Attached() const { return open_ && port_->Attached(plug_); }

    std::shared_ptr<TSimulatedSerialPort> port_;
    bool open_ = false;
    bool usb_ = false;
    bool polling_ = false;
    quint64 plug_ = 0;
};

std::shared_ptr<TSimulatedSerialPort> TSimulatedSerialPort::Create() {
    return std::shared_ptr<TSimulatedSerialPort>(new TSimulatedSerialPort);
}

TSerialDeviceFactory TSimulatedSerialPort::Factory() {
    std::shared_ptr<TSimulatedSerialPort> self = shared_from_this();
    return [self] { return std::make_unique<TSimulatedSerialDevice>(self); };
}

void TSimulatedSerialPort::SetPath(const QString& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
}

void TSimulatedSerialPort::SetOpenError(int error) {
    std::lock_guard lock(mutex_);
    openError_ = error;
}

void TSimulatedSerialPort::SetConfigureError(int error) {
    std::lock_guard lock(mutex_);
    configureError_ = error;
}

void TSimulatedSerialPort::SetUartType(bool hasUart) {
    std::lock_guard lock(mutex_);
    hasUart_ = hasUart;
}

void TSimulatedSerialPort::SetHasCounters(bool hasCounters) {
    std::lock_guard lock(mutex_);
    hasCounters_ = hasCounters;
}

void TSimulatedSerialPort::SetUsbAdapter(const QString& product, int latencyMs) {
    std::lock_guard lock(mutex_);
    product_ = product;
    latencyMs_ = std::max(latencyMs, 0);
}

void TSimulatedSerialPort::SetLowLatencyHonoured(bool honoured) {
    std::lock_guard lock(mutex_);
    lowLatencyHonoured_ = honoured;
}

void TSimulatedSerialPort::SetWaitRefused(bool refused) {
    std::lock_guard lock(mutex_);
    waitRefused_ = refused;
}

TSimulatedSerialPort::Clock::duration TSimulatedSerialPort::PacketInterval() const {
    if (latencyMs_ == 0) return Clock::duration::zero();
    return std::chrono::milliseconds(lowLatency_ && lowLatencyHonoured_ ? 1 : latencyMs_);
}

TSimulatedSerialPort::Clock::time_point TSimulatedSerialPort::Delivery(Clock::time_point at) const {
    const Clock::duration interval = PacketInterval();
    if (interval == Clock::duration::zero()) return at;
    // The chip sends a status packet every interval, whether anything changed or not.
    return epoch_ + ((at - epoch_) / interval + 1) * interval;
}

void TSimulatedSerialPort::Publish() {
    const Clock::time_point now = Clock::now();
    while (!pending_.empty() && Delivery(pending_.front().at) <= now) {
        // A packet carries the levels of its moment only: a pulse between two packets is
        // never seen, and the driver counts one transition per line that differs.
        const Clock::time_point packet = Delivery(pending_.front().at);
        quint32 lines = shownLines_;
        while (!pending_.empty() && Delivery(pending_.front().at) == packet) {
            lines = pending_.front().lines;
            pending_.pop_front();
        }
        Count(shownCounts_, shownLines_ ^ lines, 1);
        shownLines_ = lines;
    }
}

void TSimulatedSerialPort::Count(TLineCounts& counts, quint32 lines, quint32 transitions) {
    if (lines & kModemCTS) counts.cts += transitions;
    if (lines & kModemDSR) counts.dsr += transitions;
    if (lines & kModemRing) counts.ring += transitions;
    if (lines & kModemRLSD) counts.rlsd += transitions;
}

void TSimulatedSerialPort::Record() {
    if (PacketInterval() == Clock::duration::zero()) {
        shownLines_ = lines_;
        shownCounts_ = counts_;
    } else {
        pending_.push_back({Clock::now(), lines_});
    }
}

void TSimulatedSerialPort::SetLines(quint32 status, quint32 folded) {
    {
        std::lock_guard lock(mutex_);
        status &= kModemLines;
        Count(counts_, lines_ ^ status, 1);
        Count(counts_, folded & kModemLines, 2);
        lines_ = status;
        Record();
    }
    changed_.notify_all();
}

void TSimulatedSerialPort::Pulse(quint32 lines) {
    {
        std::lock_guard lock(mutex_);
        Count(counts_, lines & kModemLines, 2);
        Record();
    }
    changed_.notify_all();
}

void TSimulatedSerialPort::Vanish() {
    {
        std::lock_guard lock(mutex_);
        present_ = false;
        ++plug_;
        open_ = false;
        lowLatency_ = false;
    }
    changed_.notify_all();
}

void TSimulatedSerialPort::Return() {
    std::lock_guard lock(mutex_);
    present_ = true;
}

quint32 TSimulatedSerialPort::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool TSimulatedSerialPort::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

QString TSimulatedSerialPort::OpenedPath() const {
    std::lock_guard lock(mutex_);
    return openedPath_;
}

int TSimulatedSerialPort::OpenCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

TSerialConfig TSimulatedSerialPort::Config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

bool TSimulatedSerialPort::Dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

bool TSimulatedSerialPort::Rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool TSimulatedSerialPort::LowLatency() const {
    std::lock_guard lock(mutex_);
    return lowLatency_;
}

int TSimulatedSerialPort::WaitCalls() const {
    std::lock_guard lock(mutex_);
    return waitCalls_;
}
