#include "LiveFeed.h"

#include "LiveRacers.h"
#include "LiveServer.h"
#include "LiveStandings.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"

#include <QTime>
#include <QTimer>

namespace {

const QString kLaddersPath = QStringLiteral("/api/leiter");

} // namespace

TLiveFeed::TLiveFeed(const Race& race, const TProtocolModel& protocol, LayoutSource layout,
                     TLiveServer* server, QObject* parent)
    : QObject(parent), race_(race), protocol_(protocol), layout_(std::move(layout)),
      server_(server), running_(new QTimer(this)), soon_(new QTimer(this)),
      protocolSoon_(new QTimer(this)) {
    running_->setInterval(kRunningIntervalMs);
    connect(running_, &QTimer::timeout, this, &TLiveFeed::PublishState);
    // Many changes at once (a reset, a loaded protocol) go out as one.
    soon_->setSingleShot(true);
    soon_->setInterval(0);
    connect(soon_, &QTimer::timeout, this, &TLiveFeed::PublishState);
    // Typing in the protocol changes it with every key; the page need not follow each one.
    protocolSoon_->setSingleShot(true);
    protocolSoon_->setInterval(500);
    connect(protocolSoon_, &QTimer::timeout, this, &TLiveFeed::PublishProtocol);

    const THeatModel& heat = race.heat;
    connect(&heat, &THeatModel::LaneChanged, this, &TLiveFeed::LaneChanged);
    connect(&heat, &THeatModel::LaneResultShown, this, &TLiveFeed::ResultShown);
    connect(&heat, &THeatModel::LaneCleared, this, &TLiveFeed::Cleared);
    connect(&protocol, &QAbstractItemModel::modelReset, this, &TLiveFeed::ProtocolChanged);
    connect(&protocol, &QAbstractItemModel::rowsInserted, this, &TLiveFeed::ProtocolChanged);
    connect(&protocol, &QAbstractItemModel::rowsRemoved, this, &TLiveFeed::ProtocolChanged);
    connect(&protocol, &QAbstractItemModel::dataChanged, this, &TLiveFeed::ProtocolChanged);
    connect(&protocol, &QAbstractItemModel::headerDataChanged, this, &TLiveFeed::ProtocolChanged);
}

void TLiveFeed::SetTitle(const QString& title) {
    if (title == title_) return;
    title_ = title;
    PublishSoon();
}

void TLiveFeed::ProtocolChanged() {
    // Names come from the protocol: the lanes follow at once, the tab a little later.
    PublishSoon();
    if (!protocolSoon_->isActive()) protocolSoon_->start();
}

void TLiveFeed::PublishAll() {
    PublishProtocol();
    if (!standings_.isNull())
        server_->PublishDocument(QStringLiteral("/api/standings"), "application/json", standings_);
    if (!ladders_.isNull()) server_->PublishDocument(kLaddersPath, "application/json", ladders_);
    PublishState();
}

void TLiveFeed::SetRacers(TLiveRacers* racers) {
    racers_ = racers;
    if (racers) connect(racers, &TLiveRacers::Published, this, &TLiveFeed::PublishSoon);
    PublishSoon();
}

void TLiveFeed::LaneVoided(qint64 startTicks, int lane, bool voided) {
    for (LiveHeat& heat : heats_)
        if (heat.startTicks == startTicks && (lane == 1 || lane == 2))
            heat.lanes[lane - 1].voided = voided;
    PublishSoon();
}

void TLiveFeed::SetStandings(const TStandings& standings) {
    standings_ = LiveStandingsJson(standings, ++standingsVersion_);
    server_->PublishDocument(QStringLiteral("/api/standings"), "application/json", standings_);
    PublishSoon();
}

void TLiveFeed::SetLadders(const LiveLadderBoard& board) {
    // Each change of the runner tells it several times; the pages fetch only what is new.
    if (!ladders_.isNull() && board == ladderBoard_) return;
    ladderBoard_ = board;
    ladders_ = LiveLaddersJson(board, ++ladderVersion_);
    server_->PublishDocument(kLaddersPath, "application/json", ladders_);
    PublishSoon();
}

