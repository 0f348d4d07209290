#include "TestMain.h"

#include "serial/ComLineEvent.h"
#include "serial/ComPort.h"
#include "serial/SerialDevice.h"

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

    void theProgramsEventSetWatchesThreeLines() {
        const TEvents program = TEvents(evCTS | evDSR | evRLSD);
        QCOMPARE(EventMask(program), 0x0038u);
        QCOMPARE(WatchedLines(program), kModemCTS | kModemDSR | kModemRLSD);
    }
};

RENNUHR_TEST(LineEdgesTest);
#include "tst_lineedges.moc"
