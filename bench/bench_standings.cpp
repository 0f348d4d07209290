// The standings of a long race day: 2000 racers with 5 runs each, rebuilt after every heat by
// the standings window, the TV page and the results page. The rebuild must stay under 20 ms.
#include "results/StandingsPage.h"
#include "results/StandingsWorkbook.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

const QStringList kClasses = {"50 ccm", "70 ccm", "Serie", "Tuning", "Junioren", "Damen"};

TRuns RaceDay(int racers, int runsEach) {
    std::mt19937 random(26);
    std::vector<int> order;
    for (int racer = 0; racer < racers; ++racer)
        for (int run = 0; run < runsEach; ++run)
            order.push_back(racer);
    std::shuffle(order.begin(), order.end(), random);

    TRuns runs;
    runs.reserve(qsizetype(order.size()));
    for (size_t i = 0; i < order.size(); ++i) {
        const QString number = QString::number(order[i] + 1);
        TRun run;
        run.id = qint64(i) + 1;
        run.day = QDate(2026, 6, 13);
        run.heat = int(i / 2) + 1;
        run.lane = int(i % 2) + 1;
        run.startNumber = number;
        run.name = "Fahrer " + number;
        run.firstName = "Vorname";
        run.vehicle = "Vespa PX";
        run.engine = "125";
        // A few racers in classes the list does not know, a few without class.
        const int kind = order[i] % 50;
        run.classInfo = kind == 0 ? "Gast" : kind == 1 ? "" : kClasses[order[i] % 6];
        const int roll = int(random() % 100);
        run.falseStart = roll < 3;
        run.crashed = roll == 3;
        run.voided = roll == 4;
        if (run.falseStart) {
            run.finalTime = "-";
        } else if (roll != 5) {
            run.finalMs = 9000 + qint64(random() % 5000);
            run.finalTime =
                QString("%1,%2").arg(run.finalMs / 1000).arg(run.finalMs % 1000, 3, 10, QChar('0'));
            run.speedKmh = 80.0 + double(random() % 600) / 10.0;
            run.speed = QString::number(run.speedKmh, 'f', 1);
            run.reaction = "0,412";
        }
        if (roll >= 95) run.warnings = QStringList{"Zeit unter der Mindestzeit"};
        runs.append(run);
    }
    return runs;
}

// state.range(0): Klass, state.range(1): ManyStart.
void BM_BuildStandings(benchmark::State& state) {
    const TRuns runs = RaceDay(2000, 5);
    for (auto _ : state) {
        const TStandings standings =
            BuildStandings(runs, state.range(0) != 0, state.range(1) != 0, kClasses);
        benchmark::DoNotOptimize(standings.groups.size());
    }
}

void BM_StandingsPage(benchmark::State& state) {
    const TStandings standings = BuildStandings(RaceDay(2000, 5), true, true, kClasses);
    for (auto _ : state)
        benchmark::DoNotOptimize(StandingsPage(standings, "Rennuhr").size());
}

void BM_StandingsWorkbook(benchmark::State& state) {
    const TStandings standings = BuildStandings(RaceDay(2000, 5), true, true, kClasses);
    for (auto _ : state)
        if (!StandingsWorkbookBytes(standings, "Sommerrennen", "Rennuhr"))
            state.SkipWithError("workbook failed");
}

} // namespace

BENCHMARK(BM_BuildStandings)
    ->ArgNames({"Klass", "ManyStart"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandingsPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandingsWorkbook)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
