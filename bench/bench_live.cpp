// Load test of the results page on loopback: a whole heat on the real clock, first with no
// page open, then with 200 pages following it. Prints the lane clock's tick intervals on the
// window's thread and whether every page got the result.

#include "RunSandbox.h"
#include "live/LiveServer.h"
#include "race/LaneTimer.h"
#include "race/RaceSequence.h"
#include "serial/SimulatedSerialDevice.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kClients = TLiveServer::kMaxClients;
constexpr int kHeatMs = 10000;

using Clock = std::chrono::steady_clock;

// The pages, on a thread of their own, as phones would be on their own hardware.
class Pages : public QObject {
public:
    std::atomic<int> connected{0};
    std::atomic<int> withResult{0};
    std::atomic<qint64> events{0};

    void Open(quint16 port) {
        sockets_.resize(kClients);
        buffers_.resize(kClients);
        done_.assign(kClients, false);
        for (int i = 0; i < kClients; ++i) {
            auto* socket = new QTcpSocket(this);
            sockets_[i] = socket;
            connect(socket, &QTcpSocket::connected, this, [this, socket] {
                ++connected;
                socket->write("GET /api/events HTTP/1.1\r\nHost: bench\r\n\r\n");
            });
            connect(socket, &QTcpSocket::disconnected, this, [this] { --connected; });
            connect(socket, &QTcpSocket::readyRead, this, [this, i] { Read(i); });
            socket->connectToHost(QStringLiteral("127.0.0.1"), port);
        }
    }
    void Close() {
        for (QTcpSocket* socket : sockets_)
            socket->abort();
        qDeleteAll(sockets_);
        sockets_.clear();
    }

private:
    void Read(int i) {
        QByteArray& buffer = buffers_[i];
        buffer += sockets_[i]->readAll();
        for (qsizetype end; (end = buffer.indexOf("\n\n")) >= 0; buffer.remove(0, end + 2)) {
            const QByteArray block = buffer.left(end);
            const qsizetype data = block.indexOf("data: {");
            if (!block.contains("event: state") || data < 0) continue;
            ++events;
            const QJsonObject state = QJsonDocument::fromJson(block.mid(data + 6)).object();
            const QJsonObject lane1 = state["lanes"][0].toObject();
            const QJsonObject lane2 = state["lanes"][1].toObject();
            if (!done_[i] && lane1["stopped"].toBool() && lane1["winner"].toBool() &&
                lane2["stopped"].toBool()) {
                done_[i] = true;
                ++withResult;
            }
        }
    }

    std::vector<QTcpSocket*> sockets_;
    std::vector<QByteArray> buffers_;
    std::vector<bool> done_;
};

struct Figures {
    int ticks = 0;
    double p50 = 0, p99 = 0, max = 0, min = 0;
    double within = 0;      // share of intervals within 10 ± 2 ms
    double deviation99 = 0; // 99th percentile of |interval - 10 ms|
};

// One heat of kHeatMs on the real clock; the lane 1 clock's tick intervals meanwhile.
Figures Heat(TFormMain& w, std::function<void()> duringHeat = {}) {
    std::vector<Clock::time_point> stamps;
    stamps.reserve(2 * kHeatMs / 10);
    const auto connection = QObject::connect(w.FrameT1, &TFrame1::ClockShown, [&] {
        if (w.FrameT1->IsRunning()) stamps.push_back(Clock::now());
    });
    w.Sequence->mStart->trigger();
    QTest::qWait(kHeatMs);
    w.Sequence->mStop1->trigger();
    QTest::qWait(150);
    w.Sequence->mStop2->trigger();
    QObject::disconnect(connection);
    if (duringHeat) duringHeat();

    std::vector<double> intervals;
    for (size_t i = 1; i < stamps.size(); ++i)
        intervals.push_back(
            std::chrono::duration<double, std::milli>(stamps[i] - stamps[i - 1]).count());
    std::sort(intervals.begin(), intervals.end());
    Figures f;
    if (intervals.empty()) return f;
    const auto at = [&](double q) { return intervals[size_t(q * (intervals.size() - 1))]; };
    f.ticks = int(intervals.size());
    f.p50 = at(0.5);
    f.p99 = at(0.99);
    f.max = intervals.back();
    f.min = intervals.front();
    std::vector<double> deviations;
    for (double ms : intervals)
        deviations.push_back(std::abs(ms - 10));
    std::sort(deviations.begin(), deviations.end());
    f.deviation99 = deviations[size_t(0.99 * (deviations.size() - 1))];
    f.within = double(std::count_if(intervals.begin(), intervals.end(),
                                    [](double ms) { return ms >= 8 && ms <= 12; })) /
               intervals.size();
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("%-20s ticks %5d  interval p50 %6.3f  p99 %6.3f  min %6.3f  max %6.3f ms  "
                "|interval-10| p99 %5.3f ms  within 10+-2 ms %6.2f %%\n",
                what, f.ticks, f.p50, f.p99, f.min, f.max, f.deviation99, 100 * f.within);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    RunSandbox sandbox;
    QApplication app(argc, argv);
    sandbox.UseProgramFolder();

    auto cable = TSimulatedSerialPort::Create();
    TFormMain w(nullptr, cable->Factory());
    w.race.settings.Sound = false;
    w.show();

    const Figures alone = Heat(w);
    Print("no page open", alone);
    w.Sequence->mReset->trigger();

    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    w.race.settings.LiveResults = true;
    w.race.settings.LivePort = port;
    w.ApplyLiveResults();
    if (!QTest::qWaitFor([&] { return w.LiveServer->IsListening(); }, 5000)) {
        std::printf("the server did not start\n");
        return 1;
    }

    QThread pagesThread;
    Pages pages;
    pages.moveToThread(&pagesThread);
    pagesThread.start();
    QMetaObject::invokeMethod(&pages, [&] { pages.Open(port); });
    (void)QTest::qWaitFor([&] { return w.LiveServer->ClientCount() == kClients; }, 20000);
    QTest::qWait(500);
    std::printf("pages connected: %d (server counts %d)\n", pages.connected.load(),
                w.LiveServer->ClientCount());
    const qint64 eventsBefore = pages.events.load();

    QElapsedTimer sinceStop;
    int stillConnected = 0;
    const Figures loaded = Heat(w, [&] {
        sinceStop.start();
        stillConnected = pages.connected.load();
    });
    (void)QTest::qWaitFor([&] { return pages.withResult.load() == kClients; }, 5000);
    const qint64 allHadIt = sinceStop.elapsed();
    Print("200 pages following", loaded);
    std::printf("pages connected through the heat: %d of %d\n", stillConnected, kClients);
    std::printf("pages with the result (winner, both lanes stopped): %d of %d, all within "
                "%lld ms of lane 2's stop\n",
                pages.withResult.load(), kClients, allHadIt);
    std::printf("state messages received during the heat: %lld (%.1f per page and second)\n",
                pages.events.load() - eventsBefore,
                double(pages.events.load() - eventsBefore) / kClients / (kHeatMs / 1000.0));

    QMetaObject::invokeMethod(
        &pages, [&] { pages.Close(); }, Qt::BlockingQueuedConnection);
    pagesThread.quit();
    pagesThread.wait();
    const bool ok = loaded.deviation99 <= 2 && pages.withResult.load() == kClients &&
                    stillConnected == kClients;
    std::printf("%s\n", ok ? "load test met: p99 within 10 +- 2 ms, every page got the result"
                           : "load test NOT met");
    return ok ? 0 : 1;
}
