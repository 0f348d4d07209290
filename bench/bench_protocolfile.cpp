// Cost of saving and loading a protocol of 10 000 rows: the backup is written after every heat
// and, throttled, after every edit, so it must stay well below what an operator would notice.
#include "export/HtmlProtocol.h"
#include "export/ProtocolText.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};

ProtocolRows Protocol(int rows, const QString& name) {
    ProtocolRows protocol{kHeader};
    for (int i = 1; i <= rows; ++i) {
        const QString n = QString::number(i);
        protocol.append({n, name + n, QString::fromUtf8("Jürgen"), "Vespa PX", "125", "3",
                         "0,4" + n.right(2), "", "87,5", "12,3" + n.right(2), i % 2 ? "+" : ""});
    }
    return protocol;
}

// state.range(1): 0 for Windows-1252 text, 1 for a name outside it (written as UTF-8).
QString Name(const benchmark::State& state) {
    return state.range(1) ? QString::fromUtf8("Łukasz") : QString::fromUtf8("Müller");
}

void BM_WriteProtocolFile(benchmark::State& state) {
    const ProtocolRows rows = Protocol(int(state.range(0)), Name(state));
    QTemporaryDir dir;
    const QString path = dir.filePath("p.txt");
    for (auto _ : state)
        if (!WriteProtocolText(path, rows).ok) state.SkipWithError("write failed");
}

void BM_ReadProtocolFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("p.txt");
    WriteProtocolText(path, Protocol(int(state.range(0)), Name(state)));
    for (auto _ : state) {
        const ProtocolReadResult read = ReadProtocolText(path, kHeader);
        if (!read.ok) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read.rows.size());
    }
}

void BM_HtmlPage(benchmark::State& state) {
    const ProtocolRows rows = Protocol(int(state.range(0)), Name(state));
    const QList<bool> shown(11, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlProtocolPage(rows, shown, "Rennuhr").size());
}

} // namespace

BENCHMARK(BM_WriteProtocolFile)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProtocolFile)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlPage)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