void TLiveFeed::LaneChanged(int lane) {
    // The numbers, or a clock that begins to run.
    if (race_.heat.Lane(lane).running) {
        shown_[lane - 1].stopped = false;
        if (!running_->isActive()) running_->start();
    }
    PublishSoon();
}

void TLiveFeed::ResultShown(int lane, const LaneResult& result) {
    LiveLane& shown = shown_[lane - 1];
    shown.stopped = true;
    shown.time = result.finalTime;
    shown.line = ResultLineText(result, race_.settings);
    // As on the TV: a false start takes the place of the results and never wins.
    shown.falseStart = result.marked;
    shown.winner = result.Won();

    if (!heatOpen_) {
        LiveHeat heat;
        heat.startTicks = race_.heat.state.StartTicks;
        for (int i = 0; i < 2; ++i)
            heat.lanes[i].startNumber = race_.heat.Lane(i + 1).startNumber;
        heats_.prepend(heat);
        if (heats_.size() > kHeatsKept) heats_.removeLast();
        heatOpen_ = true;
    }
    LiveHeat& heat = heats_.first();
    heat.at = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    LiveLane& past = heat.lanes[lane - 1];
    const int startNumber = past.startNumber;
    past = LaneNow(lane);
    past.readyNumber = 0;
    past.startNumber = startNumber;
    PublishSoon();
}

void TLiveFeed::Cleared(int lane) {
    shown_[lane - 1] = LiveLane();
    heatOpen_ = false;
    PublishSoon();
}

void TLiveFeed::PublishSoon() {
    if (!soon_->isActive()) soon_->start();
}

LiveLane TLiveFeed::LaneNow(int lane) const {
    const THeatModel& heat = race_.heat;
    const THeatLane& now = heat.Lane(lane);
    LiveLane shown = shown_[lane - 1];
    shown.startNumber = now.startNumber;
    shown.readyNumber = now.readyNumber;
    shown.running = now.running;
    // What the lane's clock shows: the time base while it runs, its stop when it has stopped.
    const qint64 start = heat.state.StartTicks;
    if (now.running)
        shown.ms = int(TicksToMs(race_.HighResTimer1.NowTicks() - start));
    else if (heat.ShowsResult(lane))
        shown.ms = int(TicksToMs(now.stopTicks - start));
    shown.name = protocol_.RiderName(shown.startNumber);
    return shown;
}

LiveState TLiveFeed::State() const {
    LiveState state;
    state.title = title_;
    state.lanes[0] = LaneNow(1);
    state.lanes[1] = LaneNow(2);
    state.heats = heats_;
    for (LiveHeat& heat : state.heats)
        for (LiveLane& lane : heat.lanes)
            lane.name = protocol_.RiderName(lane.startNumber);
    state.protocolVersion = protocolVersion_;
    state.standingsVersion = standingsVersion_;
    state.racersVersion = racers_ ? racers_->Version() : 0;
    state.ladderVersion = ladderVersion_;
    state.ladders = !ladderBoard_.ladders.isEmpty();
    const int kCallUp = 3;
    for (const TCallUpPairing& pairing :
         racers_ ? racers_->Next(kCallUp) : LaneOrder(race_.heat, protocol_, kCallUp))
        state.callUp << QStringList{pairing.number[0], pairing.number[1], pairing.name[0],
                                    pairing.name[1], pairing.round};
    return state;
}

void TLiveFeed::PublishState() {
    const LiveState state = State();
    if (!state.lanes[0].running && !state.lanes[1].running) running_->stop();
    server_->PublishState(LiveStateJson(state), title_);
}

void TLiveFeed::PublishProtocol() {
    protocolSoon_->stop();
    LiveProtocol protocol = layout_ ? layout_() : LiveProtocol();
    protocol.rows = protocol_.Rows();
    protocol.version = ++protocolVersion_;
    server_->PublishProtocol(protocol);
    PublishSoon();
}
