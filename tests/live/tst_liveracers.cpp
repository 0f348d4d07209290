// The racers' pages on the results page: the order of the pairings to come, a racer's runs
// with the opponent's times, place and best run, and the pages served where their address says.
#include "LiveClient.h"
#include "TestMain.h"
#include "results/Recorded.h"

#include "live/LiveRacers.h"
#include "live/LiveServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

QJsonObject Json(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

QStringList Pairs(const QList<TCallUpPairing>& order) {
    QStringList pairs;
    for (const TCallUpPairing& pairing : order)
        pairs << pairing.number[0] + "-" + pairing.number[1];
    return pairs;
}

} // namespace

class LiveRacersTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    // Without a ladder the pairings come from the lanes, moving on by 2 up to the last number.
    void theOrderFollowsTheLanes() {
        RecordedHeat h;
        h.Participants(7);
        QCOMPARE(Pairs(LaneOrder(h.heat, h.protocol.model, 10)),
                 (QStringList{"1-2", "3-4", "5-6", "7-8"}));
        QCOMPARE(LaneOrder(h.heat, h.protocol.model, 10)[0].name[1], QString("Fahrer2 Vorname2"));
        h.Start(); // the pairing in the lanes runs: the order begins with the ready numbers
        QCOMPARE(Pairs(LaneOrder(h.heat, h.protocol.model, 2)), (QStringList{"3-4", "5-6"}));
        h.heat.SetReadyNumber(2, 9); // typed by the operator: lane 2 goes its own way
        QCOMPARE(Pairs(LaneOrder(h.heat, h.protocol.model, 10)),
                 (QStringList{"3-9", "5-11", "7-13"}));
    }

    void aRacersPageHasTheirRunsPlaceAndLadder() {
        RecordedHeat h;
        h.Participants(4);
        h.Open();
        h.Run(9000, 9500); // 1 beats 2
        h.Key(h.sequence.mReset);
        h.heat.SetStartNumber(1, 1);
        h.heat.SetStartNumber(2, 3);
        h.Run(8800, 8700); // 3 beats 1
        const TStandings standings = BuildStandings(h.db.Runs(), false, false, {});
        const QJsonObject racer =
            Json(RacerJson("1", h.db.Runs(), standings, h.protocol.model,
                           TRacerLadder{"Halbfinale", "4", "Fahrer4 Vorname4"}));
        QCOMPARE(racer["name"].toString(), QString("Fahrer1"));
        QCOMPARE(racer["classInfo"].toString(), QString("Klasse1"));
        QCOMPARE(racer["place"].toInt(), 2); // the latest run counts: 8,800 behind 3's 8,700
        QCOMPARE(racer["best"].toObject()["time"].toString(), QString("8,800"));
        const QJsonArray runs = racer["runs"].toArray();
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[0].toObject()["outcome"].toString(), QString("Sieg"));
        QCOMPARE(runs[0].toObject()["opponent"].toString(), QString("2"));
        QCOMPARE(runs[0].toObject()["opponentTime"].toString(), QString("9,500"));
        QCOMPARE(runs[1].toObject()["outcome"].toString(), QString("Niederlage"));
        QCOMPARE(runs[1].toObject()["opponentTime"].toString(), QString("8,700"));
        QCOMPARE(racer["ladder"].toObject()["opponent"].toString(), QString("4"));
    }

    // Served at their addresses, republished as runs come in; the page itself at /fahrer/<n>.
    void thePagesAreServedAndFollowTheRuns() {
        RecordedHeat h;
        h.Participants(2);
        h.Open();
        TLiveServer server;
        QSignalSpy listening(&server, &TLiveServer::Listening);
        server.Start(0, QHostAddress::LocalHost);
        QVERIFY(listening.wait(5000));
        const quint16 port = listening.first().first().value<quint16>();
        TLiveRacers racers(h.race, h.db, h.protocol.model, &server);
        QSignalSpy published(&racers, &TLiveRacers::Published);
        racers.PublishAll();
        QTRY_COMPARE(Fetch(port, "/fahrer/index.json").status, 200);
        const QJsonObject index = Json(Fetch(port, "/fahrer/index.json").body);
        QCOMPARE(index["racers"].toArray().size(), 2);
        QCOMPARE(index["order"].toArray()[0].toObject()["start"].toArray()[1].toString(),
                 QString("2"));
        QCOMPARE(Fetch(port, "/fahrer/2").status, 200);
        QVERIFY(Fetch(port, "/fahrer/2").body.contains("<html"));
        for (const char* refused : {"/fahrer/x", "/fahrer/12345", "/fahrer/", "/fahrer/2/x"})
            QCOMPARE(Fetch(port, refused).status, 404);
        QVERIFY(Json(Fetch(port, "/fahrer/2.json").body)["runs"].toArray().isEmpty());

        const int before = racers.Version();
        h.Run(9000, 9500);
        racers.Changed();
        QTRY_VERIFY(racers.Version() > before);
        QTRY_COMPARE(Json(Fetch(port, "/fahrer/2.json").body)["runs"].toArray().size(), 1);
    }
};
RENNUHR_TEST(LiveRacersTest);

#include "tst_liveracers.moc"
