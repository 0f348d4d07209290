#include "SimulatedSerialDevice.h"

#include <cerrno>

class TSimulatedSerialDevice final : public TSerialDevice {
public:
    explicit TSimulatedSerialDevice(std::shared_ptr<TSimulatedSerialPort> port)
        : port_(std::move(port)) {}
    ~TSimulatedSerialDevice() override { Close(); }

    int Open(const QString& path) override {
        std::lock_guard lock(port_->mutex_);
        if (port_->openError_) return port_->openError_;
        if (port_->vanished_) return ENOENT;
        if (!port_->path_.isEmpty() && path != port_->path_) return ENOENT;
        if (port_->open_) return EBUSY;
        port_->open_ = true;
        port_->openedPath_ = path;
        ++port_->openCount_;
        port_->cancel_ = false;
        open_ = true;
        return 0;
    }

    bool IsSerialPort() override {
        std::lock_guard lock(port_->mutex_);
        return port_->isSerial_;
    }

    int Configure(const TSerialConfig& config) override {
        std::lock_guard lock(port_->mutex_);
        if (port_->configureError_) return port_->configureError_;
        port_->config_ = config;
        return 0;
    }

    int SetOutputLines(bool dtr, bool rts) override {
        std::lock_guard lock(port_->mutex_);
        if (port_->vanished_) return EIO;
        port_->dtr_ = dtr;
        port_->rts_ = rts;
        return 0;
    }

    int ReadModemStatus(quint32& status) override {
        std::lock_guard lock(port_->mutex_);
        ++port_->statusReads_;
        status = 0;
        if (port_->vanished_) return EIO;
        status = port_->lines_;
        return 0;
    }

    int ReadCounters(TLineCounts& counts) override {
        std::lock_guard lock(port_->mutex_);
        if (port_->vanished_) return EIO;
        if (!port_->hasCounters_) return ENOTTY;
        counts = port_->counts_;
        return 0;
    }

    TWaitResult WaitForChange(quint32 mask) override {
        std::unique_lock lock(port_->mutex_);
        ++port_->waitCalls_;
        // Like TIOCMIWAIT: only what changes after the wait began wakes it.
        const TLineCounts start = port_->counts_;
        const quint64 generation = port_->generation_;
        auto moved = [&] {
            const TLineCounts& now = port_->counts_;
            return ((mask & kModemCTS) && now.cts != start.cts) ||
                   ((mask & kModemDSR) && now.dsr != start.dsr) ||
                   ((mask & kModemRing) && now.ring != start.ring) ||
                   ((mask & kModemRLSD) && now.rlsd != start.rlsd);
        };
        for (;;) {
            if (port_->vanished_) return TWaitResult::Gone;
            if (port_->cancel_) {
                port_->cancel_ = false;
                return TWaitResult::Interrupted;
            }
            if (port_->generation_ != generation && moved()) return TWaitResult::Changed;
            port_->changed_.wait(lock);
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
        port_->open_ = false;
        open_ = false;
    }

private:
    std::shared_ptr<TSimulatedSerialPort> port_;
    bool open_ = false;
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

void TSimulatedSerialPort::SetSerialPort(bool isSerial) {
    std::lock_guard lock(mutex_);
    isSerial_ = isSerial;
}

void TSimulatedSerialPort::SetHasCounters(bool hasCounters) {
    std::lock_guard lock(mutex_);
    hasCounters_ = hasCounters;
}

void TSimulatedSerialPort::Count(quint32 lines, quint32 transitions) {
    if (lines & kModemCTS) counts_.cts += transitions;
    if (lines & kModemDSR) counts_.dsr += transitions;
    if (lines & kModemRing) counts_.ring += transitions;
    if (lines & kModemRLSD) counts_.rlsd += transitions;
    ++generation_;
}

void TSimulatedSerialPort::SetLines(quint32 status) {
    {
        std::lock_guard lock(mutex_);
        status &= kModemLines;
        Count(lines_ ^ status, 1);
        lines_ = status;
    }
    changed_.notify_all();
}

void TSimulatedSerialPort::Pulse(quint32 lines) {
    {
        std::lock_guard lock(mutex_);
        Count(lines & kModemLines, 2);
    }
    changed_.notify_all();
}

void TSimulatedSerialPort::Vanish() {
    {
        std::lock_guard lock(mutex_);
        vanished_ = true;
    }
    changed_.notify_all();
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

int TSimulatedSerialPort::WaitCalls() const {
    std::lock_guard lock(mutex_);
    return waitCalls_;
}

int TSimulatedSerialPort::StatusReads() const {
    std::lock_guard lock(mutex_);
    return statusReads_;
}
