// Processor time of one second of a heat: both lane clocks running in the real window, with
// and without the spectators' screen. Offscreen it measures only the painting; on a real
// display it includes the transfer to the X server. The TV goes to the second screen when
// there is one, as on race day, else it covers the first. Two 1920 x 1080 screens:
//
//   HOME=$(mktemp -d) QT_QPA_PLATFORM=xcb xvfb-run -a
//       -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24" build-tests/bench/bench_window
//
// (one command line)
//
// The scratch HOME keeps the operator's stored settings out of it.
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

QString ScreenText(const QScreen* screen) {
    return QStringLiteral("%1 x %2").arg(screen->size().width()).arg(screen->size().height());
}

void BM_OneSecondOfBothClocks(benchmark::State& state) {
    const bool withTv = state.range(0) != 0;
    TFormMain window;
    window.race.settings.Monitor = QGuiApplication::screens().size() > 1 ? 1 : 0;
    window.show();
    if (withTv) window.FMonitor2->Show();
    RunFor(200); // first paint of everything, which a heat does not repeat
    window.Sequence->mStart->trigger();
    double cpuTotal = 0;
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds();
        RunFor(1000);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        cpuTotal += cpu;
        state.SetIterationTime(cpu);
    }
    // Mean over the iterations: percent of one core.
    state.counters["core_share_percent"] =
        benchmark::Counter(cpuTotal * 100.0, benchmark::Counter::kAvgIterations);
    window.Sequence->mStop1->trigger();
    window.Sequence->mStop2->trigger();
    const QString main = ScreenText(window.screen());
    state.SetLabel((withTv ? QStringLiteral("main window on %1, TV on %2 (screen %3)")
                                 .arg(main, ScreenText(window.FMonitor2->screen()))
                                 .arg(window.FMonitor2->PlacedScreen())
                           : QStringLiteral("main window on %1").arg(main))
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
