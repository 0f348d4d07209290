// Accuracy of the instants of line changes while the user-interface thread is busy: the
// instant read on the wait thread against the instant read when the handler finally runs.
#include "race/HighResTimer.h"
#include "serial/ComPort.h"
#include "serial/SimulatedSerialDevice.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
};

// Microseconds from ticks (nanoseconds).
Figures Summarise(std::vector<qint64> errors) {
    std::sort(errors.begin(), errors.end());
    auto at = [&](double q) {
        const size_t i = size_t(std::max(0.0, q * double(errors.size()) - 1.0 + 0.999999));
        return double(errors[std::min(i, errors.size() - 1)]) / 1000.0;
    };
    return {at(0.5), at(0.99), double(errors.back()) / 1000.0};
}

void BM_EdgeInstantError(benchmark::State& state) {
    const int edges = int(state.range(0));
    THighResTimer timeBase;
    auto cable = TSimulatedSerialPort::Create();
    TComPort port(timeBase);
    port.SetDeviceFactory(cable->Factory());
    port.SetFlowControl(fcRtsCts);
    port.SetEvents(TEvents(evCTS | evDSR | evRLSD));

    std::vector<std::atomic<qint64>> truth(size_t(edges) + 1);
    std::vector<qint64> waitThread, guiThread;
    std::atomic<int> delivered{0};
    QObject::connect(&port, &TComPort::OnCTS, [&](TComPort* sender) {
        const qint64 handlerTicks = timeBase.NowTicks();
        const int i = delivered.load();
        waitThread.push_back(sender->LastEvent().ticks - truth[size_t(i)].load());
        guiThread.push_back(handlerTicks - truth[size_t(i)].load());
        delivered.store(i + 1);
    });

    for (auto _ : state) {
        waitThread.clear();
        guiThread.clear();
        delivered = 0;
        port.Open();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

        // The cable: one edge at a time, each falling somewhere into a busy slice.
        std::thread cableThread([&] {
            std::mt19937 random(1);
            std::uniform_int_distribution<int> pause(1000, 40000);
            quint32 lines = 0;
            for (int i = 0; i < edges; ++i) {
                while (delivered.load() < i)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
                lines ^= kModemCTS;
                truth[size_t(i)] = timeBase.NowTicks();
                cable->SetLines(lines);
            }
        });

        // The user-interface thread: blocked for 5 to 50 ms at a time, as by a repaint,
        // a file write or a dialog, then handling what has queued up.
        std::mt19937 random(2);
        std::uniform_int_distribution<qint64> slice(5000000, 50000000);
        while (delivered.load() < edges) {
            const qint64 until = timeBase.NowTicks() + slice(random);
            while (timeBase.NowTicks() < until) {
            }
            QCoreApplication::processEvents();
        }
        cableThread.join();
        port.Close();
    }

    const Figures mended = Summarise(waitThread);
    const Figures gui = Summarise(guiThread);
    state.counters["wait_median_us"] = mended.median;
    state.counters["wait_p99_us"] = mended.p99;
    state.counters["wait_max_us"] = mended.max;
    state.counters["gui_median_us"] = gui.median;
    state.counters["gui_p99_us"] = gui.p99;
    state.counters["gui_max_us"] = gui.max;
    std::printf("\nerror of %d edge instants, microseconds   median      p99      max\n", edges);
    std::printf("  read on the wait thread               %8.1f %8.1f %8.1f\n", mended.median,
                mended.p99, mended.max);
    std::printf("  read in the handler (GUI thread)      %8.1f %8.1f %8.1f\n\n", gui.median,
                gui.p99, gui.max);
}

} // namespace

BENCHMARK(BM_EdgeInstantError)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);
