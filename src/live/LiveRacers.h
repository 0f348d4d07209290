#pragma once

#include "results/CallUp.h"
#include "results/Run.h"
#include "results/Standings.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;
class TLiveServer;
class TProtocolModel;
class TResultsDatabase;
struct Race;

// A racer's page: name, class, place and best run from the standings, every run of the day
// with its opponent, and the ladder when there is one.
QByteArray RacerJson(const QString& startNumber, const TRuns& runs, const TStandings& standings,
                     const TProtocolModel& protocol, const std::optional<TRacerLadder>& ladder);
// The "Fahrer" tab: every racer of the day (the protocol's rows and whoever ran), and the
// order of the pairings to come, for "Dein nächster Lauf".
QByteArray RacersIndexJson(const TRuns& runs, const TProtocolModel& protocol,
                           const QList<TCallUpPairing>& order, int version);

// Keeps the racers' pages on the results page up to date: after each change of the runs,
// the ladders or the lanes' numbers, a moment later and all at once, publishing only what
// changed. It works on the window's thread and only builds texts; the server serves them.
class TLiveRacers : public QObject {
    Q_OBJECT
public:
    static constexpr int kSettleMs = 200;
    // How many pairings "Dein nächster Lauf" looks ahead.
    static constexpr int kOrderLength = 200;

    TLiveRacers(const Race& race, const TResultsDatabase& results, const TProtocolModel& protocol,
                TLiveServer* server, QObject* parent = nullptr);

    void SetStandingsSource(std::function<TStandings()> source) { standings_ = std::move(source); }
    void SetPairingSource(PairingSource source) { pairings_ = std::move(source); }
    void SetLadderSource(RacerLadderSource source) { ladder_ = std::move(source); }

    // Something the pages show changed: they follow a moment later.
    void Changed();
    // Everything once more, as a server that has just started needs it.
    void PublishAll();
    // Moves on whenever a page's document changed; the page reloads when it sees it move.
    int Version() const { return version_; }
    QList<TCallUpPairing> Next(int count) const;

signals:
    void Published();

private:
    void Publish(bool all);

    const Race& race_;
    const TResultsDatabase& results_;
    const TProtocolModel& protocol_;
    TLiveServer* server_;
    std::function<TStandings()> standings_;
    PairingSource pairings_;
    RacerLadderSource ladder_;
    QHash<QString, QByteArray> published_; // path -> what is served there
    int version_ = 0;
    QTimer* soon_;
};
