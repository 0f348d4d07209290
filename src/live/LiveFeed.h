#pragma once

#include "LiveJson.h"
#include "LiveLadders.h"

#include <QObject>

#include <functional>

class QTimer;
class TLiveRacers;
class TLiveServer;
class TProtocolModel;
struct LaneResult;
struct TStandings;
struct Race;

// Follows the heat, its results and the protocol, and hands the server what the page shows:
// while a heat runs five times a second, otherwise whenever something changes. It works on
// the window's thread and only ever copies texts; the server does the rest.
class TLiveFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kRunningIntervalMs = 200;
    static constexpr int kHeatsKept = 10;

    // How the protocol is shown (columns, class mode and classes); rows and version are the
    // feed's own.
    using LayoutSource = std::function<LiveProtocol()>;

    TLiveFeed(const Race& race, const TProtocolModel& protocol, LayoutSource layout,
              TLiveServer* server, QObject* parent = nullptr);

    void SetTitle(const QString& title);
    // The protocol or its columns changed: the page's tab follows.
    void ProtocolChanged();
    // Everything once more, as a page opened now would get it.
    void PublishAll();
    // The standings for the page's "Wertung" tab.
    void SetStandings(const TStandings& standings);
    // The ladders for the page's "Leiter" tab; published only when they changed.
    void SetLadders(const LiveLadderBoard& board);
    // The racers' pages and the pairings to come; none: the lanes' numbers moving on by 2.
    void SetRacers(TLiveRacers* racers);
    // A lane of a heat started at startTicks was declared void, or that was taken back.
    void LaneVoided(qint64 startTicks, int lane, bool voided);

    LiveState State() const;

private:
    void LaneChanged(int lane);
    void ResultShown(int lane, const LaneResult& result);
    void Cleared(int lane);
    void PublishSoon();
    void PublishState();
    void PublishProtocol();
    LiveLane LaneNow(int lane) const;

    const Race& race_;
    const TProtocolModel& protocol_;
    LayoutSource layout_;
    TLiveServer* server_;
    QString title_;
    // Each lane's result as shown, [0] lane 1.
    LiveLane shown_[2];
    QList<LiveHeat> heats_;
    bool heatOpen_ = false;
    int protocolVersion_ = 0;
    int standingsVersion_ = 0;
    TLiveRacers* racers_ = nullptr;
    QByteArray standings_;
    LiveLadderBoard ladderBoard_;
    int ladderVersion_ = 0;
    QByteArray ladders_;
    QTimer* running_;
    QTimer* soon_;
    QTimer* protocolSoon_;
};
