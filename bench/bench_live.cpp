// Load test of the results page on loopback.
//   bench_live            a whole heat on the real clock, first with no page open, then with 200
//                         pages following it: the lane clock's tick intervals on the window's
//                         thread and whether every page got the result.
//   bench_live slowloris [s]        250 connections dribbling a request, one byte each every
//                                   5 s, reconnecting when closed; a viewer asks for the page
//                                   every 250 ms. How many viewers got 200.
//   bench_live stalled [per s] [s]  150 pages that never read their event stream while a running
//                                   heat's state goes out; when they are dropped, kernel TCP
//                                   memory and RSS meanwhile.
//   bench_live protocol             200 clients that never read a 20 000-row /api/protocol: RSS
//                                   before, during, after they leave; then again until dropped.

#include "RunSandbox.h"
#include "live/LiveClient.h"
#include "live/LiveFeed.h"
#include "live/LiveJson.h"
#include "live/LiveResults.h"
#include "live/LiveServer.h"
#include "race/RaceSequence.h"
#include "serial/SimulatedSerialDevice.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/RaceArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
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
#include <memory>
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
    const auto connection = QObject::connect(w.PanelLeft->FrameT1, &TFrame1::ClockShown, [&] {
        if (w.race.heat.Lane(1).running) stamps.push_back(Clock::now());
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

// Resident memory of this process, KiB.
qint64 RssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Memory of every TCP socket of the machine (both ends on loopback), KiB.
qint64 KernelTcpKiB() {
    QFile sockstat(QStringLiteral("/proc/net/sockstat"));
    if (!sockstat.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : sockstat.readAll().split('\n')) {
        if (!line.startsWith("TCP:")) continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype mem = fields.indexOf("mem");
        if (mem >= 0 && mem + 1 < fields.size()) return fields[mem + 1].toLongLong() * 4;
    }
    return -1;
}

quint16 Serve(TLiveServer& server) {
    server.Start(0, QHostAddress::LocalHost);
    if (!QTest::qWaitFor([&] { return server.IsListening(); }, 5000)) return 0;
    return server.Port();
}

LiveLane Lane(int startNumber, int ms) {
    LiveLane lane;
    lane.startNumber = startNumber;
    lane.readyNumber = startNumber + 2;
    lane.name = QStringLiteral("Fahrerin Nummer %1").arg(startNumber);
    lane.ms = ms;
    lane.stopped = true;
    lane.time = ClockText(ms);
    lane.line = QStringLiteral("RZ 0,312  ZZ 4,128  87,3 km/h");
    return lane;
}

// A running heat with the ten past heats below it, as the page gets it five times a second.
QByteArray RunningState(int ms) {
    LiveState state;
    state.title = QStringLiteral("Sommerrennen am Flugplatz");
    for (int i = 0; i < 2; ++i) {
        state.lanes[i] = Lane(21 + i, ms);
        state.lanes[i].running = true;
        state.lanes[i].stopped = false;
    }
    for (int h = 0; h < TLiveFeed::kHeatsKept; ++h) {
        LiveHeat heat;
        heat.at = QStringLiteral("14:%1").arg(10 + h);
        heat.lanes[0] = Lane(19 - 2 * h, 9000 + 37 * h);
        heat.lanes[1] = Lane(20 - 2 * h, 9100 + 41 * h);
        heat.lanes[0].winner = true;
        state.heats << heat;
    }
    return LiveStateJson(state);
}

int Slowloris(int seconds) {
    constexpr int kDribblers = 250;
    constexpr qint64 kByteEveryMs = 5000;
    TLiveServer server;
    const quint16 port = Serve(server);
    if (!port) return 1;
    // A header that never ends.
    const QByteArray request = "GET / HTTP/1.1\r\nHost: bench\r\nX-Slow: " + QByteArray(4096, 'a');
    std::vector<std::unique_ptr<RawClient>> dribblers;
    std::vector<qint64> next(kDribblers);
    std::vector<qsizetype> sent(kDribblers, 0);
    int closedByServer = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kDribblers; ++i) {
        dribblers.push_back(std::make_unique<RawClient>(port));
        next[i] = i * kByteEveryMs / kDribblers;
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        for (int i = 0; i < kDribblers; ++i) {
            RawClient& client = *dribblers[i];
            if (client.ClosedByServer()) {
                ++closedByServer;
                client.Open(port);
                sent[i] = 0;
                next[i] = now;
            }
            if (now < next[i]) continue;
            client.Send(request.mid(sent[i]++ % request.size(), 1));
            next[i] += kByteEveryMs;
        }
    });
    tick.start(100);
    QTest::qWait(int(kByteEveryMs)); // every dribbler has sent its first byte

    int ok = 0, busy = 0, other = 0;
    while (clock.elapsed() < seconds * 1000) {
        const int status = Fetch(port, QStringLiteral("/")).status;
        ok += status == 200;
        busy += status == 503;
        other += status != 200 && status != 503;
        QTest::qWait(250);
    }
    std::printf("slowloris: %d connections, one byte each every %lld ms, for %d s\n", kDribblers,
                kByteEveryMs, seconds);
    std::printf("viewers: %d got 200, %d got 503, %d no answer (of %d)\n", ok, busy, other,
                ok + busy + other);
    std::printf("dribbling connections closed by the server: %d; connections open at the end: "
                "%d\n",
                closedByServer, server.ClientCount());
    return 0;
}

