#pragma once

#include "LiveFeed.h"
#include "LiveRacers.h"
#include "results/Standings.h"

#include <QObject>

#include <functional>

class TLadderRunner;
class TLiveServer;
class TResultsDatabase;
class TProtocolModel;
struct Race;

// The results page as the settings want it: served on LivePort while LiveResults is on, with
// the feed that keeps it up to date. The race never waits for it; a port that cannot be used
// is only told.
class TLiveResults : public QObject {
    Q_OBJECT
public:
    TLiveResults(const Race& race, const TProtocolModel& protocol, TLiveFeed::LayoutSource layout,
                 QObject* parent = nullptr);
    ~TLiveResults() override;

    // Starts, moves or stops the page as LiveResults and LivePort say.
    void Apply();
    void SetTitle(const QString& title);

    // The server, made the first time the page is switched on; idle while it is off.
    TLiveServer* Server() const { return server_; }
    // The feed, only while the page is on.
    TLiveFeed* Feed() const { return feed_; }
    // Why the page is not served, for the notice bar; empty when it is.
    QString Notice() const { return notice_; }
    // Where the "Wertung" tab's standings come from; StandingsChanged hands them on.
    void SetStandingsSource(std::function<TStandings()> source) { standings_ = std::move(source); }
    void StandingsChanged();
    // The race day's runs, for the racers' pages; the pages follow them and the lanes.
    void SetResults(const TResultsDatabase* results);
    // The pairings to come and a racer's ladder, when eliminations run.
    void SetPairingSource(PairingSource source);
    void SetLadderSource(RacerLadderSource source);
    // The race day's ladders, for the "Leiter" tab.
    void SetLadders(const TLadderRunner* ladders);
    // The ladders changed: the racers' pages and the "Leiter" tab follow.
    void LaddersChanged();
    TLiveRacers* Racers() const { return racers_; }

signals:
    // The address to open, empty while the page is not served.
    void AddressChanged(const QString& address);
    void NoticeChanged();

private:
    void SetNotice(const QString& notice);

    const Race& race_;
    const TProtocolModel& protocol_;
    TLiveFeed::LayoutSource layout_;
    std::function<TStandings()> standings_;
    TLiveServer* server_ = nullptr;
    TLiveFeed* feed_ = nullptr;
    TLiveRacers* racers_ = nullptr;
    const TResultsDatabase* results_ = nullptr;
    PairingSource pairings_;
    RacerLadderSource ladder_;
    const TLadderRunner* ladders_ = nullptr;
    QString title_;
    QString notice_;
};
