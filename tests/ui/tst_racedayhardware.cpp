// The window against hardware as race days bring it: close finishes while the window is
// busy, a slow disk, an adapter pulled out and plugged in again, USB adapters in the list.
#include "TestMain.h"
#include "Track.h"

#include "base/HighResTimer.h"
#include "export/BackgroundWriter.h"
#include "export/ProtocolBackup.h"
#include "export/ProtocolText.h"
#include "export/SaveBytes.h"
#include "protocol/ProtocolModel.h"
#include "race/RaceSequence.h"
#include "settings/CfgDialog.h"
#include "ui/LaneTimer.h"
#include "ui/ProtocolFiles.h"
#include "ui/RaceArea.h"
#include "ui/TopBar.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>

namespace {

// A disk whose writes do not finish until the test lets them: a USB stick at its slowest.
struct SlowDisk {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<int> writes{0};
    std::atomic<bool> onWindowThread{false};

    static TBackgroundWriter::Sink Sink(const std::shared_ptr<SlowDisk>& disk) {
        return [disk](const QString& file, const QByteArray& bytes) {
            if (QThread::currentThread() == qApp->thread()) disk->onWindowThread = true;
            ++disk->writes;
            std::unique_lock lock(disk->mutex);
            disk->opened.wait(lock, [&] { return disk->open; });
            return SaveFileBytes(file, bytes);
        };
    }
    void Release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
};

// Holds the slow disk until the window is gone, whatever the test does.
struct DiskGuard {
    std::shared_ptr<SlowDisk> disk;
    ~DiskGuard() { disk->Release(); }
};

ProtocolRows LargeProtocol(int rows) {
    ProtocolRows protocol{TProtocolModel::DefaultHeaderTexts()};
    for (int i = 1; i <= rows; ++i)
        protocol.append(
            {QString::number(i), "Name", "Vorname", "Roller", "50", "", "", "", "", "", ""});
    return protocol;
}

} // namespace

class RaceDayHardwareTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void aCloseFinishGivesTheSecondLaneItsOwnTime() {
        auto disk = std::make_shared<SlowDisk>();
        Track t;
        DiskGuard guard{disk};
        t.w.FileWriter->SetSink(SlowDisk::Sink(disk));
        t.w.SortGrid1->Protocol()->SetRows(LargeProtocol(3000));
        t.OneBarrier();
        // The lanes' lock-outs run in real time; these heats follow each other at once.
        t.w.Sequence->TimerGesperrtStop1->setInterval(0);
        t.w.Sequence->TimerGesperrtStop2->setInterval(0);
        QTest::keyClick(&t.w, Qt::Key_F10);

