#pragma once

#include "SerialDevice.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// The far end of a simulated cable: tests and benchmarks switch its lines, and every device
// made by its factory sees them. Thread-safe; one device can hold it open at a time.
class TSimulatedSerialPort : public std::enable_shared_from_this<TSimulatedSerialPort> {
public:
    static std::shared_ptr<TSimulatedSerialPort> Create();

    // Devices bound to this port, for TComPort::SetDeviceFactory.
    TSerialDeviceFactory Factory();

    // The one path that opens; empty: any path opens.
    void SetPath(const QString& path);
    void SetOpenError(int error);
    void SetConfigureError(int error);
    void SetSerialPort(bool isSerial);
    void SetHasCounters(bool hasCounters);

    // Sets the input lines (status word bits); every line that changes counts one transition.
    void SetLines(quint32 status);
    // A complete pulse on each of the lines: two transitions, level unchanged.
    void Pulse(quint32 lines);
    // The adapter is pulled out: waits and reads fail with EIO from now on.
    void Vanish();

    quint32 Lines() const;
    bool IsOpen() const;
    QString OpenedPath() const;
    int OpenCount() const;
    TSerialConfig Config() const;
    bool Dtr() const;
    bool Rts() const;
    int WaitCalls() const;
    int StatusReads() const;

private:
    TSimulatedSerialPort() = default;
    friend class TSimulatedSerialDevice;

    void Count(quint32 lines, quint32 transitions);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QString path_;
    int openError_ = 0;
    int configureError_ = 0;
    bool isSerial_ = true;
    bool hasCounters_ = true;
    quint32 lines_ = 0;
    TLineCounts counts_;
    quint64 generation_ = 0; // bumps on every transition, seen or not by the levels
    bool vanished_ = false;
    bool open_ = false;
    QString openedPath_;
    int openCount_ = 0;
    TSerialConfig config_;
    bool dtr_ = false;
    bool rts_ = false;
    int waitCalls_ = 0;
    int statusReads_ = 0;
    bool cancel_ = false;
};
