#pragma once

#include "SerialDevice.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// The far end of a simulated cable: tests and benchmarks switch its lines, and every device
// made by its factory sees them. Thread-safe; one device can hold it open at a time.
//
// By default it behaves like a built-in UART: every change is seen at once. As a USB adapter
// (SetUsbAdapter) it behaves like an FTDI chip: line changes reach the host only with the next
// status packet, every latency-timer period (16 ms unless the driver is asked for low latency,
// then 1 ms); a pulse between two packets is lost, as on the chip; and its devices report no
// UART type.
class TSimulatedSerialPort : public std::enable_shared_from_this<TSimulatedSerialPort> {
public:
    static std::shared_ptr<TSimulatedSerialPort> Create();

    // Devices bound to this port, for TComPort::SetDeviceFactory.
    TSerialDeviceFactory Factory();

    // The one path that opens; empty: any path opens.
    void SetPath(const QString& path);
    void SetOpenError(int error);
    void SetConfigureError(int error);
    // A ttyS with or without a UART behind it; devices on USB names never report one.
    void SetUartType(bool hasUart);
    void SetHasCounters(bool hasCounters);
    // Status packets every latencyMs; the product name is what sysfs would show.
    void SetUsbAdapter(const QString& product, int latencyMs = 16);
    // A driver that takes the low-latency flag but keeps its latency timer.
    void SetLowLatencyHonoured(bool honoured);
    // The driver has no TIOCMIWAIT: the device falls back to polling.
    void SetWaitRefused(bool refused);

    // Sets the input lines (status word bits); every line that changes counts one transition.
    // Each line in folded makes a whole pulse besides, in the same instant, as if it came
    // between two reads of the wait thread.
    void SetLines(quint32 status, quint32 folded = 0);
    // A complete pulse on each of the lines: two transitions, level unchanged.
    void Pulse(quint32 lines);
    // The adapter is pulled out: the open device fails with EIO, opening fails with ENOENT.
    void Vanish();
    // Plugged in again: it opens again, as a new device.
    void Return();

    quint32 Lines() const;
    bool IsOpen() const;
    QString OpenedPath() const;
    int OpenCount() const;
    TSerialConfig Config() const;
    bool Dtr() const;
    bool Rts() const;
    bool LowLatency() const;
    int WaitCalls() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Change {
        Clock::time_point at;
        quint32 lines = 0;
    };

    TSimulatedSerialPort() = default;
    friend class TSimulatedSerialDevice;

    static void Count(TLineCounts& counts, quint32 lines, quint32 transitions);
    void Record();
    Clock::duration PacketInterval() const;
    // When a change made at that instant reaches the host.
    Clock::time_point Delivery(Clock::time_point at) const;
    // Hands the host every change whose status packet has gone out.
    void Publish();
    bool Attached(quint64 plug) const { return present_ && plug == plug_; }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    const Clock::time_point epoch_ = Clock::now();
    QString path_;
    int openError_ = 0;
    int configureError_ = 0;
    bool hasUart_ = true;
    bool hasCounters_ = true;
    QString product_;
    int latencyMs_ = 0; // 0: a UART, changes are seen at once
    bool lowLatencyHonoured_ = true;
    bool waitRefused_ = false;
    // The cable's own lines, and what the host has been told of them.
    quint32 lines_ = 0;
    TLineCounts counts_;
    quint32 shownLines_ = 0;
    TLineCounts shownCounts_;
    std::deque<Change> pending_;
    bool present_ = true;
    quint64 plug_ = 0; // a new device after every unplug
    bool lowLatency_ = false;
    bool open_ = false;
    QString openedPath_;
    int openCount_ = 0;
    TSerialConfig config_;
    bool dtr_ = false;
    bool rts_ = false;
    int waitCalls_ = 0;
    bool cancel_ = false;
};
