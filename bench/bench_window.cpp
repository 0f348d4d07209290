// Processor time of one second of a heat: both lane clocks running in the real window.
#include "race/RaceSequence.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <ctime>

namespace {

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void BM_OneSecondOfBothClocks(benchmark::State& state) {
    TFormMain window;
    window.show();
    QCoreApplication::processEvents();
    window.Sequence->mStart->trigger();
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        state.SetIterationTime(cpu);
        state.counters["core_share_percent"] = cpu * 100.0;
    }
    window.Sequence->mStop1->trigger();
    window.Sequence->mStop2->trigger();
}

} // namespace

BENCHMARK(BM_OneSecondOfBothClocks)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
