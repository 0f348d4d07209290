#pragma once

#include "protocol/ProtocolModel.h"
#include "race/BarrierInputs.h"
#include "race/BarrierPort.h"
#include "race/HeatProtocol.h"
#include "race/Plausibility.h"
#include "race/Race.h"
#include "race/RaceSequence.h"
#include "serial/SimulatedSerialDevice.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

constexpr qint64 kMs = 1000000;

// The protocol a heat writes into, without a table to show it.
struct ProtocolTable : HeatProtocol {
    TProtocolModel model;
    void PrepareHeatRow(const QString& startNumber) override { model.PrepareHeatRow(startNumber); }
    void WriteLaneResult(const QString& startNumber, const LaneResult& result) override {
        model.WriteLaneResult(startNumber, result);
    }
};

// The rules of a heat without a window: the sequence, the barrier inputs and the checks,
// with a simulated cable on COM5 and a clock the test moves. The clock is read by the port's
// wait thread too, hence atomic.
struct Heat {
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(1000 * kMs);
    std::shared_ptr<TSimulatedSerialPort> cable = TSimulatedSerialPort::Create();
    Race race;
    THeatModel& heat = race.heat;
    TRaceState& state = race.heat.state;
    ProtocolTable protocol;
    TRaceSequence sequence{race};
    TBarrierInputs barriers{race, sequence};
    TPlausibility plausibility{race, sequence, barriers};
    TBarrierPort port{race, barriers, cable->Factory()};

    // rest: the input lines as they stand when the port opens.
    explicit Heat(bool withPort = false, quint32 rest = 0) {
        race.HighResTimer1.SetTickSource([clock = now] { return clock->load(); });
        sequence.SetProtocol(&protocol);
        // The start lock-out runs in real time; the heats here follow each other at once.
        sequence.TimerGesperrtStart->setInterval(0);
        cable->SetLines(rest);
        if (withPort) {
            port.Open(5);
            QTRY_VERIFY(cable->WaitCalls() > 0);
        }
    }
    ~Heat() { port.Open(0); }

    void At(qint64 ms) { now->store(state.StartTicks + ms * kMs); }
    void Key(QAction* action) { action->trigger(); }
    void Start() { sequence.mStart->trigger(); }
    // A change the wait thread has stamped at the clock's time, not yet handed on: as while
    // the rules' thread is busy.
    void Seen(quint32 status, quint32 folded = 0) {
        const quint64 before = port.ComPort->RecordedEvents();
        cable->SetLines(status, folded);
        for (int i = 0; i < 10000 && port.ComPort->RecordedEvents() == before; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        QVERIFY(port.ComPort->RecordedEvents() > before);
    }
    // A change stamped and handed to the rules, with all that came before it.
    void Lines(quint32 status, quint32 folded = 0) {
        Seen(status, folded);
        QTRY_COMPARE(port.ComPort->DeliveredEvents(), port.ComPort->RecordedEvents());
    }
    void Pulse(quint32 lines) { Lines(cable->Lines(), lines); }
    // Every lane stops on its first barrier.
    void OneBarrier() {
        race.settings.ColSpeed1 = race.settings.ColSpeed2 = race.settings.ColSpeed3 = false;
        race.settings.UpdateBarrierCount();
    }
    QString Cell(int row, int column) const { return protocol.model.Cell(row, column); }
    bool Lit(int lane, int event) const { return heat.Lane(lane).lamps[event]; }
    QString Shown(int lane) const {
        const THeatLane& l = heat.Lane(lane);
        return l.result ? l.result->finalTime : QString();
    }
};
