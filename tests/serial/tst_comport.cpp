#include "TestMain.h"

#include "race/HighResTimer.h"
#include "serial/ComPort.h"
#include "serial/SimulatedSerialDevice.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

namespace {

// Waits for the wait thread without running the event loop, so nothing is delivered meanwhile.
bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// A port on a simulated cable with the program's settings, and a log of what it raised.
struct Rig {
    THighResTimer timeBase;
    std::shared_ptr<TSimulatedSerialPort> cable = TSimulatedSerialPort::Create();
    TComPort port{timeBase};
    QStringList log;
    QList<TComLineEvent> events; // LastEvent() as each line handler saw it
    bool offGuiThread = false;

    Rig() {
        port.SetDeviceFactory(cable->Factory());
        port.SetPort(1);
        port.SetFlowControl(fcRtsCts);
        port.SetDataBits(5);
        port.SetEvents(TEvents(evCTS | evDSR | evRLSD));
        port.SetWriteBufSize(64);
        port.SetReadBufSize(64);
        auto line = [this](const char* name) {
            return [this, name](TComPort* sender) {
                if (sender != &port || QThread::currentThread() != qApp->thread())
                    offGuiThread = true;
                log << name;
                events << sender->LastEvent();
            };
        };
        QObject::connect(&port, &TComPort::OnCTS, line("cts"));
        QObject::connect(&port, &TComPort::OnDSR, line("dsr"));
        QObject::connect(&port, &TComPort::OnRLSD, line("rlsd"));
        QObject::connect(&port, &TComPort::OnRing, line("ring"));
        QObject::connect(&port, &TComPort::OnOpen,
                         [this](TComPort* sender) { log << (sender == &port ? "open" : "open?"); });
        QObject::connect(&port, &TComPort::OnClose, [this](TComPort* sender) {
            log << (sender == &port ? "close" : "close?");
        });
    }

    // Opens and waits until the wait thread sleeps in its first wait.
    void OpenAndSettle() {
        const int calls = cable->WaitCalls();
        port.Open();
        QVERIFY(WaitUntil([&] { return cable->WaitCalls() > calls; }));
        log.clear();
    }
};

} // namespace

class ComPortTest : public QObject {
    Q_OBJECT
private slots:
    void openAppliesTheSettingsAndDrivesTheContacts() {
        Rig rig;
        rig.port.SetPort(12);
        rig.port.Open();
        QVERIFY(rig.port.Connected());
        QVERIFY(rig.port.IsWatching());
        QCOMPARE(rig.log, QStringList{"open"});
        QCOMPARE(rig.cable->OpenedPath(), QString("/dev/ttyUSB7"));
        QVERIFY(rig.cable->Dtr());
        QVERIFY(rig.cable->Rts());
        const TSerialConfig config = rig.cable->Config();
        QCOMPARE(config.baudRate, 9600);
        QCOMPARE(config.dataBits, 5);
        QCOMPARE(config.flowControl, fcRtsCts);

        // Without the handshake RTS stays off, so a closed start contact reads as off.
        rig.port.SetFlowControl(fcNone);
        rig.port.SetEnableDTR(false);
        rig.port.SetBaudRate(brUser);
        rig.port.SetBaudRateUser(28800);
        rig.port.Open();
        QVERIFY(!rig.cable->Dtr());
        QVERIFY(!rig.cable->Rts());
        QCOMPARE(rig.cable->Config().baudRate, 28800);
    }

    void openOnAnOpenPortClosesItFirst() {
        Rig rig;
        rig.port.Open();
        rig.port.Open(); // the cable admits one device at a time
        QCOMPARE(rig.log, (QStringList{"open", "close", "open"}));
        QCOMPARE(rig.cable->OpenCount(), 2);
        QVERIFY(rig.port.Connected());
    }

    void closeOnAClosedPortDoesNothing() {
        Rig rig;
        rig.port.Close();
        QVERIFY(rig.log.isEmpty());
        rig.port.Open();
        rig.port.Close();
        rig.port.Close();
        QCOMPARE(rig.log, (QStringList{"open", "close"}));
        QVERIFY(!rig.cable->IsOpen());
        QVERIFY(!rig.port.IsWatching());
    }

