#pragma once

#include "LiveJson.h"

#include <QObject>
#include <QPointer>

class QTimer;
class TFrame1;
class TLiveServer;
class TSortGrid;
struct ClockFace;
struct LaneResult;
struct TRaceSettings;

// Follows the lane clocks, their results and the protocol, and hands the server what the
// page shows: while a heat runs five times a second, otherwise whenever something changes.
// It works on the window's thread and only ever copies texts; the server does the rest.
class TLiveFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kRunningIntervalMs = 200;
    static constexpr int kHeatsKept = 10;

    TLiveFeed(TFrame1* lane1, TFrame1* lane2, TSortGrid* grid, const TRaceSettings& settings,
              TLiveServer* server, QObject* parent = nullptr);

    void SetTitle(const QString& title);
    // The protocol or its columns changed: the page's tab follows.
    void ProtocolChanged();
    // Everything once more, as a page opened now would get it.
    void PublishAll();

    LiveState State() const;

private:
    void ClockShown(int lane, const ClockFace& face);
    void ResultShown(int lane, const LaneResult& result);
    void Cleared(int lane);
    void PublishSoon();
    void PublishState();
    void PublishProtocol();
    LiveLane LaneNow(int lane) const;
    QString Name(int startNumber) const;
    TFrame1* Frame(int lane) const { return lane == 1 ? lane1_ : lane2_; }

    QPointer<TFrame1> lane1_;
    QPointer<TFrame1> lane2_;
    QPointer<TSortGrid> grid_;
    const TRaceSettings& settings_;
    TLiveServer* server_;
    QString title_;
    // What each lane's clock and result show, [0] lane 1.
    LiveLane shown_[2];
    QList<LiveHeat> heats_;
    bool heatOpen_ = false;
    int protocolVersion_ = 0;
    QTimer* running_;
    QTimer* soon_;
    QTimer* protocolSoon_;
};
