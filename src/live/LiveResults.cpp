#include "LiveResults.h"

#include "LiveAddress.h"
#include "LiveServer.h"
#include "race/Race.h"

TLiveResults::TLiveResults(const Race& race, const TProtocolModel& protocol,
                           TLiveFeed::LayoutSource layout, QObject* parent)
    : QObject(parent), race_(race), protocol_(protocol), layout_(std::move(layout)) {}

TLiveResults::~TLiveResults() {
    // The feed publishes to the server: it goes first.
    delete feed_;
    delete server_;
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
        StandingsChanged();
    }
    // The columns shown may have changed with the settings.
    feed_->ProtocolChanged();
    if (!server_->IsListening() || server_->Port() != settings.LivePort)
        server_->Start(quint16(settings.LivePort));
}