    void portZeroOpensNothing() {
        Rig rig;
        rig.port.SetPort(0);
        QVERIFY_THROWS_EXCEPTION(EComHandle, rig.port.Open());
        QCOMPARE(rig.cable->OpenCount(), 0);
        QVERIFY(!rig.port.Connected());
        QVERIFY(rig.log.isEmpty());
        QCOMPARE(rig.port.ModemStatus(), 0u);
    }

    void dataBitsStayWithinFiveToEight() {
        Rig rig;
        const QList<QPair<int, int>> cases = {{9, 8}, {3, 5}, {0, 5}, {255, 8}, {6, 6}, {8, 8}};
        for (const auto& [given, stored] : cases) {
            rig.port.SetDataBits(quint8(given));
            QCOMPARE(int(rig.port.DataBits()), stored);
        }
    }

    void openFailuresCarryTheSystemText() {
        Rig rig;
        rig.cable->SetOpenError(EBUSY);
        try {
            rig.port.Open();
            QFAIL("no exception");
        } catch (const EComHandle& e) {
            QCOMPARE(e.Message(), "Unable to open com port: " + SystemErrorText(EBUSY));
            QCOMPARE(QString::fromUtf8(e.what()), e.Message());
        }
        rig.cable->SetOpenError(0);
        rig.cable->SetConfigureError(EINVAL);
        try {
            rig.port.Open();
            QFAIL("no exception");
        } catch (const EComState& e) {
            QCOMPARE(e.Message(), "Unable to set com state: " + SystemErrorText(EINVAL));
        }
        // The half-opened device was let go, so the next try can have it.
        QVERIFY(!rig.cable->IsOpen());
        QVERIFY(!rig.port.Connected());
        QVERIFY(rig.log.isEmpty());
        rig.cable->SetConfigureError(0);
        rig.port.Open();
        QVERIFY(rig.port.Connected());
    }

    void oneNotificationIsDeliveredInOrderWithTheWaitThreadsInstant() {
        // Declared before the rig: the wait thread reads them until the port is gone.
        std::atomic<qint64> now{1000};
        std::atomic<int> reads{0};
        std::atomic<bool> readOnGuiThread{false};
        Rig rig;
        rig.timeBase.SetTickSource([&] {
            if (QThread::currentThread() == qApp->thread()) readOnGuiThread = true;
            ++reads;
            return now.load();
        });
        rig.OpenAndSettle();
        const int before = reads;
        rig.cable->SetLines(kModemCTS | kModemDSR | kModemRLSD);
        QVERIFY(WaitUntil([&] { return reads > before; }));
        now = 5000; // the handlers run later; the instant must not move with them
        QTRY_COMPARE(rig.log, (QStringList{"cts", "dsr", "rlsd"}));
        QVERIFY(!rig.offGuiThread);
        QVERIFY(!readOnGuiThread);
        for (const TComLineEvent& e : rig.events) {
            QCOMPARE(e.ticks, qint64(1000));
            QCOMPARE(e.status, 0xB0u);
            QCOMPARE(e.rising, 0xB0u);
            QVERIFY(e.hasCounters);
        }
        QCOMPARE(rig.port.ModemStatus(), 0xB0u);

        // Both edges are reported.
        rig.cable->SetLines(kModemCTS | kModemDSR);
        QTRY_COMPARE(rig.log.size(), 4);
        QCOMPARE(rig.log.last(), QString("rlsd"));
        QCOMPARE(rig.events.last().rising, 0u);
        QCOMPARE(rig.events.last().status, kModemCTS | kModemDSR);
    }

    void unwatchedLinesRaiseNothing() {
        Rig rig;
        rig.OpenAndSettle();
        rig.cable->SetLines(kModemRing);
        rig.cable->SetLines(kModemRing | kModemDSR);
        QTRY_COMPARE(rig.log, QStringList{"dsr"});
        QCOMPARE(rig.events.last().changed, kModemDSR);
    }

