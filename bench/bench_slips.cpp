// The time slips' cost where the race feels it, through the real sequence, recorder and slips:
//   bench_slips [heats]   the stop that ends a heat on the window's thread, with slips off and
//                         with slips on a printer that hangs (it never takes a job, so every
//                         slip waits), median, 99th percentile and maximum; the slips' share is
//                         the difference. The first heats of the day, which load the fonts,
//                         are told apart. Then one slip queued on its own, and how long the
//                         printing thread takes to paint a slip into its PDF.

#include "Figures.h"
#include "results/Recorded.h"

#include "slips/PrintQueue.h"
#include "slips/PrintSubmit.h"
#include "slips/TimeSlips.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <future>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Bench : RecordedHeat {
    TTimeSlips slips{race, sequence, db, protocol.model};
    Bench() {
        Open();
        Participants(40);
        race.settings.Title = "Sommerrennen am Flugplatz";
        race.settings.SlipPrinter = "Bon";
        slips.SetAddressSource([] { return QStringLiteral("http://192.0.2.7:8080/"); });
    }
    // The window's time for the stop that ends each heat.
    std::vector<double> Heats(int count) {
        std::vector<double> ms;
        for (int i = 0; i < count; ++i) {
            if (heat.ResetOpen()) Key(sequence.mReset);
            Start();
            At(9000 + i % 300);
            Key(sequence.mStop1);
            At(9500 + i % 200);
            const auto t = Clock::now();
            Key(sequence.mStop2);
            ms.push_back(Ms(Clock::now() - t));
        }
        return ms;
    }
};

void Print(const char* what, const std::vector<double>& ms) {
    const Figures f = Of(ms);
    std::printf("%-52s %5zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", what, ms.size(), f.median,
                f.p99, f.max);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int heats = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    SetPrintSubmitCall([released](const TPrintSubmission&) {
        released.wait();
        return QString();
    });
    {
        Bench off;
        Print("stop ending a heat, slips off", off.Heats(heats));
        Bench on;
        on.race.settings.SlipPrint = true;
        // The first slip loads the fonts, and the printing thread paints it meanwhile.
        Print("the first heats of the day, 2 slips each", on.Heats(3));
        Print("stop ending a heat, 2 slips on a hanging printer", on.Heats(heats));
        std::vector<double> one;
        const TRuns& runs = on.db.Runs();
        for (int i = 0; i < heats; ++i) {
            const auto t = Clock::now();
            on.slips.PrintSlip(runs[i % runs.size()], runs);
            one.push_back(Ms(Clock::now() - t));
        }
        Print("one slip queued on the calling thread", one);
        std::printf("slips waiting for the printer: %d\n", on.slips.Slips->Waiting());
        release.set_value();
        const auto t = Clock::now();
        const int waiting = on.slips.Slips->Waiting();
        while (on.slips.Slips->Waiting() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::printf("painted into PDFs on the printing thread: %d slips, %.2f ms each\n", waiting,
                    Ms(Clock::now() - t) / std::max(1, waiting));
    }
    SetPrintSubmitCall({});
    return 0;
}
