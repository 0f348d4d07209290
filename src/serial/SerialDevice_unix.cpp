// Linux serial device: termios2 for arbitrary line speeds, modem-line ioctls for the status
// lines. <asm/termios.h> and glibc's <termios.h> / <sys/ioctl.h> cannot share a file, so
// this file speaks to the kernel's types only.
#include "SerialDevice.h"

#include <QFileInfo>

#include <asm/termios.h>
#include <linux/serial.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <unistd.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace {

// Wakes the wait thread out of TIOCMIWAIT: closing the descriptor does not.
int WakeSignal() {
    return SIGRTMIN + 3;
}

void IgnoreWake(int) {}

void InstallWakeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_handler = IgnoreWake;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the blocked ioctl must fail with EINTR
        sigaction(WakeSignal(), &action, nullptr);
    });
}

bool IsRefused(int error) {
    return error == ENOTTY || error == EINVAL;
}

bool IsGone(int error) {
    return error == EIO || error == ENODEV || error == ENXIO;
}

unsigned LineBits(quint32 mask) {
    unsigned bits = 0;
    if (mask & kModemCTS) bits |= TIOCM_CTS;
    if (mask & kModemDSR) bits |= TIOCM_DSR;
    if (mask & kModemRing) bits |= TIOCM_RNG;
    if (mask & kModemRLSD) bits |= TIOCM_CD;
    return bits;
}

quint32 StatusWord(int bits) {
    quint32 status = 0;
    if (bits & TIOCM_CTS) status |= kModemCTS;
    if (bits & TIOCM_DSR) status |= kModemDSR;
    if (bits & TIOCM_RNG) status |= kModemRing;
    if (bits & TIOCM_CD) status |= kModemRLSD;
    return status;
}

speed_t StandardSpeed(qint32 rate) {
    switch (rate) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}

class TPosixSerialDevice final : public TSerialDevice {
public:
    ~TPosixSerialDevice() override { Close(); }

    int Open(const QString& path) override {
        Close();
        const QByteArray name = path.toLocal8Bit();
        fd_ = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return errno;
        int error = 0;
        if (!isatty(fd_)) error = ENOTTY;
        // TIOCEXCL keeps other programs out, but not root; the lock keeps out a second
        // copy of ours whoever runs it.
        else if (ioctl(fd_, TIOCEXCL) != 0)
            error = errno;
        else if (flock(fd_, LOCK_EX | LOCK_NB) != 0)
            error = errno == EWOULDBLOCK ? EBUSY : errno;
        if (error) {
            Close();
            return error;
        }
        // Through a symbolic link (/dev/serial/by-id/…) sysfs still knows the tty by its name.
        const QString canonical = QFileInfo(path).canonicalFilePath();
        ttyName_ = QFileInfo(canonical.isEmpty() ? path : canonical).fileName();
        return 0;
    }

    bool HasUartType() override {
        if (fd_ < 0) return false;
        serial_struct info = {};
        if (ioctl(fd_, TIOCGSERIAL, &info) != 0) return IsRefused(errno); // USB without it
        return info.type != PORT_UNKNOWN;
    }