    void changesDuringADeliveryCoalesceIntoTheNext() {
        for (const bool counters : {true, false}) {
            Rig rig;
            rig.cable->SetHasCounters(counters);
            int handled = 0;
            QObject::connect(&rig.port, &TComPort::OnCTS, [&] {
                if (handled++) return;
                // While the first delivery runs: CTS drops and returns, DSR comes on.
                rig.cable->Pulse(kModemCTS);
                rig.cable->SetLines(kModemCTS | kModemDSR);
            });
            rig.OpenAndSettle();
            rig.cable->SetLines(kModemCTS);
            if (counters) {
                QTRY_COMPARE(rig.log, (QStringList{"cts", "cts", "dsr"}));
                QCOMPARE(rig.events.last().pulsed, kModemCTS);
                QCOMPARE(rig.events.last().rising, kModemCTS | kModemDSR);
            } else {
                // Levels alone cannot show the folded pulse.
                QTRY_COMPARE(rig.log, (QStringList{"cts", "dsr"}));
                QCOMPARE(rig.events.last().rising, kModemDSR);
                QVERIFY(!rig.events.last().hasCounters);
            }
            QCOMPARE(rig.events.last().status, kModemCTS | kModemDSR);
        }
    }

    void aVanishedDeviceStopsTheEventsButCloseStillWorks() {
        Rig rig;
        rig.OpenAndSettle();
        rig.cable->Vanish();
        QTRY_VERIFY(!rig.port.IsWatching());
        const int waits = rig.cable->WaitCalls();
        rig.cable->SetLines(kModemCTS);
        QTest::qWait(20);
        QCOMPARE(rig.cable->WaitCalls(), waits); // the thread ended rather than spinning
        QVERIFY(rig.log.isEmpty());
        QVERIFY(rig.port.Connected());
        QCOMPARE(rig.port.ModemStatus(), 0u);
        rig.port.Close();
        QCOMPARE(rig.log, QStringList{"close"});
        QVERIFY(!rig.cable->IsOpen());
        QVERIFY_THROWS_EXCEPTION(EComHandle, rig.port.Open());
    }

    void closeWhileAHandOverWaitsDoesNotDeadlock() {
        Rig rig;
        rig.OpenAndSettle();
        const int reads = rig.cable->StatusReads();
        rig.cable->SetLines(kModemCTS);
        QVERIFY(WaitUntil([&] { return rig.cable->StatusReads() > reads; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        // Still one wait: the thread holds back until the delivery has run.
        QCOMPARE(rig.cable->WaitCalls(), 1);
        rig.port.Close();
        QCoreApplication::processEvents();
        QCOMPARE(rig.log, QStringList{"close"}); // nothing arrives after OnClose
        QVERIFY(!rig.cable->IsOpen());
    }

    void aHandlerMayCloseOrReopenThePort() {
        Rig rig;
        QObject::connect(&rig.port, &TComPort::OnCTS, [&] { rig.port.Close(); });
        rig.OpenAndSettle();
        rig.cable->SetLines(kModemCTS | kModemDSR);
        QTRY_VERIFY(!rig.port.Connected());
        QCoreApplication::processEvents();
        QCOMPARE(rig.log, (QStringList{"cts", "close"}));

        Rig again;
        bool reopened = false;
        QObject::connect(&again.port, &TComPort::OnCTS, [&] {
            if (!reopened) again.port.Open();
            reopened = true;
        });
        again.OpenAndSettle();
        again.cable->SetLines(kModemCTS | kModemRLSD);
        QTRY_COMPARE(again.log, (QStringList{"cts", "close", "open"}));
        QVERIFY(again.port.IsWatching());
        QVERIFY(WaitUntil([&] { return again.cable->WaitCalls() >= 2; }));
        again.cable->SetLines(kModemRLSD);
        QTRY_COMPARE(again.log.size(), 4);
        QCOMPARE(again.log.last(), QString("cts"));
    }

    void destroyingAnOpenPortClosesQuietly() {
        THighResTimer timeBase;
        auto cable = TSimulatedSerialPort::Create();
        bool closed = false;
        {
            TComPort port(timeBase);
            port.SetDeviceFactory(cable->Factory());
            port.Open();
            QObject::connect(&port, &TComPort::OnClose, [&] { closed = true; });
            QVERIFY(cable->IsOpen());
        }
        QVERIFY(!cable->IsOpen());
        QVERIFY(!closed);
    }

    void scanFindsPresentPorts() {
        auto cable = TSimulatedSerialPort::Create();
        cable->SetPath("/dev/ttyUSB0");
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0x00050010u);
        QVERIFY(!cable->IsOpen());
        cable->SetPath("/dev/ttyACM3");
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0x00108000u);
        cable->SetSerialPort(false); // a ttyS without a UART
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0u);
        cable->SetSerialPort(true);
        cable->SetOpenError(EBUSY); // held by another program
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0u);
    }
};

RENNUHR_TEST(ComPortTest);
#include "tst_comport.moc"
