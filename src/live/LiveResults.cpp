#include "LiveResults.h"

#include "LiveAddress.h"
#include "LiveServer.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "results/ResultsDatabase.h"

TLiveResults::TLiveResults(const Race& race, const TProtocolModel& protocol,
                           TLiveFeed::LayoutSource layout, QObject* parent)
    : QObject(parent), race_(race), protocol_(protocol), layout_(std::move(layout)) {}

TLiveResults::~TLiveResults() {
    // The feed and the pages publish to the server: they go first.
    delete feed_;
    delete racers_;
    delete server_;
}

void TLiveResults::SetResults(const TResultsDatabase* results) {
    results_ = results;
    if (!results) return;
    auto changed = [this] {
        if (racers_) racers_->Changed();
    };
    connect(results, &TResultsDatabase::RunAdded, this, changed);
    connect(results, &TResultsDatabase::RunChanged, this, changed);
    connect(results, &TResultsDatabase::RunsReset, this, changed);
    connect(results, &TResultsDatabase::VoidChanged, this, changed);
    connect(&race_.heat, &THeatModel::LaneChanged, this, changed);
    connect(&protocol_, &QAbstractItemModel::dataChanged, this, changed);
    connect(&protocol_, &QAbstractItemModel::modelReset, this, changed);
}

void TLiveResults::SetPairingSource(PairingSource source) {
    pairings_ = std::move(source);
    if (racers_) racers_->SetPairingSource(pairings_);
}

void TLiveResults::SetLadderSource(RacerLadderSource source) {
    ladder_ = std::move(source);
    if (racers_) racers_->SetLadderSource(ladder_);
}

void TLiveResults::SetLadders(const TLadderRunner* ladders) {
    ladders_ = ladders;
    LaddersChanged();
}

void TLiveResults::LaddersChanged() {
    if (racers_) racers_->Changed();
    if (feed_ && ladders_) feed_->SetLadders(LadderBoard(*ladders_));
}

void TLiveResults::SetNotice(const QString& notice) {
    notice_ = notice;
    emit NoticeChanged();
}

void TLiveResults::SetTitle(const QString& title) {
    title_ = title;
    if (feed_) feed_->SetTitle(title);
}

void TLiveResults::StandingsChanged() {
    if (feed_ && standings_) feed_->SetStandings(standings_());
}

void TLiveResults::Apply() {
    const TRaceSettings& settings = race_.settings;
    if (!settings.LiveResults) {
        delete feed_;
        feed_ = nullptr;
        delete racers_;
        racers_ = nullptr;
        if (server_) server_->Stop();
        emit AddressChanged({});
        SetNotice({});
        return;
    }
    if (!server_) {
        server_ = new TLiveServer(this);
        connect(server_, &TLiveServer::Listening, this, [this](quint16 port) {
            emit AddressChanged(LiveAddress(port));
            SetNotice({});
            if (racers_) racers_->PublishAll();
            if (feed_) feed_->PublishAll();
        });
        // The race goes on without the page; the notice says why.
        connect(server_, &TLiveServer::Failed, this, [this](const QString& message) {
            emit AddressChanged({});
            SetNotice(message);
        });
    }
    if (!feed_) {
        feed_ = new TLiveFeed(race_, protocol_, layout_, server_, this);
        feed_->SetTitle(title_);
        if (results_) {
            racers_ = new TLiveRacers(race_, *results_, protocol_, server_, this);
            racers_->SetStandingsSource(standings_);
            racers_->SetPairingSource(pairings_);
            racers_->SetLadderSource(ladder_);
            feed_->SetRacers(racers_);
            racers_->Changed();
        }
        StandingsChanged();
        if (ladders_) feed_->SetLadders(LadderBoard(*ladders_));
    }
    // The columns shown may have changed with the settings.
    feed_->ProtocolChanged();
    if (!server_->IsListening() || server_->Port() != settings.LivePort)
        server_->Start(quint16(settings.LivePort));
}
