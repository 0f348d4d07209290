#include "TestMain.h"

#include "serial/ComLineEvent.h"
#include "serial/ComPort.h"
#include "serial/LineEventQueue.h"
#include "serial/SerialDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TLineCounts)

namespace {

TLineCounts Counts(quint32 cts, quint32 dsr, quint32 ring, quint32 rlsd) {
    TLineCounts counts;
    counts.cts = cts;
    counts.dsr = dsr;
    counts.ring = ring;
    counts.rlsd = rlsd;
    return counts;
}

} // namespace

class LineEdgesTest : public QObject {
    Q_OBJECT
private slots:
    void decode_data() {
        QTest::addColumn<quint32>("previous");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<TLineCounts>("before");
        QTest::addColumn<TLineCounts>("after");
        QTest::addColumn<bool>("hasCounters");
        QTest::addColumn<quint32>("changed");
        QTest::addColumn<quint32>("rising");
        QTest::addColumn<quint32>("pulsed");

        const TLineCounts zero = Counts(0, 0, 0, 0);
        QTest::newRow("nothing changed")
            << 0xB0u << 0xB0u << Counts(4, 5, 6, 7) << Counts(4, 5, 6, 7) << true << 0u << 0u << 0u;
        QTest::newRow("single rising edge") << 0x00u << kModemCTS << zero << Counts(1, 0, 0, 0)
                                            << true << kModemCTS << kModemCTS << 0u;
        QTest::newRow("single falling edge")
            << kModemRLSD << 0x00u << zero << Counts(0, 0, 0, 1) << true << kModemRLSD << 0u << 0u;
        QTest::newRow("pulse folded between reads")
            << 0x00u << 0x00u << zero << Counts(0, 0, 0, 2) << true << kModemRLSD << kModemRLSD
            << kModemRLSD;
        QTest::newRow("line on, dropped and back")
            << kModemDSR << kModemDSR << zero << Counts(0, 2, 0, 0) << true << kModemDSR
            << kModemDSR << kModemDSR;
        QTest::newRow("went off after a pulse in between")
            << kModemDSR << 0x00u << zero << Counts(0, 3, 0, 0) << true << kModemDSR << kModemDSR
            << kModemDSR;
        QTest::newRow("ring counts trailing edges only")
            << 0x00u << 0x00u << zero << Counts(0, 0, 1, 0) << true << kModemRing << kModemRing
            << kModemRing;
        QTest::newRow("counter wrap-around")
            << 0x00u << 0x00u << Counts(0xFFFFFFFFu, 0, 0, 0xFFFFFFFEu)
            << Counts(1, 0, 0, 0xFFFFFFFEu) << true << kModemCTS << kModemCTS << kModemCTS;
        QTest::newRow("wrap-around without movement")
            << 0x00u << 0x00u << Counts(0xFFFFFFFFu, 0, 0, 0) << Counts(0xFFFFFFFFu, 0, 0, 0)
            << true << 0u << 0u << 0u;
        QTest::newRow("three lines at once")
            << 0x00u << (kModemCTS | kModemDSR | kModemRLSD) << zero << Counts(1, 1, 0, 1) << true
            << (kModemCTS | kModemDSR | kModemRLSD) << (kModemCTS | kModemDSR | kModemRLSD) << 0u;
        QTest::newRow("without counters, levels only")
            << kModemCTS << kModemDSR << zero << Counts(9, 9, 9, 9) << false
            << (kModemCTS | kModemDSR) << kModemDSR << 0u;
        QTest::newRow("without counters a pulse is not seen")
            << 0x00u << 0x00u << zero << Counts(2, 0, 0, 0) << false << 0u << 0u << 0u;
    }
    void decode() {
        QFETCH(quint32, previous);
        QFETCH(quint32, status);
        QFETCH(TLineCounts, before);
        QFETCH(TLineCounts, after);
        QFETCH(bool, hasCounters);
        QFETCH(quint32, changed);
        QFETCH(quint32, rising);
        QFETCH(quint32, pulsed);
        const TLineEdges edges = DecodeLineEdges(previous, status, before, after, hasCounters);
        QCOMPARE(edges.changed, changed);
        QCOMPARE(edges.rising, rising);
        QCOMPARE(edges.pulsed, pulsed);
    }

    void foldedPulsesAreCounted() {
        const TLineCounts zero = Counts(0, 0, 0, 0);
        // Level unchanged: every two transitions are a pulse; changed: the first one is the
        // change itself.
        const TLineEdges edges =
            DecodeLineEdges(kModemDSR, kModemCTS, zero, Counts(3, 4, 0, 2), true);
        QCOMPARE(FoldedPulses(edges.folded, kModemCTS), 1u);
        QCOMPARE(FoldedPulses(edges.folded, kModemDSR), 1u);
        QCOMPARE(FoldedPulses(edges.folded, kModemRLSD), 1u);
        const TLineEdges single = DecodeLineEdges(0, kModemRLSD, zero, Counts(0, 0, 0, 1), true);
        QCOMPARE(FoldedPulses(single.folded, kModemRLSD), 0u);
        const TLineEdges many = DecodeLineEdges(0, 0, zero, Counts(6, 0, 0, 0), true);
        QCOMPARE(FoldedPulses(many.folded, kModemCTS), 3u);
        // Without counters nothing between two reads is known.
        const TLineEdges none = DecodeLineEdges(0, 0, zero, Counts(6, 0, 0, 0), false);
        QCOMPARE(FoldedPulses(none.folded, kModemCTS), 0u);
    }

