#include "LiveRacers.h"

#include "LiveJson.h"
#include "LiveServer.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "results/ResultsDatabase.h"

#include <QJsonArray>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

const QString kRacerPath = QStringLiteral("/fahrer/%1.json");
const QString kIndexPath = QStringLiteral("/fahrer/index.json");

bool IsNumber(const QString& text) {
    bool ok = false;
    return text.toInt(&ok) > 0 && ok;
}

// The racers of the day: every start number of the protocol, then those who ran without a row.
QStringList RacerNumbers(const TRuns& runs, const TProtocolModel& protocol) {
    QStringList numbers;
    QSet<QString> seen;
    auto add = [&](const QString& number) {
        if (IsNumber(number) && !seen.contains(number)) {
            seen.insert(number);
            numbers << number;
        }
    };
    for (int row = 1; row <= protocol.DataRowCount(); ++row)
        add(protocol.Cell(row, ColStartNr).trimmed());
    for (const TRun& run : runs)
        add(run.startNumber);
    return numbers;
}

QString RacerName(const QString& number, const TProtocolModel& protocol) {
    return protocol.RiderName(number.toInt());
}

} // namespace

QByteArray RacerJson(const QString& startNumber, const TRuns& runs, const TStandings& standings,
                     const TProtocolModel& protocol, const std::optional<TRacerLadder>& ladder) {
    QJsonObject racer{{"start", startNumber}};
    QString classInfo;
    if (const int row = protocol.FindStartRow(startNumber)) {
        racer["name"] = protocol.Cell(row, ColName).trimmed();
        racer["firstName"] = protocol.Cell(row, ColFirstName).trimmed();
        classInfo = protocol.Cell(row, ColClass).trimmed();
    }
    for (const TStandingsGroup& group : standings.groups)
        for (const TStandingsEntry& entry : group.entries)
            if (entry.startNumber == startNumber) {
                racer["place"] = entry.place;
                racer["group"] = standings.Klass ? group.title : QString();
                if (entry.Placed())
                    racer["best"] = QJsonObject{
                        {"time", entry.time}, {"speed", entry.speed}, {"heat", entry.heat}};
                if (racer["name"].toString().isEmpty()) {
                    racer["name"] = entry.name;
                    racer["firstName"] = entry.firstName;
                }
                if (classInfo.isEmpty()) classInfo = entry.classInfo;
            }
    racer["classInfo"] = classInfo;
    QJsonArray list;
    for (const TRun& run : runs) {
        if (run.startNumber != startNumber) continue;
        QJsonObject item{{"heat", run.heat},
                         {"at", run.startedAt.time().toString(QStringLiteral("HH:mm"))},
                         {"lane", run.lane},
                         {"rz", run.reaction},
                         {"zz", run.intermediate},
                         {"kmh", run.speed},
                         {"time", run.finalTime},
                         {"outcome", run.Outcome()},
                         {"opponent", run.opponentNumber}};
        // The opponent's time from their run in the same heat.
        for (const TRun& other : runs)
            if (other.heat == run.heat && other.day == run.day && other.lane != run.lane)
                item["opponentTime"] = other.voided ? QStringLiteral("ungültig") : other.finalTime;
        list.append(item);
    }
    racer["runs"] = list;
    if (ladder)
        racer["ladder"] = QJsonObject{{"round", ladder->round},
                                      {"opponent", ladder->opponent},
                                      {"opponentName", ladder->opponentName}};
    return SafeJson(racer);
}

QByteArray RacersIndexJson(const TRuns& runs, const TProtocolModel& protocol,
                           const QList<TCallUpPairing>& order, int version) {
    QJsonArray racers;
    for (const QString& number : RacerNumbers(runs, protocol)) {
        QString name = RacerName(number, protocol);
        if (name.isEmpty())
            for (const TRun& run : runs)
                if (run.startNumber == number)
                    name = QStringList{run.name, run.firstName}.join(u' ').simplified();
        racers.append(QJsonObject{{"start", number}, {"name", name}});
    }
    QJsonArray pairings;
    for (const TCallUpPairing& pairing : order)
        pairings.append(QJsonObject{{"start", QJsonArray{pairing.number[0], pairing.number[1]}},
                                    {"round", pairing.round}});
    return SafeJson({{"version", version}, {"racers", racers}, {"order", pairings}});
}

TLiveRacers::TLiveRacers(const Race& race, const TResultsDatabase& results,
                         const TProtocolModel& protocol, TLiveServer* server, QObject* parent)
    : QObject(parent), race_(race), results_(results), protocol_(protocol), server_(server),
      soon_(new QTimer(this)) {
    // A heat's end changes two runs, the standings and the order at once: they go out as one.
    soon_->setSingleShot(true);
    soon_->setInterval(kSettleMs);
    connect(soon_, &QTimer::timeout, this, [this] { Publish(false); });
}

void TLiveRacers::Changed() {
    if (!soon_->isActive()) soon_->start();
}

void TLiveRacers::PublishAll() {
    Publish(true);
}

QList<TCallUpPairing> TLiveRacers::Next(int count) const {
    return pairings_ ? pairings_(count) : LaneOrder(race_.heat, protocol_, count);
}

void TLiveRacers::Publish(bool all) {
    soon_->stop();
    const TRuns& runs = results_.Runs();
    const TStandings standings = standings_ ? standings_() : TStandings();
    QHash<QString, QByteArray> documents;
    // A racer's document carries no version: it changes only with the racer.
    for (const QString& number : RacerNumbers(runs, protocol_))
        documents.insert(kRacerPath.arg(number),
                         RacerJson(number, runs, standings, protocol_,
                                   ladder_ ? ladder_(number) : std::nullopt));
    const QList<TCallUpPairing> order = Next(kOrderLength);
    const QByteArray index = RacersIndexJson(runs, protocol_, order, version_);
    const bool indexChanged = published_.value(kIndexPath) != index;
    bool changed = indexChanged;
    for (auto document = documents.cbegin(); document != documents.cend(); ++document)
        if (all || published_.value(document.key()) != document.value()) {
            server_->PublishDocument(document.key(), "application/json", document.value());
            changed = true;
        }
    // Racers who are no longer in the day's list.
    for (auto old = published_.cbegin(); old != published_.cend(); ++old)
        if (old.key() != kIndexPath && !documents.contains(old.key())) {
            server_->PublishDocument(old.key(), {}, QByteArray());
            changed = true;
        }
    if (changed) ++version_;
    documents.insert(kIndexPath, RacersIndexJson(runs, protocol_, order, version_));
    if (changed || all)
        server_->PublishDocument(kIndexPath, "application/json", documents.value(kIndexPath));
    published_ = documents;
    if (changed) emit Published();
}