        const qint64 gaps[] = {kMs / 2, 1 * kMs, 3 * kMs, 8 * kMs};
        qint64 gap = 0;
        // Lane 2 crosses while the window is still in lane 1's stop, which writes the backup.
        QObject::connect(t.w.Sequence, &TRaceSequence::LaneStopped, [&](int lane) {
            if (lane != 1 || !gap) return;
            t.now->fetch_add(gap);
            t.Seen(kModemCTS | kModemRLSD | kModemDSR);
        });
        qint64 at = 10000 * kMs;
        for (qint64 g : gaps) {
            gap = g;
            t.now->store(at);
            t.Lines(kModemCTS);
            QVERIFY(t.w.race.heat.Lane(1).running);
            const qint64 start = t.w.race.heat.state.StartTicks;
            t.now->store(start + 12345 * kMs);
            t.Lines(kModemCTS | kModemRLSD);
            QTRY_VERIFY(!t.w.race.heat.Lane(2).running);
            QCOMPARE(t.w.race.heat.Lane(1).stopTicks - start, 12345 * kMs);
            QCOMPARE(t.w.race.heat.Lane(2).stopTicks - start, 12345 * kMs + g);
            const int row1 = t.w.SortGrid1->Protocol()->FindStartRow(
                t.w.PanelLeft->FrameT1->editStartN1->text());
            const int row2 = t.w.SortGrid1->Protocol()->FindStartRow(
                t.w.PanelLeft->FrameT2->editStartN1->text());
            QCOMPARE(t.Cell(row1, ColTime), QString("12,345"));
            QCOMPARE(t.Cell(row2, ColTime), TicksToText(12345 * kMs + g));
            QCOMPARE(t.Cell(row1, ColWin), QString("+"));
            QCOMPARE(t.Cell(row2, ColWin), QString());
            gap = 0;
            t.Lines(kModemCTS);
            QTest::keyClick(&t.w, Qt::Key_F7);
            t.now->store(at + 20000 * kMs);
            t.Lines(0);
            at += 60000 * kMs;
        }
        // The disk took none of it; it gets the last protocol when it is ready.
        QVERIFY(disk->writes.load() >= 1);
        QVERIFY(!disk->onWindowThread.load());
        disk->Release();
        t.w.FileWriter->Drain();
        const ProtocolReadResult backup =
            ReadProtocolText(t.w.Files->Backup->FilePath(), TProtocolModel::DefaultHeaderTexts());
        QVERIFY(backup.ok);
        QCOMPARE(backup.rows.value(8).value(ColTime), TicksToText(12345 * kMs + 8 * kMs));
    }

    void aStopByKeyDoesNotWaitForTheDisk() {
        auto disk = std::make_shared<SlowDisk>();
        Track t(false);
        DiskGuard guard{disk};
        t.w.FileWriter->SetSink(SlowDisk::Sink(disk));
        QTest::keyClick(&t.w, Qt::Key_F5);
        t.At(9000);
        QTest::keyClick(&t.w, Qt::Key_F8); // the backup goes to the disk, which hangs
        QTRY_COMPARE(disk->writes.load(), 1);
        t.At(9002);
        QTest::keyClick(&t.w, Qt::Key_F9);
        QCOMPARE(t.Cell(2, ColTime), QString("9,002"));
        QCOMPARE(t.Cell(1, ColTime), QString("9,000"));
        disk->Release();
    }

    void anAdapterPulledOutMidHeatLeavesTheStopsToTheOperator() {
        Track t;
        t.OneBarrier();
        QTest::keyClick(&t.w, Qt::Key_F10);
        t.Lines(kModemCTS);
        QVERIFY(t.w.race.heat.Lane(1).running);
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
        t.cable->Vanish();
        QTRY_VERIFY(t.w.PanelLeft->ImageLSstop1->isHidden()); // the barriers show as disconnected
        QVERIFY(!t.w.Panel1->LabPortNotice->isHidden());
        QVERIFY(t.w.Panel1->LabPortNotice->text().startsWith("Lichtschranken getrennt (COM5"));
        QCOMPARE(t.w.Sequence->StartLight(), 2);
        QVERIFY(t.w.ComPort->ReconnectTimer->isActive());
        t.At(3000);
        QTest::keyClick(&t.w, Qt::Key_F8);
        QCOMPARE(t.Cell(1, ColTime), QString("3,000"));
        QVERIFY(t.w.race.heat.Lane(2).running);

        // Back in: opened again by the timer, and lane 2's barrier stops it.
        t.cable->Return();
        t.w.ComPort->ReconnectTimer->setInterval(1);
        QTRY_VERIFY(!t.w.PanelLeft->ImageLSstop1->isHidden());
        QVERIFY(t.w.Panel1->LabPortNotice->text().contains("wieder verbunden"));
        t.At(4000);
        t.Lines(kModemCTS | kModemDSR);
        QVERIFY(!t.w.race.heat.Lane(2).running);
        QCOMPARE(t.Cell(2, ColTime), QString("4,000"));

        // Choosing no port ends the search and the notice.
        t.cable->Vanish();
        QTRY_VERIFY(t.w.ComPort->ReconnectTimer->isActive());
        t.w.OpenPort(0);
        QVERIFY(!t.w.ComPort->ReconnectTimer->isActive());
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
    }

    void theSettingsOfferTheUsbAdapterByName() {
        auto cable = TSimulatedSerialPort::Create();
        cable->SetPath("/dev/ttyUSB0");
        cable->SetUsbAdapter("FT232R USB UART", 16);
        cable->SetLowLatencyHonoured(false);
        TFormMain w(nullptr, cable->Factory());
        QCOMPARE(w.PortScan.present, 0x00050010u);
        w.race.settings.Port = 5;
        w.CfgDialog->Fill();
        QCOMPARE(w.CfgDialog->cbPort->count(), 2);
        QCOMPARE(w.CfgDialog->cbPort->itemText(1), QString("COM5 (ttyUSB0, FT232R USB UART)"));
        QCOMPARE(w.CfgDialog->cbPort->currentIndex(), 1);
        QVERIFY(w.CfgDialog->LabPortNotice->isHidden()); // not open yet: nothing known

        // Opened, the adapter keeps its 16 ms: said beside the port and in the window.
        w.OpenPort(5);
        w.CfgDialog->Fill();
        QVERIFY(!w.CfgDialog->LabPortNotice->isHidden());
        QVERIFY(w.CfgDialog->LabPortNotice->text().contains("16 ms"));
        QVERIFY(w.CfgDialog->height() > w.CfgDialog->LabPortNotice->geometry().bottom());
        QVERIFY(w.CfgDialog->OKBtn->y() > w.CfgDialog->LabPortNotice->geometry().bottom());
        QCOMPARE(w.Panel1->LabPortNotice->text(), w.CfgDialog->LabPortNotice->text());
        // Back after an unplug and still slow: the bar gives the more important point, its
        // hint and the settings give both.
        cable->Vanish();
        QTRY_VERIFY(w.Panel1->LabPortNotice->text().startsWith("Lichtschranken getrennt"));
        cable->Return();
        w.ComPort->TryReconnect();
        QVERIFY(w.Panel1->LabPortNotice->text().contains("16 ms"));
        QVERIFY(w.Panel1->LabPortNotice->toolTip().endsWith("wieder verbunden (COM5 (ttyUSB0))."));
        w.CfgDialog->Fill();
        QCOMPARE(w.CfgDialog->LabPortNotice->text(), w.Panel1->LabPortNotice->toolTip());
        // No notice for the choice "Kein".
        w.CfgDialog->cbPort->setCurrentIndex(0);
        QVERIFY(w.CfgDialog->LabPortNotice->isHidden());
    }

    void aPortRefusedForPermissionIsExplained() {
        auto cable = TSimulatedSerialPort::Create();
        cable->SetPath("/dev/ttyUSB0");
        cable->SetOpenError(EACCES);
        TFormMain w(nullptr, cable->Factory());
        QCOMPARE(w.PortScan.present, 0u);
        w.CfgDialog->Fill();
        QVERIFY(w.CfgDialog->LabPortNotice->text().contains("„dialout“"));
        QVERIFY(w.CfgDialog->LabPortNotice->text().contains("COM5 (ttyUSB0)"));
        w.OpenPort(5);
        QVERIFY(!w.Panel1->LabPortNotice->isHidden());
        QVERIFY(w.Panel1->LabPortNotice->text().contains("„dialout“"));
        // A click puts the notice away.
        QTest::mouseClick(w.Panel1->LabPortNotice, Qt::LeftButton);
        QVERIFY(w.Panel1->LabPortNotice->isHidden());
    }
};
RENNUHR_TEST(RaceDayHardwareTest);

#include "tst_racedayhardware.moc"
