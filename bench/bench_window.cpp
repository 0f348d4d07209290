// Processor time of one second of a heat: both lane clocks running in the real window, with
// and without the spectators' screen. Run it on a real display (xvfb-run at 1920 x 1080 and
// QT_QPA_PLATFORM=xcb) to include the transfer to the X server.
#include "race/RaceSequence.h"
#include "ui/MainWindow.h"
#include "ui/Monitor2.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <ctime>

namespace {

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_OneSecondOfBothClocks(benchmark::State& state) {
    const bool withTv = state.range(0) != 0;
    TFormMain window;
    window.show();
    if (withTv) window.FMonitor2->Show();
    RunFor(200); // first paint of everything, which a heat does not repeat
    window.Sequence->mStart->trigger();
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds();
        RunFor(1000);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        state.SetIterationTime(cpu);
        state.counters["core_share_percent"] = cpu * 100.0;
    }
    window.Sequence->mStop1->trigger();
    window.Sequence->mStop2->trigger();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    state.SetLabel(QStringLiteral("%1 at %2 x %3")
                       .arg(withTv ? "main window and TV" : "main window")
                       .arg(screen.width())
                       .arg(screen.height())
                       .toStdString());
}

} // namespace

BENCHMARK(BM_OneSecondOfBothClocks)
    ->ArgName("tv")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
