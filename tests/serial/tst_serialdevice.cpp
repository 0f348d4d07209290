#include "TestMain.h"

#include "base/HighResTimer.h"
#include "serial/ComPort.h"
#include "serial/SerialDevice.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal: a real tty for the termios side, but without modem lines.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Pty() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    termios Attributes() const {
        termios t = {};
        tcgetattr(slave, &t);
        return t;
    }
};

constexpr tcflag_t kBaudOther = 0010000; // the kernel's BOTHER: a speed given in bits per second

} // namespace

class SerialDeviceTest : public QObject {
    Q_OBJECT
private slots:
    void openIsExclusiveAndOnlyForTtys() {
        Pty pty;
        QVERIFY(!pty.path.isEmpty());
        auto first = CreateSystemSerialDevice();
        QCOMPARE(first->Open(pty.path), 0);
        auto second = CreateSystemSerialDevice();
        QCOMPARE(second->Open(pty.path), EBUSY);
        first->Close();
        QCOMPARE(second->Open(pty.path), 0);
        auto device = CreateSystemSerialDevice();
        QCOMPARE(device->Open("/dev/null"), ENOTTY);
        QCOMPARE(device->Open("/dev/ttyUSB-none"), ENOENT);
    }

    void configureSetsARawLine() {
        Pty pty;
        auto device = CreateSystemSerialDevice();
        QCOMPARE(device->Open(pty.path), 0);
        TSerialConfig config;
        config.baudRate = 19200;
        config.dataBits = 5;
        config.parity = prEven;
        config.stopBits = sbTwoStopBits;
        config.flowControl = fcXonXoff;
        QCOMPARE(device->Configure(config), 0);
        // A pty keeps eight data bits and clears PARENB whatever it is asked; the rest sticks.
        termios t = pty.Attributes();
        QVERIFY(!(t.c_cflag & (PARODD | CMSPAR)));
        QVERIFY(t.c_cflag & CSTOPB);
        QVERIFY((t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD));
        QVERIFY(!(t.c_cflag & CRTSCTS));
        QVERIFY((t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF));
        QVERIFY(!(t.c_lflag & (ICANON | ECHO | ISIG)));
        QVERIFY(!(t.c_oflag & OPOST));
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(t.c_cc[VMIN], cc_t(0));

        config.baudRate = 256000;
        config.dataBits = 8;
        config.parity = prMark;
        config.stopBits = sbOneStopBit;
        config.flowControl = fcRtsCts; // held on by hand, not by the driver
        QCOMPARE(device->Configure(config), 0);
        t = pty.Attributes();
        QCOMPARE(t.c_cflag & CBAUD, kBaudOther);
        QVERIFY((t.c_cflag & (PARODD | CMSPAR)) == (PARODD | CMSPAR));
        QVERIFY(!(t.c_cflag & CSTOPB));
        QVERIFY(!(t.c_cflag & CRTSCTS));
        QVERIFY(!(t.c_iflag & (IXON | IXOFF)));

        config.baudRate = 0;
        QCOMPARE(device->Configure(config), EINVAL);
    }

    void aTtyWithoutModemLinesFailsInsteadOfHanging() {
        Pty pty;
        auto device = CreateSystemSerialDevice();
        QCOMPARE(device->Open(pty.path), 0);
        QVERIFY(device->SetOutputLines(true, true) != 0);
        quint32 status = 1;
        QVERIFY(device->ReadModemStatus(status) != 0);
        QCOMPARE(status, 0u);
        // The driver refuses the wait, polling cannot read the lines either: it gives up.
        auto wait = std::async(std::launch::async, [&] { return device->WaitForChange(0xB0); });
        QVERIFY(wait.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        QCOMPARE(wait.get(), TWaitResult::Failed);
    }

    // Needs a loopback plug (RTS to CTS, DTR to DSR and DCD) on the port named by
    // RENNUHR_TEST_PORT, e.g. /dev/ttyUSB0 or COM5.
    void loopbackPlug() {
        const QString named = qEnvironmentVariable("RENNUHR_TEST_PORT");
        if (named.isEmpty()) QSKIP("RENNUHR_TEST_PORT names no port with a loopback plug");
        const int number = ComPortNumber(named);
        if (!number) QSKIP("RENNUHR_TEST_PORT is not one of COM1 … COM16");
        const QString path = ComPortDeviceName(number);

        auto device = CreateSystemSerialDevice();
        QCOMPARE(device->Open(path), 0);
        if (!IsUsbSerialDevice(path)) QVERIFY(device->HasUartType());
        TSerialConfig config;
        config.dataBits = 5;
        config.flowControl = fcRtsCts;
        QCOMPARE(device->Configure(config), 0);
        QCOMPARE(device->SetOutputLines(true, true), 0);
        QTest::qWait(20);
        quint32 status = 0;
        QCOMPARE(device->ReadModemStatus(status), 0);
        QCOMPARE(status & 0xB0, 0xB0u);
        TLineCounts before;
        const bool counters = device->ReadCounters(before) == 0;

        // Dropping RTS opens the "start contact": the waiter wakes and CTS reads off.
        auto wait = std::async(std::launch::async, [&] { return device->WaitForChange(0xB0); });
        QTest::qWait(20);
        QCOMPARE(device->SetOutputLines(true, false), 0);
        QVERIFY(wait.wait_for(std::chrono::seconds(2)) == std::future_status::ready);
        QCOMPARE(wait.get(), TWaitResult::Changed);
        QCOMPARE(device->ReadModemStatus(status), 0);
        QCOMPARE(status & 0xB0, kModemDSR | kModemRLSD);
        if (counters) {
            TLineCounts after;
            QCOMPARE(device->ReadCounters(after), 0);
            QVERIFY(after.cts != before.cts);
        }

        // A waiter blocked in the driver is woken for Close.
        auto blocked = std::async(std::launch::async, [&] { return device->WaitForChange(0xB0); });
        QTest::qWait(20);
        QElapsedTimer clock;
        clock.start();
        while (blocked.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            device->CancelWait();
            QVERIFY(clock.elapsed() < 2000);
        }
        QCOMPARE(blocked.get(), TWaitResult::Interrupted);
        device->Close();

        THighResTimer timeBase;
        TComPort port(timeBase);
        port.SetPort(quint8(number));
        port.SetFlowControl(fcRtsCts);
        port.Open();
        QTest::qWait(20);
        QCOMPARE(port.ModemStatus() & 0xB0, 0xB0u);
        QVERIFY(port.IsWatching());
        port.Close();
        QVERIFY(TComPort::ScanComPorts() & (1u << (number - 1)));
    }
};

RENNUHR_TEST(SerialDeviceTest);
#include "tst_serialdevice.moc"