    int Configure(const TSerialConfig& config) override {
        if (fd_ < 0) return EBADF;
        termios2 tio = {};
        if (ioctl(fd_, TCGETS2, &tio) != 0) return errno;
        tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                         IXANY | INPCK);
        tio.c_oflag &= ~OPOST;
        tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
        tio.c_cflag |= CLOCAL | CREAD;
        switch (config.dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
        }
        switch (config.parity) {
        case prNone:
            break;
        case prOdd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case prEven:
            tio.c_cflag |= PARENB;
            break;
        case prMark:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case prSpace:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        }
        // With five data bits the UART turns two stop bits into one and a half.
        if (config.stopBits != sbOneStopBit) tio.c_cflag |= CSTOPB;
        if (config.flowControl == fcXonXoff) {
            tio.c_iflag |= IXON | IXOFF;
            tio.c_cc[VSTART] = 17;
            tio.c_cc[VSTOP] = 19;
        }
        if (config.baudRate <= 0) return EINVAL;
        if (const speed_t speed = StandardSpeed(config.baudRate)) {
            tio.c_cflag |= speed;
        } else {
            tio.c_cflag |= BOTHER;
            tio.c_ispeed = tio.c_ospeed = speed_t(config.baudRate);
        }
        tio.c_cc[VMIN] = 0; // reads return at once with what is queued
        tio.c_cc[VTIME] = 0;
        if (ioctl(fd_, TCSETS2, &tio) != 0) return errno;
        // Linux sizes the driver queues itself; there is nothing to set.
        return 0;
    }

    int SetOutputLines(bool dtr, bool rts) override {
        if (fd_ < 0) return EBADF;
        const int on = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
        const int off = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
        if (on && ioctl(fd_, TIOCMBIS, &on) != 0) return errno;
        if (off && ioctl(fd_, TIOCMBIC, &off) != 0) return errno;
        return 0;
    }

    int ReadModemStatus(quint32& status) override {
        status = 0;
        if (fd_ < 0) return EBADF;
        int bits = 0;
        if (ioctl(fd_, TIOCMGET, &bits) != 0) return errno;
        status = StatusWord(bits);
        return 0;
    }

    int ReadCounters(TLineCounts& counts) override {
        if (fd_ < 0) return EBADF;
        serial_icounter_struct icount = {};
        if (ioctl(fd_, TIOCGICOUNT, &icount) != 0) return errno;
        counts.cts = quint32(icount.cts);
        counts.dsr = quint32(icount.dsr);
        counts.ring = quint32(icount.rng);
        counts.rlsd = quint32(icount.dcd);
        return 0;
    }

    TWaitResult WaitForChange(quint32 mask) override {
        if (fd_ < 0) return TWaitResult::Failed;
        InstallWakeSignal();
        if (!waiterKnown_.load()) {
            waiter_ = pthread_self();
            waiterKnown_.store(true);
        }
        sigset_t wake;
        sigemptyset(&wake);
        sigaddset(&wake, WakeSignal());
        pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);

        if (!polling_) {
            if (ioctl(fd_, TIOCMIWAIT, static_cast<unsigned long>(LineBits(mask))) == 0)
                return TWaitResult::Changed;
            const int error = errno;
            if (error == EINTR) return TWaitResult::Interrupted;
            if (IsGone(error)) return TWaitResult::Gone;
            if (!IsRefused(error)) return TWaitResult::Failed;
            // Some drivers have no TIOCMIWAIT; polling helps only where the lines can be read.
            quint32 status = 0;
            if (const int readError = ReadModemStatus(status))
                return IsGone(readError) ? TWaitResult::Gone : TWaitResult::Failed;
            polling_ = true;
            return TWaitResult::Polling;
        }
        return Poll(mask);
    }

    void CancelWait() override {
        if (waiterKnown_.load()) pthread_kill(waiter_, WakeSignal());
    }

    void Close() override {
        if (fd_ >= 0) {
            // The flag outlives the descriptor in the driver; the next program gets the
            // adapter as it was.
            if (lowLatencySet_) {
                serial_struct info = {};
                if (ioctl(fd_, TIOCGSERIAL, &info) == 0) {
                    info.flags &= ~ASYNC_LOW_LATENCY;
                    ioctl(fd_, TIOCSSERIAL, &info);
                }
            }
            ::close(fd_);
        }
        fd_ = -1;
        polling_ = false;
        lowLatencySet_ = false;
        ttyName_.clear();
    }

    int SetLowLatency() override {
        if (fd_ < 0) return EBADF;
        serial_struct info = {};
        if (ioctl(fd_, TIOCGSERIAL, &info) != 0) return errno;
        if (info.flags & ASYNC_LOW_LATENCY) return 0;
        info.flags |= ASYNC_LOW_LATENCY; // within ASYNC_USR_MASK: any user may set it
        if (ioctl(fd_, TIOCSSERIAL, &info) != 0) return errno;
        lowLatencySet_ = true;
        return 0;
    }

    int LatencyTimerMs() override {
        return ttyName_.isEmpty() ? -1 : SysfsLatencyTimer(QStringLiteral("/sys"), ttyName_);
    }

    QString ProductName() override {
        return ttyName_.isEmpty() ? QString() : SysfsProductName(QStringLiteral("/sys"), ttyName_);
    }

private:
    struct Lines {
        quint32 status = 0;
        TLineCounts counts;
        bool operator==(const Lines&) const = default;
    };

    int ReadLines(quint32 mask, Lines& lines) {
        if (const int error = ReadModemStatus(lines.status)) return error;
        lines.status &= mask;
        if (ReadCounters(lines.counts) != 0) lines.counts = {};
        return 0;
    }

    TWaitResult Poll(quint32 mask) {
        Lines start;
        if (const int error = ReadLines(mask, start))
            return IsGone(error) ? TWaitResult::Gone : TWaitResult::Failed;
        for (;;) {
            const timespec millisecond = {0, 1000000};
            if (nanosleep(&millisecond, nullptr) != 0 && errno == EINTR)
                return TWaitResult::Interrupted;
            Lines now;
            if (const int error = ReadLines(mask, now))
                return IsGone(error) ? TWaitResult::Gone : TWaitResult::Failed;
            if (!(now == start)) return TWaitResult::Changed;
        }
    }

    int fd_ = -1;
    bool polling_ = false;
    bool lowLatencySet_ = false;
    QString ttyName_;
    pthread_t waiter_ = {};
    std::atomic<bool> waiterKnown_{false};
};

} // namespace

void RaiseWaitThreadPriority() {
    // Low among real-time priorities: above every ordinary thread, below the system's own.
    sched_param param = {};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 1;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

std::unique_ptr<TSerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<TPosixSerialDevice>();
}
