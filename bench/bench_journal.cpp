// The journal window reading a long race day (200 000 lines) and 123 MB of junk: how long
// until it shows the day, the longest the window's thread stood still meanwhile (stall_ms:
// what the lane clocks, repainted every 10 ms, would have shown), the peak memory the reading
// took (peak_MB), what the day keeps by the reader's own count (kept_MB) and how long closing
// the window holds up its thread (close_ms).
#include "JournalSample.h"

#include "base/HighResTimer.h"
#include "export/BackgroundWriter.h"
#include "export/Journal.h"
#include "ui/JournalViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

// Kilobytes of a line of /proc/self/status, such as "VmHWM:".
qint64 StatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ')[0].toLongLong();
    return -1;
}

// Starts a new peak of the resident set (Linux 4.0 and later).
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

void BM_JournalWindow(benchmark::State& state) {
    const bool junk = state.range(0) != 0;
    QTemporaryDir dir;
    const QDate day(2024, 5, 4);
    const QString file = TJournal::FileName(dir.path(), "Rennuhr", day);
    if (junk)
        journal_sample::WriteJunk(file, 123LL * 1000 * 1000);
    else
        journal_sample::WriteDay(file, 200000);
    TBackgroundWriter writer;
    THighResTimer timeBase;
    TJournal journal(
        writer, timeBase, [&] { return dir.path(); }, "Rennuhr");
    journal.SetWallClock([day] { return QDateTime(day, QTime(12, 0)); });

    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer clock; // as a lane clock's
    clock.setInterval(10);
    QObject::connect(&clock, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    double peakMb = 0, stallMs = 0, closeMs = 0, keptMb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto viewer = std::make_unique<TJournalViewer>(journal, "Rennuhr");
        viewer->show();
        QApplication::processEvents();
        // What earlier iterations freed goes back to the system, so that it counts again.
        malloc_trim(0);
        const qint64 before = StatusKb("VmRSS:");
        ResetPeak();
        longestStall = 0;
        clock.start();
        sinceTick.start();
        state.ResumeTiming();

        QEventLoop shown;
        QObject::connect(viewer.get(), &TJournalViewer::DayShown, &shown, &QEventLoop::quit);
        viewer->Refresh();
        if (viewer->Loading()) shown.exec();
        QApplication::processEvents(); // the first paint of the day

        state.PauseTiming();
        longestStall = std::max(longestStall, sinceTick.elapsed());
        clock.stop();
        peakMb = std::max(peakMb, double(StatusKb("VmHWM:") - before) / 1024.0);
        keptMb = double(static_cast<TJournalModel*>(viewer->Heats->model())->Day().keptBytes) /
                 1024.0 / 1024.0;
        stallMs = std::max(stallMs, double(longestStall));
        QElapsedTimer closing;
        closing.start();
        viewer->close();
        closeMs = std::max(closeMs, double(closing.elapsed()));
        viewer.reset();
        state.ResumeTiming();
    }
    // The worst of the iterations.
    state.counters["peak_MB"] = peakMb;
    state.counters["stall_ms"] = stallMs;
    state.counters["close_ms"] = closeMs;
    state.counters["kept_MB"] = keptMb;
    state.SetLabel(junk ? "123 MB of junk" : "200 000 lines");
}

} // namespace

BENCHMARK(BM_JournalWindow)
    ->ArgName("junk")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