int Stalled(int perSecond, int seconds) {
    constexpr int kPages = 150;
    TLiveServer server;
    const quint16 port = Serve(server);
    if (!port) return 1;
    server.PublishState(RunningState(0), QString());
    const qint64 kernelBefore = KernelTcpKiB();
    const qint64 rssBefore = RssKiB();
    std::vector<std::unique_ptr<RawClient>> pages;
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(std::make_unique<RawClient>(port, 4096));
        pages.back()->Send("GET /api/events HTTP/1.1\r\nHost: bench\r\n\r\n");
    }
    if (!QTest::qWaitFor([&] { return server.ClientCount() == kPages; }, 5000)) return 1;

    QElapsedTimer clock;
    clock.start();
    QTimer publish;
    QObject::connect(&publish, &QTimer::timeout,
                     [&] { server.PublishState(RunningState(int(clock.elapsed())), QString()); });
    publish.start(1000 / perSecond);
    std::vector<qint64> dropped;
    qint64 kernelPeak = 0, rssPeak = 0;
    while (int(dropped.size()) < kPages && clock.elapsed() < seconds * 1000) {
        QTest::qWait(100);
        kernelPeak = std::max(kernelPeak, KernelTcpKiB());
        rssPeak = std::max(rssPeak, RssKiB());
        while (int(dropped.size()) < kPages - server.ClientCount())
            dropped.push_back(clock.elapsed());
    }
    publish.stop();
    std::printf("stalled: %d pages that never read, %d states a second of %lld bytes\n", kPages,
                perSecond, qint64(RunningState(0).size()));
    if (dropped.empty())
        std::printf("none dropped within %d s\n", seconds);
    else
        std::printf("dropped: %zu of %d, first after %.1f s, median %.1f s, last %.1f s\n",
                    dropped.size(), kPages, dropped.front() / 1000.0,
                    dropped[dropped.size() / 2] / 1000.0, dropped.back() / 1000.0);
    std::printf("kernel TCP memory held at most %.1f MiB; RSS %.1f MiB before, at most %.1f MiB\n",
                (kernelPeak - kernelBefore) / 1024.0, rssBefore / 1024.0, rssPeak / 1024.0);
    return 0;
}

int Protocol() {
    constexpr int kClients = TLiveServer::kMaxClients;
    constexpr int kRows = 20000;
    TLiveServer server;
    const quint16 port = Serve(server);
    if (!port) return 1;
    LiveProtocol protocol;
    protocol.rows << QStringList{"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                                 "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
    for (int r = 1; r <= kRows; ++r)
        protocol.rows << QStringList{QString::number(r),
                                     QStringLiteral("Mustermann"),
                                     QStringLiteral("Maximilian"),
                                     QStringLiteral("Vespa PX"),
                                     QStringLiteral("125 ccm"),
                                     QStringLiteral("Klasse B"),
                                     QStringLiteral("0,345"),
                                     QStringLiteral("4,128"),
                                     QStringLiteral("87,3"),
                                     ClockText(9000 + r % 1000),
                                     r % 2 ? QStringLiteral("+") : QString()};
    protocol.version = 1;
    server.PublishProtocol(protocol);
    const Reply viewer = Fetch(port, QStringLiteral("/api/protocol"));
    std::printf("protocol: %d rows, %lld bytes of JSON (a viewer got %d)\n", kRows,
                qint64(viewer.body.size()), viewer.status);
    QTest::qWait(500);
    const qint64 rssBefore = RssKiB();
    const qint64 kernelBefore = KernelTcpKiB();

    const auto round = [&](bool leave) {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(std::make_unique<RawClient>(port, 4096));
            clients.back()->Send("GET /api/protocol HTTP/1.1\r\nHost: bench\r\n\r\n");
        }
        QTest::qWait(3000);
        const qint64 rssDuring = RssKiB();
        const qint64 kernelDuring = KernelTcpKiB() - kernelBefore;
        const int connected = server.ClientCount();
        QElapsedTimer clock;
        clock.start();
        if (leave) clients.clear();
        (void)QTest::qWaitFor([&] { return server.ClientCount() == 0; }, leave ? 10000 : 60000);
        const qint64 gone = clock.elapsed();
        const int left = server.ClientCount();
        QTest::qWait(2000);
        std::printf("%s: %d connected; RSS before %.1f MiB, during %.1f MiB, 2 s after %.1f MiB; "
                    "kernel TCP memory during %.1f MiB; %d left open %.1f s after they came\n",
                    leave ? "clients leave after 3 s" : "clients stay until dropped", connected,
                    rssBefore / 1024.0, rssDuring / 1024.0, RssKiB() / 1024.0,
                    kernelDuring / 1024.0, left, (gone + 3000) / 1000.0);
    };
    round(true);
    round(false);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    RunSandbox sandbox;
    QApplication app(argc, argv);
    sandbox.UseProgramFolder();
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto number = [&](int at, int fallback) {
        return argc > at ? QByteArray(argv[at]).toInt() : fallback;
    };
    if (which == u"slowloris") return Slowloris(number(2, 20));
    if (which == u"stalled") return Stalled(std::max(1, number(2, 5)), number(3, 120));
    if (which == u"protocol") return Protocol();
    if (!which.isEmpty()) {
        std::printf("unknown case %s\n", argv[1]);
        return 2;
    }

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
    w.Live->Apply();
    if (!QTest::qWaitFor([&] { return w.Live->Server()->IsListening(); }, 5000)) {
        std::printf("the server did not start\n");
        return 1;
    }

    QThread pagesThread;
    Pages pages;
    pages.moveToThread(&pagesThread);
    pagesThread.start();
    QMetaObject::invokeMethod(&pages, [&] { pages.Open(port); });
    (void)QTest::qWaitFor([&] { return w.Live->Server()->ClientCount() == kClients; }, 20000);
    QTest::qWait(500);
    std::printf("pages connected: %d (server counts %d)\n", pages.connected.load(),
                w.Live->Server()->ClientCount());
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
