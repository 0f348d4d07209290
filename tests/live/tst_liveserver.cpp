#include "LiveClient.h"
#include "TestMain.h"

#include "live/LiveAddress.h"
#include "live/LiveFeed.h"
#include "live/LiveJson.h"
#include "live/LivePage.h"
#include "live/LiveServer.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "results/Standings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>

#include <atomic>
#include <memory>
#include <vector>

namespace {

// Time as the server sees it, moved on by the test.
struct ManualClock {
    std::shared_ptr<std::atomic<qint64>> ms = std::make_shared<std::atomic<qint64>>(0);
    LiveClock Clock() const {
        return [ms = ms] { return ms->load(); };
    }
    void Advance(qint64 by) { *ms += by; }
};

// A server on an ephemeral loopback port.
struct Served {
    TLiveServer server;
    quint16 port = 0;

    explicit Served(const LiveLimits& limits = {}, LiveClock clock = {})
        : server(nullptr, limits, std::move(clock)) {
        QSignalSpy listening(&server, &TLiveServer::Listening);
        server.Start(0, QHostAddress::LocalHost);
        if (listening.wait(5000)) port = listening.first().first().value<quint16>();
    }
};

} // namespace

class LiveServerTest : public QObject {
    Q_OBJECT
private slots:
    void pageDataAndProtocolAreServedAndEscaped() {
        Served s;
        QVERIFY(s.port != 0);
        LiveState state;
        state.title = "<b>Rennen</b> & \"Finale\"";
        state.lanes[0].name = "<img src=x onerror=alert(1)>";
        s.server.PublishState(LiveStateJson(state), state.title);
        LiveProtocol protocol;
        protocol.rows = {{"St.Nr.", "Name"}, {"7", "</td><script>x</script>"}};
        protocol.version = 3;
        s.server.PublishProtocol(protocol);

        QTRY_VERIFY(Fetch(s.port, "/").body.contains("&lt;b&gt;Rennen&lt;/b&gt; &amp;"));
        const Reply page = Fetch(s.port, "/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.type.startsWith("text/html"));
        QVERIFY(!page.body.contains("<b>Rennen"));
        // Nothing from elsewhere: the track has no internet.
        QVERIFY(!page.body.contains("http://") && !page.body.contains("https://"));
        QVERIFY(page.body.contains("<script src=\"/app.js\">"));
        const Reply script = Fetch(s.port, "/app.js");
        QCOMPARE(script.status, 200);
        QVERIFY(!script.body.contains("innerHTML"));

        const Reply data = Fetch(s.port, "/api/state");
        QCOMPARE(data.type, QByteArray("application/json"));
        QVERIFY(!data.body.contains('<') && !data.body.contains('&'));
        const QJsonObject read = QJsonDocument::fromJson(data.body).object();
        QCOMPARE(read["title"].toString(), state.title);
        QCOMPARE(read["lanes"][0]["name"].toString(), state.lanes[0].name);

        const Reply table = Fetch(s.port, "/api/protocol");
        QVERIFY(!table.body.contains('<'));
        const QJsonObject p = QJsonDocument::fromJson(table.body).object();
        QCOMPARE(p["version"].toInt(), 3);
        QCOMPARE(p["groups"][0]["rows"][0][1].toString(), QString("</td><script>x</script>"));
    }

    // What the program publishes at a path is served there, as it was given, until taken away.
    void publishedDocumentsAndOnlyThose() {
        Served s;
        QCOMPARE(Fetch(s.port, "/api/standings").status, 404);
        s.server.PublishDocument("/api/standings", "application/json", R"({"groups":[]})");
        QTRY_COMPARE(Fetch(s.port, "/api/standings").status, 200);
        QCOMPARE(Fetch(s.port, "/api/standings").body, QByteArray(R"({"groups":[]})"));
        QCOMPARE(Fetch(s.port, "/api/standings/").status, 404);
        QCOMPARE(Fetch(s.port, "/api/standings", "POST").status, 405);
        s.server.PublishDocument("/api/standings", {}, QByteArray());
        QTRY_COMPARE(Fetch(s.port, "/api/standings").status, 404);
    }

    // The standings tab's document: places, reasons and marks, every text escaped, and the
    // state says which version is out.
    void standingsAreServedWithTheirVersion() {
        Served s;
        Race race;
        TProtocolModel protocol;
        TLiveFeed feed(race, protocol, {}, &s.server);
        TRun fast, marked, out;
        fast.startNumber = "7";
        fast.name = "<b>Huber</b>";
        fast.finalMs = 9000;
        fast.finalTime = "9,000";
        fast.heat = 1;
        marked = fast;
        marked.startNumber = "8";
        marked.name = "Auer";
        marked.finalMs = 9500;
        marked.finalTime = "9,500";
        marked.warnings = {"Mindestzeit"};
        out = fast;
        out.startNumber = "9";
        out.falseStart = true;
        feed.SetStandings(BuildStandings({fast, marked, out}, false, false, {}));
        QTRY_COMPARE(Fetch(s.port, "/api/standings").status, 200);
        const QByteArray json = Fetch(s.port, "/api/standings").body;
        QVERIFY(json.contains(R"("version":1)"));
        QVERIFY(json.contains(R"(\u003cb\u003eHuber)"));
        QVERIFY(!json.contains("<b>"));
        const QJsonObject standings = QJsonDocument::fromJson(json).object();
        const QJsonArray entries = standings["groups"].toArray()[0].toObject()["entries"].toArray();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].toObject()["place"].toInt(), 1);
        QVERIFY(entries[1].toObject()["marked"].toBool());
        QCOMPARE(entries[2].toObject()["reason"].toString(), QString("Fehlstart"));
        QCOMPARE(feed.State().standingsVersion, 1);
    }

    void onlyReadingOfKnownPathsAndSmallRequests() {
        Served s;
        QCOMPARE(Fetch(s.port, "/admin").status, 404);
        QCOMPARE(Fetch(s.port, "/../etc/passwd").status, 404);
        QCOMPARE(Fetch(s.port, "/api/state", "POST").status, 405);
        QCOMPARE(Fetch(s.port, "/", "DELETE").status, 405);
        for (const char* path : {"/", "/api/protocol"})
            QCOMPARE(Fetch(s.port, path, "HEAD").status, 200);
        // HEAD gets the head of GET and nothing more: the next answer follows it directly.
        RawClient raw(s.port);
        QByteArray received;
        QVERIFY(raw.Send("HEAD /api/state HTTP/1.1\r\nHost: x\r\n\r\n"));
        QTRY_VERIFY(!raw.ClosedByServer(&received) && received.endsWith("\r\n\r\n"));
        const QByteArray head = received;
        QVERIFY(head.startsWith("HTTP/1.1 200 OK\r\n") && head.contains("Content-Length: 2\r\n"));
        QVERIFY(raw.Send("GET /api/state HTTP/1.1\r\nHost: x\r\n\r\n"));
        QTRY_VERIFY(!raw.ClosedByServer(&received) && received.endsWith("{}"));
        QCOMPARE(received, head + head + "{}");

        // Just under the limit is answered, just over it is not, also when it comes in parts.
        for (const int padding : {7800, 8300}) {
            QTcpSocket client;
            client.connectToHost("127.0.0.1", s.port);
            QVERIFY(client.waitForConnected(5000));
            const QByteArray request =
                "GET /api/state HTTP/1.1\r\nHost: x\r\nX-Pad: " + QByteArray(padding, 'a') +
                "\r\n\r\n";
            for (qsizetype at = 0; at < request.size(); at += 3000) {
                client.write(request.mid(at, 3000));
                client.flush();
                QTest::qWait(20);
            }
            QByteArray answer;
            QTRY_VERIFY(client.state() != QAbstractSocket::ConnectedState ||
                        answer.append(client.readAll()).contains("\r\n\r\n"));
            answer += client.readAll();
            if (padding < 8192)
                QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.left(40).constData());
            else {
                QVERIFY2(!answer.startsWith("HTTP/1.1 200"), answer.left(40).constData());
                QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
            }
        }
    }

    void atMostTwoHundredClientsAndStopClosesThemAll() {
        Served s;
        std::vector<std::unique_ptr<EventStream>> pages;
        for (int i = 0; i < TLiveServer::kMaxClients; ++i)
            pages.push_back(std::make_unique<EventStream>(s.port));
        QTRY_COMPARE(s.server.ClientCount(), TLiveServer::kMaxClients);
        QTRY_VERIFY(pages.back()->received.contains("event: state"));

        const Reply refused = Fetch(s.port, "/");
        QCOMPARE(refused.status, 503);
        QCOMPARE(s.server.ClientCount(), TLiveServer::kMaxClients);

        QSignalSpy stopped(&s.server, &TLiveServer::Stopped);
        s.server.Stop();
        QVERIFY(stopped.wait(5000));
        for (const auto& page : pages)
            QTRY_COMPARE(page->socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(s.server.ClientCount(), 0);
        QCOMPARE(Fetch(s.port, "/").status, 0); // nobody listens any more
    }

    // A page that does not read is dropped; the others go on getting every message.
    void slowClientIsDroppedNotWaitedFor() {
        Served s;
        EventStream reader(s.port);
        QTcpSocket sleeper;
        sleeper.setReadBufferSize(1);
        sleeper.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        sleeper.connectToHost("127.0.0.1", s.port);
        QVERIFY(sleeper.waitForConnected(5000));
        sleeper.write("GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n");
        QTRY_COMPARE(s.server.ClientCount(), 2);
        QTRY_VERIFY(reader.received.contains("event: state"));

        LiveState big;
        big.title = QString(64 * 1024, u'x');
        QByteArray json = LiveStateJson(big);
        // The sleeper reads nothing, so it cannot see its own end: the server's count shows it.
        for (int i = 0; i < 400 && s.server.ClientCount() == 2; ++i) {
            s.server.PublishState(json, QString());
            QTest::qWait(5);
        }
        QTRY_COMPARE(s.server.ClientCount(), 1);
        QCOMPARE(reader.socket.state(), QAbstractSocket::ConnectedState);
        big.title = "danach";
        s.server.PublishState(LiveStateJson(big), QString());
        QTRY_COMPARE(reader.Last()["title"].toString(), QString("danach"));
    }

    // Connections that never finish their request take no viewer's place, and a request has a
    // deadline however steadily its bytes trickle in.
    void slowRequestsCannotShutOutViewers() {
        ManualClock clock;
        LiveLimits limits;
        limits.sweepMs = 10;
        Served s(limits, clock.Clock());
        std::vector<std::unique_ptr<RawClient>> slow;
        for (int i = 0; i < TLiveServer::kMaxClients + 50; ++i) {
            slow.push_back(std::make_unique<RawClient>(s.port));
            QVERIFY(slow.back()->Send("G"));
        }
        const Reply viewer = Fetch(s.port, "/");
        QCOMPARE(viewer.status, 200);
        QVERIFY(viewer.body.contains("<script src=\"/app.js\">"));
        QTRY_VERIFY(slow.front()->ClosedByServer()); // the oldest made room

        // Slow but in time: answered.
        RawClient late(s.port);
        const QByteArray request = "GET /api/state HTTP/1.1\r\nHost: x\r\n\r\n";
        for (qsizetype at = 0; at < request.size(); at += 8) {
            QVERIFY(late.Send(request.mid(at, 8)));
            QTest::qWait(2);
            clock.Advance(limits.requestMs / 8);
        }
        QByteArray answer;
        QTRY_VERIFY(late.ClosedByServer(&answer) || answer.contains("\r\n\r\n{"));
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.left(40).constData());

        // A byte a second keeps nothing open past the deadline of the whole request.
        RawClient& dribbler = *slow.back();
        QByteArray refused;
        for (int second = 0;
             second <= limits.requestMs / 1000 && !dribbler.ClosedByServer(&refused); ++second) {
            clock.Advance(1000);
            dribbler.Send("E");
            QTest::qWait(5);
        }
        QTRY_VERIFY(dribbler.ClosedByServer(&refused));
        QVERIFY2(refused.startsWith("HTTP/1.1 408"), refused.left(40).constData());
        QCOMPARE(Fetch(s.port, "/").status, 200);
    }

    // A page that takes nothing of what it is sent is dropped once the stall time is over, also
    // when all of it went into the kernel's buffers and Qt's own buffer is empty.
    void pagesThatStopReadingAreDropped_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("event stream") << QByteArray("/api/events");
        QTest::newRow("protocol") << QByteArray("/api/protocol");
    }
    void pagesThatStopReadingAreDropped() {
        QFETCH(QByteArray, path);
        ManualClock clock;
        LiveLimits limits;
        limits.sweepMs = 10;
        limits.idleMs = 3600 * 1000; // only the stall can end it
        Served s(limits, clock.Clock());
        LiveProtocol protocol;
        for (int r = 0; r < 2000; ++r)
            protocol.rows << QStringList{QString::number(r), QString(40, u'n'), "9,123"};
        s.server.PublishProtocol(protocol);
        QTRY_VERIFY(Fetch(s.port, "/api/protocol").body.size() > 100 * 1000);

        EventStream reader(s.port);
        RawClient sleeper(s.port, 4096);
        QVERIFY(sleeper.Send("GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n"));
        QTRY_COMPARE(s.server.ClientCount(), 2);
        QTRY_COMPARE(reader.States().size(), 1);
        LiveState big;
        big.title = QString(16 * 1024, u'x');
        for (int i = 0; i < 4; ++i)
            s.server.PublishState(LiveStateJson(big), QString());
        QTRY_COMPARE(reader.States().size(), 5);

        qint64 waited = 0;
        for (; waited <= 3 * limits.stalledMs && s.server.ClientCount() == 2; waited += 500) {
            clock.Advance(500);
            QTest::qWait(5);
        }
        QCOMPARE(s.server.ClientCount(), 1);
        QVERIFY2(waited >= limits.stalledMs, QByteArray::number(waited).constData());
        QCOMPARE(reader.socket.state(), QAbstractSocket::ConnectedState);
        big.title = "danach";
        s.server.PublishState(LiveStateJson(big), QString());
        QTRY_COMPARE(reader.Last()["title"].toString(), QString("danach"));
    }

    void aTakenPortIsReportedInGerman() {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        TLiveServer server;
        QSignalSpy failed(&server, &TLiveServer::Failed);
        server.Start(holder.serverPort(), QHostAddress::LocalHost);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.first().first().toString(),
                 TLiveServer::ListenFailureText(holder.serverPort(), true, false));
        QVERIFY(failed.first().first().toString().contains("belegt"));
        QVERIFY(!server.IsListening());
        // Once the port is free, the same server serves.
        const quint16 port = holder.serverPort();
        holder.close();
        QSignalSpy listening(&server, &TLiveServer::Listening);
        server.Start(port, QHostAddress::LocalHost);
        QVERIFY(listening.wait(5000));
        QCOMPARE(Fetch(port, "/").status, 200);
    }

    void classModeGroupsByClassListThenByTime() {
        const ProtocolRows rows = {
            {"St.Nr.", "Name", "", "", "", "Klasse", "", "", "", "Zeit", ""},
            {"1", "A", "", "", "", "Pro", "", "", "", "9,100", ""},
            {"2", "B", "", "", "", "Open", "", "", "", "-", ""},
            {"3", "C", "", "", "", "Pro", "", "", "", "", ""},
            {"4", "D", "", "", "", "Open", "", "", "", "12,000", ""},
            {"", "", "", "", "", "", "", "", "", "", ""},
            {"5", "E", "", "", "", "Pro", "", "", "", "8,950", ""},
            {"6", "F", "", "", "", "Gast", "", "", "", "10,000", ""},
            {"7", "G", "", "", "", "Open", "", "", "", "11,999", ""},
        };
        const QList<ClassGroup> groups = GroupByClass(rows, {"Open", "Pro", "Leer"});
        QCOMPARE(groups.size(), 3);
        QCOMPARE(groups[0].className, QString("Open"));
        QCOMPARE(groups[0].rows, QList<int>({8, 4, 2}));
        QCOMPARE(groups[1].className, QString("Pro"));
        QCOMPARE(groups[1].rows, QList<int>({6, 1, 3}));
        QCOMPARE(groups[2].className, QString("Gast")); // not in the list: after it

        LiveProtocol protocol;
        protocol.rows = rows;
        protocol.classMode = true;
        protocol.classList = {"Open", "Pro"};
        protocol.visibleColumns = {true, true,  false, false, false,
                                   true, false, false, false, true};
        const QJsonObject json = QJsonDocument::fromJson(LiveProtocolJson(protocol)).object();
        QCOMPARE(json["columns"].toArray().size(), 5); // column 10 counts as shown
        QCOMPARE(json["groups"][0]["rows"][0].toArray().first().toString(), QString("7"));
        QCOMPARE(json["groups"][0]["rows"][0][3].toString(), QString("11,999"));

        protocol.classMode = false;
        const QJsonObject plain = QJsonDocument::fromJson(LiveProtocolJson(protocol)).object();
        QCOMPARE(plain["groups"].toArray().size(), 1);
        QCOMPARE(plain["groups"][0]["rows"].toArray().size(), 7); // in protocol order, no blank
        QCOMPARE(plain["groups"][0]["rows"][1][0].toString(), QString("2"));
    }

    void timesAndAddresses() {
        QCOMPARE(TimeTextMs("8,123"), std::optional<int>(8123));
        QCOMPARE(TimeTextMs("123,000"), std::optional<int>(123000));
        for (const char* bad : {"-", "", "8,12", "8.123", "a,123", ",123"})
            QCOMPARE(TimeTextMs(bad), std::nullopt);
        QCOMPARE(ClockText(65), QString("0,065"));
        QCOMPARE(ClockText(999999), QString("999,999"));

        const QList<QHostAddress> addresses = {QHostAddress("127.0.0.1"), QHostAddress("::1"),
                                               QHostAddress("169.254.3.4"),
                                               QHostAddress("192.168.178.20")};
        QCOMPARE(LiveAddress(8080, addresses), QString("http://192.168.178.20:8080/"));
        QCOMPARE(LiveAddress(8080, {QHostAddress("127.0.0.1")}), QString("http://localhost:8080/"));
        const QImage code = QrCodeImage("http://192.168.178.20:8080/", 2);
        QVERIFY(!code.isNull());
        QCOMPARE(code.width(), code.height());
        // Module size and the white quiet zone of four modules around the finder patterns.
        QCOMPARE(code.pixel(7, 7), qRgb(255, 255, 255));
        QCOMPARE(code.pixel(8, 8), qRgb(0, 0, 0));
    }
};
RENNUHR_TEST(LiveServerTest);

#include "tst_liveserver.moc"