    void portNumbersMapToDevices() {
        const QList<QPair<int, QString>> mapped = {{0, ""},
                                                   {1, "/dev/ttyS0"},
                                                   {4, "/dev/ttyS3"},
                                                   {5, "/dev/ttyUSB0"},
                                                   {12, "/dev/ttyUSB7"},
                                                   {13, "/dev/ttyACM0"},
                                                   {16, "/dev/ttyACM3"},
                                                   {17, ""}};
        for (const auto& [port, device] : mapped) {
            QCOMPARE(ComPortDeviceName(port), device);
            QCOMPARE(ComPortNumber(device), device.isEmpty() ? 0 : port);
        }
        QCOMPARE(ComPortDisplayName(5), QString("COM5 (ttyUSB0)"));
        QCOMPARE(ComPortNumber("com12"), 12);
        QCOMPARE(ComPortNumber("7"), 7);
        QCOMPARE(ComPortNumber("COM17"), 0);
        QCOMPARE(ComPortNumber("/dev/null"), 0);
    }

    void theQueueWakesItsConsumerOncePerEmptying() {
        TLineEventQueue queue(3);
        TComLineEvent event;
        using R = TLineEventQueue::TPushResult;
        event.ticks = 1;
        QCOMPARE(queue.Push(event), R::QueuedWake);
        event.ticks = 2;
        QCOMPARE(queue.Push(event), R::Queued); // the consumer has been told already
        event.ticks = 3;
        QCOMPARE(queue.Push(event), R::Queued);
        QCOMPARE(queue.Push(event), R::Full);
        TComLineEvent taken;
        QVERIFY(queue.Pop(taken));
        QCOMPARE(taken.ticks, qint64(1)); // in order
        event.ticks = 4;
        QCOMPARE(queue.Push(event), R::Queued); // still being emptied
        for (qint64 ticks : {2, 3, 4}) {
            QVERIFY(queue.Pop(taken));
            QCOMPARE(taken.ticks, ticks);
        }
        QVERIFY(!queue.Pop(taken));
        // Found empty: the next event needs a wake-up again.
        QCOMPARE(queue.Push(event), R::QueuedWake);
        QCOMPARE(queue.Pushed(), quint64(5));
    }

    void sysfsNamesTheAdapterAndItsLatency() {
        // The layout of a real FTDI adapter: the tty's device is a port below the USB
        // interface, whose USB device carries the product string.
        QTemporaryDir root;
        const QString usb = root.filePath("devices/pci0000:00/usb1/1-2");
        const QString port = usb + "/1-2:1.0/ttyUSB0";
        QVERIFY(QDir().mkpath(port));
        QVERIFY(QDir().mkpath(root.filePath("class/tty/ttyUSB0")));
        auto write = [](const QString& path, const QByteArray& text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        write(usb + "/product", "FT232R USB UART\n");
        write(port + "/latency_timer", "16\n");
        QVERIFY(QFile::link(port, root.filePath("class/tty/ttyUSB0/device")));
        QCOMPARE(SysfsProductName(root.path(), "ttyUSB0"), QString("FT232R USB UART"));
        QCOMPARE(SysfsLatencyTimer(root.path(), "ttyUSB0"), 16);
        // A built-in port: no product above it, and no latency timer.
        QVERIFY(QDir().mkpath(root.filePath("devices/pnp0/00:04")));
        QVERIFY(QDir().mkpath(root.filePath("class/tty/ttyS0")));
        QVERIFY(QFile::link(root.filePath("devices/pnp0/00:04"),
                            root.filePath("class/tty/ttyS0/device")));
        QCOMPARE(SysfsProductName(root.path(), "ttyS0"), QString());
        QCOMPARE(SysfsLatencyTimer(root.path(), "ttyS0"), -1);
        QCOMPARE(SysfsLatencyTimer(root.path(), "ttyUSB9"), -1);
        QCOMPARE(ComPortDisplayName(5, "FT232R USB UART"),
                 QString("COM5 (ttyUSB0, FT232R USB UART)"));
        QVERIFY(IsUsbSerialDevice("/dev/ttyACM0") && !IsUsbSerialDevice("/dev/ttyS0"));
    }

    void theProgramsEventSetWatchesThreeLines() {
        const TEvents program = TEvents(evCTS | evDSR | evRLSD);
        QCOMPARE(EventMask(program), 0x0038u);
        QCOMPARE(WatchedLines(program), kModemCTS | kModemDSR | kModemRLSD);
    }
};

RENNUHR_TEST(LineEdgesTest);
#include "tst_lineedges.moc"
