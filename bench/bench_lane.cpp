// Cost of the running clock: one 10 ms tick of one lane with its six digits.
#include "race/Race.h"
#include "ui/LaneTimer.h"

#include <QApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

// Each tick advances the clock by 10 ms, as the real timer does.
void RunTicks(benchmark::State& state, bool paint) {
    Race race;
    qint64 now = 0;
    race.HighResTimer1.SetTickSource([&] { return now; });
    TFrame1 lane(race, 1);
    lane.show();
    race.heat.SetLaneRunning(1, true);
    lane.Clock->stop(); // the benchmark drives the ticks itself
    for (auto _ : state) {
        now += 10000000;
        lane.ClockTimer();
        if (paint) QCoreApplication::processEvents();
    }
}

void BM_ClockTick(benchmark::State& state) {
    RunTicks(state, false);
}
void BM_ClockTickWithRepaint(benchmark::State& state) {
    RunTicks(state, true);
}

} // namespace

BENCHMARK(BM_ClockTick);
BENCHMARK(BM_ClockTickWithRepaint);
