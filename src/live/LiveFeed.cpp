#include "LiveFeed.h"

#include "LiveServer.h"
#include "protocol/SortGrid.h"
#include "race/LaneTimer.h"
#include "race/RaceSettings.h"
#include "ui/Monitor2.h"

#include <QSpinBox>
#include <QTime>
#include <QTimer>

namespace {

int FaceMs(const ClockFace& face) {
    const int* d = face.digits;
    return (d[0] * 100 + d[1] * 10 + d[2]) * 1000 + d[3] * 100 + d[4] * 10 + d[5];
}

} // namespace

TLiveFeed::TLiveFeed(TFrame1* lane1, TFrame1* lane2, TSortGrid* grid, const TRaceSettings& settings,
                     TLiveServer* server, QObject* parent)
    : QObject(parent), lane1_(lane1), lane2_(lane2), grid_(grid), settings_(settings),
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

    for (TFrame1* frame : {lane1, lane2}) {
        const int lane = frame->Tag() == 1 ? 1 : 2;
        connect(frame, &TFrame1::ClockShown, this,
                [this, lane](const ClockFace& face) { ClockShown(lane, face); });
        connect(frame, &TFrame1::ResultShown, this,
                [this, lane](const LaneResult& result) { ResultShown(lane, result); });
        connect(frame, &TFrame1::Cleared, this, [this, lane] { Cleared(lane); });
        connect(frame->editStartN1, &QSpinBox::valueChanged, this, &TLiveFeed::PublishSoon);
        connect(frame->editStartN2, &QSpinBox::valueChanged, this, &TLiveFeed::PublishSoon);
    }
    TProtocolModel* protocol = grid->Protocol();
    connect(protocol, &QAbstractItemModel::modelReset, this, &TLiveFeed::ProtocolChanged);
    connect(protocol, &QAbstractItemModel::rowsInserted, this, &TLiveFeed::ProtocolChanged);
    connect(protocol, &QAbstractItemModel::rowsRemoved, this, &TLiveFeed::ProtocolChanged);
    connect(protocol, &QAbstractItemModel::dataChanged, this, &TLiveFeed::ProtocolChanged);
    connect(protocol, &QAbstractItemModel::headerDataChanged, this, &TLiveFeed::ProtocolChanged);
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
    PublishState();
}

void TLiveFeed::ClockShown(int lane, const ClockFace& face) {
    LiveLane& shown = shown_[lane - 1];
    shown.ms = FaceMs(face);
    const bool running = Frame(lane) && Frame(lane)->IsRunning();
    if (running == shown.running) return;
    shown.running = running;
    if (running) {
        shown.stopped = false;
        if (!running_->isActive()) running_->start();
    }
    PublishSoon();
}

void TLiveFeed::ResultShown(int lane, const LaneResult& result) {
    LiveLane& shown = shown_[lane - 1];
    shown.running = false;
    shown.stopped = true;
    shown.time = result.finalTime;
    shown.line = TFormMonitor2::ResultLineText(result, settings_);
    // As on the TV: a false start takes the place of the results and never wins.
    shown.falseStart = result.marked;
    shown.winner = result.first && !result.marked;

    if (!heatOpen_) {
        LiveHeat heat;
        for (int i = 0; i < 2; ++i)
            if (Frame(i + 1)) heat.lanes[i].startNumber = Frame(i + 1)->editStartN1->value();
        heats_.prepend(heat);
        if (heats_.size() > kHeatsKept) heats_.removeLast();
        heatOpen_ = true;
    }
    LiveHeat& heat = heats_.first();
    heat.at = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    LiveLane& past = heat.lanes[lane - 1];
    const int startNumber = past.startNumber;
    past = shown;
    past.startNumber = startNumber;
    PublishSoon();
}

void TLiveFeed::Cleared(int lane) {
    LiveLane& shown = shown_[lane - 1];
    shown = LiveLane();
    heatOpen_ = false;
    PublishSoon();
}

void TLiveFeed::PublishSoon() {
    if (!soon_->isActive()) soon_->start();
}

QString TLiveFeed::Name(int startNumber) const {
    return grid_ ? TFormMonitor2::RiderName(*grid_->Protocol(), startNumber) : QString();
}

LiveLane TLiveFeed::LaneNow(int lane) const {
    LiveLane now = shown_[lane - 1];
    if (const TFrame1* frame = Frame(lane)) {
        now.startNumber = frame->editStartN1->value();
        now.readyNumber = frame->editStartN2->value();
        now.running = frame->IsRunning();
    }
    now.name = Name(now.startNumber);
    return now;
}

LiveState TLiveFeed::State() const {
    LiveState state;
    state.title = title_;
    state.lanes[0] = LaneNow(1);
    state.lanes[1] = LaneNow(2);
    state.heats = heats_;
    for (LiveHeat& heat : state.heats)
        for (LiveLane& lane : heat.lanes)
            lane.name = Name(lane.startNumber);
    state.protocolVersion = protocolVersion_;
    return state;
}

void TLiveFeed::PublishState() {
    const LiveState state = State();
    if (!state.lanes[0].running && !state.lanes[1].running) running_->stop();
    server_->PublishState(LiveStateJson(state), title_);
}

void TLiveFeed::PublishProtocol() {
    protocolSoon_->stop();
    if (!grid_) return;
    LiveProtocol protocol;
    protocol.rows = grid_->Protocol()->Rows();
    const auto visible = grid_->VisibleColumns();
    protocol.visibleColumns = QList<bool>(visible.begin(), visible.end());
    protocol.classMode = grid_->ClassMode();
    protocol.classList = grid_->ClassList();
    protocol.version = ++protocolVersion_;
    server_->PublishProtocol(protocol);
    PublishSoon();
}
