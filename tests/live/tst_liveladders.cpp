// The "Leiter" tab of the results page: what it says of a ladder as the heats go on, and how it
// is served and announced to the open pages.
#include "LiveClient.h"
#include "TestMain.h"
#include "ladder/LadderDay.h"

#include "live/LiveFeed.h"
#include "live/LiveLadders.h"
#include "live/LiveServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

QJsonObject Json(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

// A pairing to come as "4-5 Viertelfinale".
QString Coming(const QJsonValue& pairing) {
    const QJsonArray start = pairing["start"].toArray();
    return start[0].toString() + "-" + start[1].toString() + " " + pairing["round"].toString();
}

QJsonObject PairingOf(const QJsonObject& board, int round, int slot) {
    return board["ladders"][0]["rounds"][round]["pairings"][slot].toObject();
}

// A place as "44 8,000 Sieger".
QString PlaceOf(const QJsonObject& pairing, int place) {
    const QJsonObject shown = pairing["places"][place].toObject();
    QStringList parts{shown["start"].toString(), shown["time"].toString(),
                      shown["result"].toString()};
    parts.removeAll(QString());
    return parts.join(' ');
}

} // namespace

class LiveLaddersTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Six racers of class 50 in 8 places with a race for third place, others of class 125 left
    // out: the next pairing on top, then the one on the track, winners, byes and the no-show,
    // and every text escaped.
    void theTabFollowsTheLadder() {
        LadderDay d({}, 6, 2);
        d.protocol.model.SetCell(1, ColName, "<b>Fahrer1</b>");
        d.Open();
        QCOMPARE(Json(LiveLaddersJson(LadderBoard(d.ladders), 1))["ladders"].toArray().size(), 0);
        QCOMPARE(d.ladders.Create("50", TLadderSource::Protocol, true), QString());

        const QByteArray bytes = LiveLaddersJson(LadderBoard(d.ladders), 3);
        QVERIFY(!bytes.contains('<') && !bytes.contains('>') && !bytes.contains('&'));
        QJsonObject board = Json(bytes);
        QCOMPARE(board["version"].toInt(), 3);
        QVERIFY(board["now"].isNull());
        QCOMPARE(board["next"][0]["class"].toString(), QString("Klasse 50"));
        QCOMPARE(board["next"][0]["name"][1].toString(), QString("Fahrer5 Vorname5"));
        QCOMPARE(Coming(board["next"][0]), QString("4-5 Viertelfinale"));
        QCOMPARE(Coming(board["next"][1]), QString("3-6 Viertelfinale"));
        QCOMPARE(board["next"].toArray().size(), 2);
        const QJsonObject ladder = board["ladders"][0].toObject();
        QCOMPARE(ladder["id"].toString(), QString::number(d.Ladder().id));
        QCOMPARE(ladder["title"].toString(), QString("Ausscheidung Klasse 50"));
        QCOMPARE(ladder["source"].toString(), QString("Protokoll"));
        QCOMPARE(ladder["field"].toInt(), 6);
        QStringList rounds;
        for (const QJsonValue& round : ladder["rounds"].toArray())
            rounds << round["name"].toString() + " " +
                          QString::number(round["pairings"].toArray().size());
        QCOMPARE(rounds,
                 QStringList({"Viertelfinale 4", "Halbfinale 2", "Finale 1", "Lauf um Platz 3 1"}));
        // 1 against a bye advances; the names keep their markup as text.
        QJsonObject bye = PairingOf(board, 0, 0);
        QCOMPARE(bye["state"].toString(), QString("decided"));
        QCOMPARE(bye["places"][0]["name"].toString(), QString("<b>Fahrer1</b> Vorname1"));
        QVERIFY(bye["places"][0]["winner"].toBool() && bye["places"][1]["bye"].toBool());
        QCOMPARE(PlaceOf(bye, 1), QString("Freilos"));
        QCOMPARE(PairingOf(board, 0, 1)["state"].toString(), QString("next"));
        QCOMPARE(PairingOf(board, 0, 1)["order"].toInt(), 1);
        QCOMPARE(PairingOf(board, 0, 3)["order"].toInt(), 2);
        QCOMPARE(PairingOf(board, 1, 0)["state"].toString(), QString("waiting"));
        QCOMPARE(PlaceOf(PairingOf(board, 1, 0), 0), QString("1"));
        QCOMPARE(PlaceOf(PairingOf(board, 1, 0), 1), QString("offen"));

        // On the track: the pairing is "now", the next one moves up.
        d.Start();
        board = Json(LiveLaddersJson(LadderBoard(d.ladders), 4));
        QCOMPARE(Coming(board["now"]), QString("4-5 Viertelfinale"));
        QCOMPARE(Coming(board["next"][0]), QString("3-6 Viertelfinale"));
        QCOMPARE(PairingOf(board, 0, 1)["state"].toString(), QString("running"));
        d.At(8000);
        d.Key(d.sequence.mStop1);
        d.At(8100);
        d.Key(d.sequence.mStop2);
        d.Reset();
        QVERIFY(d.ladders.SetNoShow(d.Ref(0, 3), 6, true));
        board = Json(LiveLaddersJson(LadderBoard(d.ladders), 5));
        QVERIFY(board["now"].isNull());
        QCOMPARE(PlaceOf(PairingOf(board, 0, 1), 0), QString("4 8,000 Sieger"));
        QCOMPARE(PlaceOf(PairingOf(board, 0, 1), 1), QString("5 8,100"));
        QCOMPARE(PairingOf(board, 0, 1)["places"][0]["rz"].toString(),
                 d.Pairing(0, 1).runs[kUpper]->reaction);
        QCOMPARE(PlaceOf(PairingOf(board, 0, 3), 1), QString("6 nicht angetreten"));
        QVERIFY(PairingOf(board, 0, 3)["places"][1]["noShow"].toBool());
        // The semi-finals are next; 5 and 6 went out in the quarter-finals.
        QCOMPARE(Coming(board["next"][0]), QString("1-4 Halbfinale"));
        QStringList places;
        for (const QJsonValue& place : board["ladders"][0]["places"].toArray())
            places << QString::number(place["place"].toInt()) + ":" + place["start"].toString();
        QCOMPARE(places, QStringList({"5:5", "5:6"}));
    }

    // Served at /api/leiter, read only; the state carries its version, which moves on only
    // when the tab's content changed, and says whether there is a ladder to show.
    void servedAtItsPathAndToldByTheState() {
        TLiveServer server;
        QSignalSpy listening(&server, &TLiveServer::Listening);
        server.Start(0, QHostAddress::LocalHost);
        QVERIFY(listening.wait(5000));
        const quint16 port = listening.first().first().value<quint16>();
        Race race;
        TProtocolModel protocol;
        TLiveFeed feed(race, protocol, {}, &server);
        QCOMPARE(Fetch(port, "/api/leiter").status, 404);
        QVERIFY(!feed.State().ladders);

        TLadderEntrant a, b;
        a.startNumber = "7";
        a.name = "</script><script>alert(1)</script>";
        b.startNumber = "8";
        LiveLadderBoard board{{TLadder({a, b})}, std::nullopt, {}};
        board.ladders[0].id = 1;
        feed.SetLadders(board);
        QTRY_COMPARE(Fetch(port, "/api/leiter").status, 200);
        Reply reply = Fetch(port, "/api/leiter");
        QCOMPARE(reply.type, QByteArray("application/json"));
        QVERIFY(!reply.body.contains("</script>"));
        QCOMPARE(Json(reply.body)["version"].toInt(), 1);
        QCOMPARE(Json(reply.body)["ladders"][0]["rounds"][0]["pairings"][0]["places"][0]["name"]
                     .toString(),
                 a.name);
        QCOMPARE(feed.State().ladderVersion, 1);
        QVERIFY(feed.State().ladders);
        const QJsonObject state = Json(LiveStateJson(feed.State()));
        QCOMPARE(state["ladder"].toInt(), 1);
        QVERIFY(state["ladders"].toBool());

        // Told again as it is: nothing new for the pages to fetch.
        feed.SetLadders(board);
        QCOMPARE(feed.State().ladderVersion, 1);
        board.ladders[0].Pairing(0, 0)->noShow = 2;
        board.ladders[0].Evaluate();
        feed.SetLadders(board);
        QCOMPARE(feed.State().ladderVersion, 2);
        QTRY_COMPARE(Json(Fetch(port, "/api/leiter").body)["version"].toInt(), 2);
        QCOMPARE(Fetch(port, "/api/leiter", "POST").status, 405);
        QCOMPARE(Fetch(port, "/api/leiter/").status, 404);

        // The page has the tab, hidden until the state says there is a ladder.
        QVERIFY(Fetch(port, "/").body.contains(
            R"(<button id="tab-ladder" type="button" aria-selected="false" hidden>Leiter</button>)"));
        const QByteArray script = Fetch(port, "/app.js").body;
        QVERIFY(script.contains("\"/api/leiter\"") && script.contains("function renderLadder"));
        QVERIFY(!script.contains("innerHTML") && !script.contains("@LADDER"));

        feed.SetLadders({});
        QVERIFY(!feed.State().ladders);
        QCOMPARE(feed.State().ladderVersion, 3);
    }
};
RENNUHR_TEST(LiveLaddersTest);

#include "tst_liveladders.moc"
