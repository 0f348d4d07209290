// The results database under heats run through the real sequence, recorder and protocol.
//   bench_results [heats]   for a normal disk, a throttled one and a loaded machine: the
//                           database write per heat (its two runs, the mark that follows and a
//                           joker on a row afterwards), median and 99th percentile; and the
//                           longest time a recorder call took on the calling thread.
// The throttled disk is a SQLite file layer of the benchmark's own around the system's: every
// write call waits 2 ms and every sync 40 ms, as a cheap USB stick does. The loaded machine
// has both cores busy and a thread writing and syncing 4 MiB at a time to the same disk.

#include "Figures.h"
#include "Heat.h"

#include "results/ResultsDatabase.h"
#include "results/RunRecorder.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A file layer that passes everything to the system's and waits before writes and syncs.
namespace slow {

std::atomic<int> writeDelayUs{0};
std::atomic<int> syncDelayUs{0};
sqlite3_vfs* real = nullptr;
sqlite3_vfs vfs;

sqlite3_file* Inner(sqlite3_file* file) {
    return reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + sizeof(sqlite3_file));
}
void Wait(const std::atomic<int>& us) {
    if (const int n = us.load()) std::this_thread::sleep_for(std::chrono::microseconds(n));
}

const sqlite3_io_methods methods = {
    3,
    [](sqlite3_file* f) { return Inner(f)->pMethods->xClose(Inner(f)); },
    [](sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
        return Inner(f)->pMethods->xRead(Inner(f), b, n, at);
    },
    [](sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
        Wait(writeDelayUs);
        return Inner(f)->pMethods->xWrite(Inner(f), b, n, at);
    },
    [](sqlite3_file* f, sqlite3_int64 size) {
        return Inner(f)->pMethods->xTruncate(Inner(f), size);
    },
    [](sqlite3_file* f, int flags) {
        Wait(syncDelayUs);
        return Inner(f)->pMethods->xSync(Inner(f), flags);
    },
    [](sqlite3_file* f, sqlite3_int64* size) {
        return Inner(f)->pMethods->xFileSize(Inner(f), size);
    },
    [](sqlite3_file* f, int lock) { return Inner(f)->pMethods->xLock(Inner(f), lock); },
    [](sqlite3_file* f, int lock) { return Inner(f)->pMethods->xUnlock(Inner(f), lock); },
    [](sqlite3_file* f, int* out) { return Inner(f)->pMethods->xCheckReservedLock(Inner(f), out); },
    [](sqlite3_file* f, int op, void* arg) {
        return Inner(f)->pMethods->xFileControl(Inner(f), op, arg);
    },
    [](sqlite3_file* f) { return Inner(f)->pMethods->xSectorSize(Inner(f)); },
    [](sqlite3_file* f) { return Inner(f)->pMethods->xDeviceCharacteristics(Inner(f)); },
    [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
        return Inner(f)->pMethods->xShmMap(Inner(f), region, size, extend, out);
    },
    [](sqlite3_file* f, int offset, int n, int flags) {
        return Inner(f)->pMethods->xShmLock(Inner(f), offset, n, flags);
    },
    [](sqlite3_file* f) { Inner(f)->pMethods->xShmBarrier(Inner(f)); },
    [](sqlite3_file* f, int remove) { return Inner(f)->pMethods->xShmUnmap(Inner(f), remove); },
    [](sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
        return Inner(f)->pMethods->xFetch(Inner(f), at, n, out);
    },
    [](sqlite3_file* f, sqlite3_int64 at, void* p) {
        return Inner(f)->pMethods->xUnfetch(Inner(f), at, p);
    },
};

// Becomes the default file layer, so that Qt's connections use it.
void Install() {
    real = sqlite3_vfs_find(nullptr);
    vfs = *real;
    vfs.pNext = nullptr;
    vfs.zName = "rennuhr-slow";
    vfs.szOsFile = int(sizeof(sqlite3_file)) + real->szOsFile;
    vfs.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out) {
        const int rc = real->xOpen(real, name, Inner(f), flags, out);
        f->pMethods = Inner(f)->pMethods ? &methods : nullptr;
        return rc;
    };
    vfs.xDelete = [](sqlite3_vfs*, const char* name, int sync) {
        return real->xDelete(real, name, sync);
    };
    vfs.xAccess = [](sqlite3_vfs*, const char* name, int flags, int* out) {
        return real->xAccess(real, name, flags, out);
    };
    vfs.xFullPathname = [](sqlite3_vfs*, const char* name, int n, char* out) {
        return real->xFullPathname(real, name, n, out);
    };
    vfs.xDlOpen = nullptr;
    vfs.xDlError = nullptr;
    vfs.xDlSym = nullptr;
    vfs.xDlClose = nullptr;
    vfs.xRandomness = [](sqlite3_vfs*, int n, char* out) {
        return real->xRandomness(real, n, out);
    };
    vfs.xSleep = [](sqlite3_vfs*, int us) { return real->xSleep(real, us); };
    vfs.xCurrentTime = [](sqlite3_vfs*, double* out) { return real->xCurrentTime(real, out); };
    vfs.xGetLastError = [](sqlite3_vfs*, int n, char* out) {
        return real->xGetLastError(real, n, out);
    };
    vfs.xCurrentTimeInt64 = [](sqlite3_vfs*, sqlite3_int64* out) {
        return real->xCurrentTimeInt64(real, out);
    };
    vfs.xSetSystemCall = nullptr;
    vfs.xGetSystemCall = nullptr;
    vfs.xNextSystemCall = nullptr;
    vfs.iVersion = 2;
    sqlite3_vfs_register(&vfs, 1);
}

} // namespace slow

