#pragma once

#include "ComLineEvent.h"

#include <QString>

#include <functional>
#include <memory>

enum TBaudRate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brUser
};
enum TParity { prNone, prOdd, prEven, prMark, prSpace };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TFlowControl { fcNone, fcRtsCts, fcXonXoff };

// Bits per second of a rate; brUser stands for the user's own value.
qint32 BaudRateValue(TBaudRate rate, qint32 user);

// Line settings as the device applies them.
struct TSerialConfig {
    qint32 baudRate = 9600;
    int dataBits = 8;
    TParity parity = prNone;
    TStopBits stopBits = sbOneStopBit;
    TFlowControl flowControl = fcNone;
    bool enableDTR = true;
    qint32 readBufSize = 2048;
    qint32 writeBufSize = 2048;

    // The handshake is there only to hold RTS on for the start contact.
    bool RtsOn() const { return flowControl == fcRtsCts; }
};

enum class TWaitResult {
    Changed,     // a watched line changed
    Interrupted, // CancelWait, or a stray signal
    Polling,     // the driver cannot wait; from now on the device polls the lines: wait again
    Gone,        // the device went away (adapter unplugged)
    Failed       // any other failure; waiting again would fail the same way
};

// Access to one serial device. Calls that can fail return 0 or an errno value. Everything
// but CancelWait runs on one thread at a time; ReadModemStatus may also run beside a
// WaitForChange on another thread.
class TSerialDevice {
public:
    virtual ~TSerialDevice() = default;

    virtual int Open(const QString& path) = 0;
    // A ttyS that opened may still have no UART behind it. USB adapters never report a type.
    virtual bool HasUartType() = 0;
    virtual int Configure(const TSerialConfig& config) = 0;
    virtual int SetOutputLines(bool dtr, bool rts) = 0;
    virtual int ReadModemStatus(quint32& status) = 0;
    // ENOTTY or EINVAL when the driver keeps no counters.
    virtual int ReadCounters(TLineCounts& counts) = 0;
    // Blocks until one of the lines in mask (status word bits) changes after the call began.
    virtual TWaitResult WaitForChange(quint32 mask) = 0;
    // From another thread: a blocked WaitForChange returns Interrupted. A wait that is about
    // to begin may miss it, so the caller repeats until the waiting thread has left.
    virtual void CancelWait() = 0;
    virtual void Close() = 0;

    // Asks the driver to pass line changes on at once (ASYNC_LOW_LATENCY): an FTDI adapter
    // then sends its status every millisecond instead of every 16. 0 or an errno value.
    virtual int SetLowLatency() = 0;
    // The driver's latency timer in milliseconds where it shows one, else -1.
    virtual int LatencyTimerMs() = 0;
    // The adapter's product name where the system knows it, else empty.
    virtual QString ProductName() = 0;
};

using TSerialDeviceFactory = std::function<std::unique_ptr<TSerialDevice>()>;

// The platform's own serial device.
std::unique_ptr<TSerialDevice> CreateSystemSerialDevice();

// Asks for real-time scheduling of the calling thread, so that a busy machine does not delay
// the instant it reads. Where the user may not have it, nothing changes.
void RaiseWaitThreadPriority();

constexpr int kComPortCount = 16;

// COM1–COM4 are /dev/ttyS0–ttyS3, COM5–COM12 /dev/ttyUSB0–ttyUSB7, COM13–COM16
// /dev/ttyACM0–ttyACM3. Empty for a number outside 1 … 16.
QString ComPortDeviceName(int port);
// "COM5 (ttyUSB0)", or "COM5 (ttyUSB0, FT232R USB UART)" with the adapter's product name,
// for lists the operator picks from.
QString ComPortDisplayName(int port, const QString& product = {});
// ttyUSB and ttyACM devices: adapters on USB, which report no UART type.
bool IsUsbSerialDevice(const QString& path);

// What sysfs tells about a tty device, read below root (normally "/sys"): the USB product
// name of the adapter, and the FTDI driver's latency timer (-1 where there is none).
QString SysfsProductName(const QString& root, const QString& ttyName);
int SysfsLatencyTimer(const QString& root, const QString& ttyName);
// The port number of a device path or of "COM5" / "5"; 0 when it has none.
int ComPortNumber(const QString& name);

// The system's message for an errno value.
QString SystemErrorText(int error);
