#include "TestMain.h"

#include "base/HighResTimer.h"
#include "serial/ComPort.h"
#include "serial/PortNotice.h"
#include "serial/SimulatedSerialDevice.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

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

    void aBusyWindowDelaysNoInstant() {
        // The window does not turn its event loop while edges arrive: each is still stamped
        // when it happened and delivered later, in order, with the levels of its own moment.
        std::atomic<qint64> now{1000};
        Rig rig;
        rig.timeBase.SetTickSource([&] { return now.load(); });
        rig.OpenAndSettle();
        const struct {
            qint64 at;
            quint32 lines;
        } edges[] = {{2000, kModemRLSD}, {2600, kModemRLSD | kModemDSR}, {9000, kModemDSR}};
        for (const auto& edge : edges) {
            const quint64 before = rig.port.RecordedEvents();
            now = edge.at;
            rig.cable->SetLines(edge.lines);
            QVERIFY(WaitUntil([&] { return rig.port.RecordedEvents() > before; }));
        }
        QVERIFY(rig.log.isEmpty()); // nothing delivered yet
        QTRY_COMPARE(rig.log, (QStringList{"rlsd", "dsr", "rlsd"}));
        QCOMPARE(rig.events[0].ticks, qint64(2000));
        QCOMPARE(rig.events[0].status, kModemRLSD);
        QCOMPARE(rig.events[1].ticks, qint64(2600));
        QCOMPARE(rig.events[1].rising, kModemDSR);
        QCOMPARE(rig.events[2].ticks, qint64(9000));
        QCOMPARE(rig.events[2].status, kModemDSR);
        QCOMPARE(rig.events[2].rising, 0u);
    }

    void aPulseBetweenTwoReadsIsReportedAsFolded() {
        for (const bool counters : {true, false}) {
            Rig rig;
            rig.cable->SetHasCounters(counters);
            rig.cable->SetLines(kModemCTS);
            rig.OpenAndSettle();
            QCOMPARE(rig.port.OpenStatus(), kModemCTS); // the levels at open are the rest
            // CTS drops and returns in one go, as between two reads of the wait thread.
            rig.cable->Pulse(kModemCTS);
            if (counters) QVERIFY(WaitUntil([&] { return rig.port.RecordedEvents() > 0; }));
            rig.cable->SetLines(kModemCTS | kModemDSR);
            if (counters) {
                QTRY_COMPARE(rig.log, (QStringList{"cts", "dsr"}));
                QCOMPARE(rig.events[0].pulsed, kModemCTS);
                QCOMPARE(rig.events[0].rising, kModemCTS);
                QCOMPARE(rig.events[0].status, kModemCTS);
            } else {
                // Levels alone cannot show the folded pulse.
                QTRY_COMPARE(rig.log, QStringList{"dsr"});
                QVERIFY(!rig.events.last().hasCounters);
            }
            QCOMPARE(rig.events.last().status, kModemCTS | kModemDSR);
        }
    }

    void aFullQueueFoldsChangesAndCountsThem() {
        std::atomic<qint64> now{1000};
        Rig rig;
        rig.timeBase.SetTickSource([&] { return now.load(); });
        rig.port.SetQueueCapacity(2);
        QSignalSpy condition(&rig.port, &TComPort::OnConditionChanged);
        rig.OpenAndSettle();
        quint32 lines = 0;
        for (int i = 0; i < 3; ++i) {
            lines ^= kModemDSR;
            const quint64 before = rig.port.RecordedEvents();
            now += 1000;
            rig.cable->SetLines(lines);
            if (i < 2) QVERIFY(WaitUntil([&] { return rig.port.RecordedEvents() > before; }));
        }
        QVERIFY(WaitUntil([&] { return rig.port.QueueOverflows() == 1; }));
        // The third change waits for room; the wait thread keeps it, not loses it.
        QTRY_COMPARE(rig.log.size(), 3);
        QCOMPARE(rig.events.last().status, kModemDSR);
        QCOMPARE(rig.port.Condition().overflows, quint64(1));
        QVERIFY(condition.count() >= 2); // opened, then the overflow
        QVERIFY(PortNoticeText(rig.port.Condition()).contains("zusammengefasst"));
    }

    void aVanishedAdapterClosesAndComesBackByItself() {
        Rig rig;
        rig.port.SetPort(5);
        rig.cable->SetUsbAdapter("FT232R USB UART", 16);
        rig.OpenAndSettle();
        rig.cable->SetLines(kModemCTS);
        QVERIFY(WaitUntil([&] { return rig.port.RecordedEvents() > 0; }));
        rig.cable->Vanish();
        // What happened before the plug came out is still delivered, then the port closes.
        QTRY_COMPARE(rig.log, (QStringList{"cts", "close"}));
        QVERIFY(!rig.port.Connected());
        QVERIFY(rig.port.Condition().lost);
        QVERIFY(rig.port.ReconnectTimer->isActive());
        QVERIFY(rig.port.ReconnectTimer->interval() <= 1000);
        QCOMPARE(rig.port.ModemStatus(), 0u);
        QVERIFY(PortNoticeText(rig.port.Condition()).startsWith("Lichtschranken getrennt"));
        const int waits = rig.cable->WaitCalls();
        QTest::qWait(20);
        QCOMPARE(rig.cable->WaitCalls(), waits); // no thread spins on the dead device

        rig.port.TryReconnect(); // still gone: nothing
        QVERIFY(!rig.port.Connected());
        rig.cable->Return();
        rig.port.TryReconnect();
        QVERIFY(rig.port.Connected());
        QCOMPARE(rig.log.last(), QString("open"));
        QVERIFY(!rig.port.ReconnectTimer->isActive());
        QVERIFY(rig.port.Condition().reconnected);
        QVERIFY(rig.cable->LowLatency()); // set again on the new device
        QVERIFY(PortNoticeText(rig.port.Condition()).contains("wieder verbunden"));
        QVERIFY(WaitUntil([&] { return rig.cable->WaitCalls() > waits; }));
        rig.cable->SetLines(kModemCTS | kModemDSR);
        QTRY_COMPARE(rig.log.last(), QString("dsr"));

        // Closing on purpose ends the search.
        rig.cable->Vanish();
        QTRY_VERIFY(rig.port.ReconnectTimer->isActive());
        rig.port.Close();
        QVERIFY(!rig.port.ReconnectTimer->isActive());
        QVERIFY(!rig.port.Condition().lost);
    }

    void closeDropsWhatIsNotYetDelivered() {
        Rig rig;
        rig.OpenAndSettle();
        rig.cable->SetLines(kModemCTS);
        QVERIFY(WaitUntil([&] { return rig.port.RecordedEvents() > 0; }));
        // The thread went back to waiting without anyone taking the event.
        QVERIFY(WaitUntil([&] { return rig.cable->WaitCalls() >= 2; }));
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

    void usbAdaptersGetLowLatencyAndTheOperatorHearsOfSlowOnes() {
        Rig rig;
        rig.port.SetPort(5);
        rig.cable->SetUsbAdapter("FT232R USB UART", 16);
        rig.OpenAndSettle();
        QVERIFY(rig.cable->LowLatency());
        QCOMPARE(rig.port.Condition().latencyMs, 1);
        QCOMPARE(rig.port.Condition().product, QString("FT232R USB UART"));
        QVERIFY(PortNoticeText(rig.port.Condition()).isEmpty());
        rig.cable->SetLines(kModemRLSD); // held back to the next status packet, then seen
        QTRY_COMPARE(rig.log, QStringList{"rlsd"});

        // A driver that keeps its 16 ms whatever it is asked.
        rig.cable->SetLowLatencyHonoured(false);
        rig.OpenAndSettle();
        QCOMPARE(rig.port.Condition().latencyMs, 16);
        const QString notice = PortNoticeText(rig.port.Condition());
        QVERIFY2(notice.contains("COM5 (ttyUSB0)") && notice.contains("16 ms"), qPrintable(notice));

        // A driver without TIOCMIWAIT is polled, and says so.
        rig.cable->SetLowLatencyHonoured(true);
        rig.cable->SetWaitRefused(true);
        rig.port.Open();
        QTRY_VERIFY(rig.port.Condition().polled);
        QVERIFY(PortNoticeText(rig.port.Condition()).contains("jede Millisekunde"));
        rig.log.clear();
        rig.cable->SetLines(0);
        QTRY_COMPARE(rig.log, QStringList{"rlsd"});
    }

    void permissionIsNamedWithItsRemedy() {
        Rig rig;
        rig.port.SetPort(5);
        rig.cable->SetOpenError(EACCES);
        QVERIFY_THROWS_EXCEPTION(EComHandle, rig.port.Open());
        QCOMPARE(rig.port.Condition().openError, EACCES);
        QVERIFY(PortNoticeText(rig.port.Condition()).contains("„dialout“"));
        // A port that is merely busy is not the operator's to mend.
        rig.cable->SetOpenError(EBUSY);
        QVERIFY_THROWS_EXCEPTION(EComHandle, rig.port.Open());
        QVERIFY(PortNoticeText(rig.port.Condition()).isEmpty());
    }

    void scanOffersUsbAdaptersWithTheirNames() {
        auto cable = TSimulatedSerialPort::Create();
        cable->SetPath("/dev/ttyUSB0");
        cable->SetUsbAdapter("FT232R USB UART");
        // Linux reports no UART type for USB adapters; they are offered all the same.
        TPortScan scan = TComPort::ScanPorts(cable->Factory());
        QCOMPARE(scan.present, 0x00050010u);
        QCOMPARE(scan.names.value(5), QString("COM5 (ttyUSB0, FT232R USB UART)"));
        QVERIFY(!cable->IsOpen());
        cable->SetPath("/dev/ttyACM3");
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0x00108000u);
        // A ttyS must have a UART behind it.
        cable->SetPath("/dev/ttyS1");
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0x00020002u);
        cable->SetUartType(false);
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0u);
        cable->SetUartType(true);
        cable->SetOpenError(EBUSY); // held by another program
        QCOMPARE(TComPort::ScanComPorts(cable->Factory()), 0u);
        cable->SetOpenError(EACCES);
        scan = TComPort::ScanPorts(cable->Factory());
        QCOMPARE(scan.present, 0u);
        QCOMPARE(scan.refused.size(), 1);
        QCOMPARE(scan.refused.first().port, 2);
        QCOMPARE(scan.refused.first().openError, EACCES);
    }
};

RENNUHR_TEST(ComPortTest);
#include "tst_comport.moc"
