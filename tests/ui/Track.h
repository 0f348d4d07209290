#pragma once

#include "race/BarrierInputs.h"
#include "race/RaceSequence.h"
#include "serial/ComPort.h"
#include "serial/SimulatedSerialDevice.h"
#include "ui/HeatControls.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/RaceArea.h"
#include "ui/SortGrid.h"
#include "widgets/Led.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

constexpr qint64 kMs = 1000000;

// The real window with a simulated cable on COM5. The clock is read by the port's wait
// thread too, hence atomic.
struct Track {
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(1000 * kMs);
    std::shared_ptr<TSimulatedSerialPort> cable = TSimulatedSerialPort::Create();
    std::unique_ptr<TFormMain> owner = std::make_unique<TFormMain>(nullptr, cable->Factory());
    TFormMain& w = *owner;

    // rest: the input lines as they stand when the port opens.
    explicit Track(bool withPort = true, quint32 rest = 0) {
        // A port an earlier window stored may be open already; its wait thread reads the clock.
        w.OpenPort(0);
        w.race.HighResTimer1.SetTickSource([clock = now] { return clock->load(); });
        // The start lock-out runs in real time; the heats here follow each other at once.
        w.Sequence->TimerGesperrtStart->setInterval(0);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        cable->SetLines(rest);
        if (withPort) {
            w.OpenPort(5);
            // Changes count from the wait thread's first look at the lines.
            QTRY_VERIFY(cable->WaitCalls() > 0);
        }
    }
    void At(qint64 ms) { now->store(w.race.heat.state.StartTicks + ms * kMs); }
    // A change the wait thread has stamped at the clock's time, but the window has not been
    // given yet: as while the window is busy.
    void Seen(quint32 status, quint32 folded = 0) {
        const quint64 before = w.ComPort->RecordedEvents();
        cable->SetLines(status, folded);
        for (int i = 0; i < 10000 && w.ComPort->RecordedEvents() == before; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        QVERIFY(w.ComPort->RecordedEvents() > before);
    }
    // A change stamped and handed to the window, with all that came before it.
    void Lines(quint32 status, quint32 folded = 0) {
        Seen(status, folded);
        QTRY_COMPARE(w.ComPort->DeliveredEvents(), w.ComPort->RecordedEvents());
    }
    void Pulse(quint32 lines) { Lines(cable->Lines(), lines); }
    // Every lane stops on its first barrier.
    void OneBarrier() {
        w.race.settings.ColSpeed1 = w.race.settings.ColSpeed2 = w.race.settings.ColSpeed3 = false;
        w.HeatControls->ShowBarrierLamps();
    }
    // A heat by the keys: START, lane 1 at ms1, lane 2 at ms2, in time order.
    void KeyHeat(qint64 ms1, qint64 ms2) {
        QTest::keyClick(&w, Qt::Key_F5);
        At(std::min(ms1, ms2));
        QTest::keyClick(&w, ms1 <= ms2 ? Qt::Key_F8 : Qt::Key_F9);
        At(std::max(ms1, ms2));
        QTest::keyClick(&w, ms1 <= ms2 ? Qt::Key_F9 : Qt::Key_F8);
    }
    QString Cell(int row, int column) { return w.SortGrid1->Protocol()->Cell(row, column); }
    bool Lit(int led) { return w.PanelLeft->Led[led]->Value(); }
};