struct Bench : Heat {
    std::vector<double> callMs; // each recorder call on this thread
    Clock::time_point began;
    TResultsDatabase db;
    TRunRecorder* recorder;

    explicit Bench(const QString& file) {
        Probe(true);
        recorder = new TRunRecorder(db, race, sequence, plausibility, protocol.model, &db);
        Probe(false);
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (int i = 1; i <= 2; ++i)
            rows << QStringList{QString::number(i), "Fahrer", "Vorname", "Roller", "Motor", "1"};
        protocol.model.SetRows(rows);
        db.Open(file);
        db.Flush();
    }

    // Connected to the signals the recorder follows, before it and after it: a slot runs in the
    // order it was connected, so the span between is the recorder's own work.
    void Probe(bool before) {
        auto mark = [this, before] {
            if (before)
                began = Clock::now();
            else
                callMs.push_back(Ms(Clock::now() - began));
        };
        QObject::connect(&sequence, &TRaceSequence::CommandGiven, &db, mark);
        QObject::connect(&sequence, &TRaceSequence::DisplayReset, &db, mark);
        QObject::connect(&heat, &THeatModel::LaneResultShown, &db, mark);
        QObject::connect(&plausibility, &TPlausibility::Warned, &db, mark);
    }
};

// Heats one after the other, the database given time to write after each step as between the
// events of a real heat; returns each heat's write time: from each step until its changes are
// on the disk, summed.
std::vector<double> RunHeats(Bench& b, int heats) {
    std::vector<double> perHeat;
    double written = 0;
    auto step = [&](auto&& action) {
        action();
        const auto t = Clock::now();
        b.db.Flush();
        written += Ms(Clock::now() - t);
    };
    for (int i = 0; i < heats; ++i) {
        written = 0;
        b.heat.SetStartNumber(1, 1);
        b.heat.SetStartNumber(2, 2);
        step([&] { b.Start(); });
        step([&] {
            b.At(9000 + i % 500);
            b.Key(b.sequence.mStop1);
        });
        step([&] {
            b.At(9600);
            b.Key(b.sequence.mStop2);
        });
        step([&] {
            const int row = b.protocol.model.FindStartRow("2");
            b.protocol.model.ToggleJoker(row);
            const auto t = Clock::now();
            b.recorder->JokerToggled(row);
            b.callMs.push_back(Ms(Clock::now() - t));
        });
        step([&] { b.Key(b.sequence.mReset); });
        perHeat.push_back(written);
    }
    return perHeat;
}

void Report(const char* what, int heats, const std::vector<double>& perHeat,
            const std::vector<double>& callMs) {
    const Figures write = Of(perHeat);
    const Figures call = Of(callMs);
    std::printf("%-42s %5d heats  write per heat: median %7.2f ms  p99 %7.2f ms  max %7.2f ms\n"
                "%-42s %5zu calls  recorder call on the calling thread: median %.4f ms  p99 %.4f "
                "ms  max %.4f ms\n",
                what, heats, write.median, write.p99, write.max, "", callMs.size(), call.median,
                call.p99, call.max);
    std::fflush(stdout);
}

void Measure(const char* what, int heats) {
    QTemporaryDir dir;
    Bench b(TResultsDatabase::FileName(dir.path(), "Rennuhr"));
    b.callMs.clear();
    const std::vector<double> perHeat = RunHeats(b, heats);
    Report(what, heats, perHeat, b.callMs);
}

// Both cores busy and the disk kept writing and syncing while the heats run.
class Load {
public:
    explicit Load(const QString& folder) {
        for (int i = 0; i < 2; ++i)
            threads_.emplace_back([this] {
                volatile unsigned x = 0;
                while (!stop_)
                    x = x * 1664525u + 1013904223u;
            });
        threads_.emplace_back([this, path = QFile::encodeName(folder + "/load")] {
            const std::vector<char> block(4 << 20, 'x');
            while (!stop_) {
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0) return;
                for (int i = 0; i < 8 && !stop_; ++i) {
                    if (::write(fd, block.data(), block.size()) < 0) break;
                    ::fdatasync(fd);
                }
                ::close(fd);
            }
        });
    }
    ~Load() {
        stop_ = true;
        for (std::thread& t : threads_)
            t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    slow::Install();
    QGuiApplication app(argc, argv);
    const int heats = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const int slowHeats = std::max(10, heats / 5);

    Measure("normal disk", heats);
    slow::writeDelayUs = 2000;
    slow::syncDelayUs = 40000;
    Measure("throttled disk (2 ms/write, 40 ms/sync)", slowHeats);
    slow::writeDelayUs = 0;
    slow::syncDelayUs = 0;
    QTemporaryDir loadDir;
    Load load(loadDir.path());
    Measure("loaded machine (2 cores, 4 MiB syncs)", slowHeats);
    return 0;
}
