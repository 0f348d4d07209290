// What one very long cell in the protocol costs the START key: the time from F5 until the
// window has handled every event it caused (the rows, the backup, the repaint of the table
// and of the TV). The cell is the rider's name of the row lane 1 starts, 0, 32 767 (the most
// a cell may hold) and 2 MiB characters long (more than a file may bring).
#include "RunSandbox.h"
#include "export/BackgroundWriter.h"
#include "export/ProtocolText.h"
#include "protocol/ProtocolModel.h"
#include "race/RaceSequence.h"
#include "ui/MainWindow.h"
#include "ui/Monitor2.h"
#include "ui/SortGrid.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

void HandleEverything() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

ProtocolRows Protocol(qsizetype nameLength) {
    const QStringList header = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                                "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
    QStringList first = {"1", QString(nameLength, u'M'), "Eva", "", "", "", "", "", "", "", ""};
    QStringList second = {"2", "Bauer", "Udo", "", "", "", "", "", "", "", ""};
    return {header, first, second};
}

void BM_StartWithLongCell(benchmark::State& state) {
    const bool withTv = state.range(1) != 0;
    TFormMain window;
    window.SortGrid1->Protocol()->SetRows(Protocol(state.range(0)));
    window.show();
    if (withTv) window.FMonitor2->Show();
    HandleEverything();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.Sequence->mStart->trigger();
        HandleEverything();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        window.Sequence->mStop1->trigger();
        window.Sequence->mStop2->trigger();
        window.Sequence->mReset->trigger();
        // The reset moves the lanes on by two; back to rows 1 and 2.
        window.SortGrid1->Protocol()->SetRows(Protocol(state.range(0)));
        window.SortGrid1->FeedStartNumbers();
        HandleEverything();
    }
    window.FileWriter->Drain();
}

} // namespace

BENCHMARK(BM_StartWithLongCell)
    ->ArgNames({"cell", "tv"})
    ->ArgsProduct({{0, 32767, 2 * 1024 * 1024}, {0, 1}})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    RunSandbox sandbox; // the backup and the settings go to a folder of the run's own
    QApplication app(argc, argv);
    sandbox.UseProgramFolder();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
