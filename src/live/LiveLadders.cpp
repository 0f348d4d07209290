#include "LiveLadders.h"

#include "LiveJson.h"
#include "ladder/LadderCallUp.h"
#include "ladder/LadderText.h"

#include <QJsonArray>

namespace {

const TLadder* Find(const LiveLadderBoard& board, qint64 id) {
    for (const TLadder& ladder : board.ladders)
        if (ladder.id == id) return &ladder;
    return nullptr;
}

QJsonValue Coming(const LiveLadderBoard& board, const std::optional<TPairingRef>& ref) {
    const TLadder* ladder = ref ? Find(board, ref->ladder) : nullptr;
    const TLadderPairing* pairing = ladder ? ladder->Pairing(ref->round, ref->slot) : nullptr;
    if (!pairing) return QJsonValue::Null;
    QJsonArray numbers, names;
    for (int lane = 1; lane <= 2; ++lane) {
        const TLadderEntrant* racer = ladder->Entrant(pairing->LaneSeed(lane));
        numbers.append(racer ? racer->startNumber : QString());
        names.append(racer ? LadderRacerName(*racer) : QString());
    }
    return QJsonObject{{"ladder", QString::number(ladder->id)},
                       {"class", LadderClassTitle(*ladder)},
                       {"round", pairing->name},
                       {"start", numbers},
                       {"name", names}};
}

QJsonObject Place(const TLadderPlaceView& view) {
    const TLadderEntrant* racer = view.racer;
    return {{"seed", racer ? racer->seed : 0},
            {"start", racer ? racer->startNumber : QString()},
            {"name", racer ? LadderRacerName(*racer) : QString()},
            {"rz", view.reaction},
            {"zz", view.intermediate},
            {"kmh", view.speed},
            {"time", view.time},
            {"result", view.result},
            {"winner", view.winner},
            {"bye", view.bye},
            {"waiting", view.waiting},
            {"noShow", view.noShow}};
}

// "running", "next" (with its place in the order), "decided", "waiting" or "open".
QJsonObject Pairing(const LiveLadderBoard& board, const TLadder& ladder,
                    const TLadderPairing& pairing) {
    const TPairingRef ref{ladder.id, pairing.round, pairing.slot};
    const qsizetype order = board.next.indexOf(ref);
    QString state = QStringLiteral("open");
    if (board.running == ref)
        state = QStringLiteral("running");
    else if (order >= 0)
        state = QStringLiteral("next");
    else if (pairing.Decided())
        state = QStringLiteral("decided");
    else if (pairing.Waiting())
        state = QStringLiteral("waiting");
    return {{"slot", pairing.slot},
            {"state", state},
            {"order", int(order + 1)},
            {"places", QJsonArray{Place(LadderPlaceView(ladder, pairing, kUpper)),
                                  Place(LadderPlaceView(ladder, pairing, kLower))}}};
}

QJsonObject Ladder(const LiveLadderBoard& board, const TLadder& ladder) {
    QJsonArray rounds;
    for (const TLadderRound& round : LadderRoundsShown(ladder)) {
        QJsonArray pairings;
        for (const TLadderPairing& pairing : round.pairings)
            pairings.append(Pairing(board, ladder, pairing));
        rounds.append(QJsonObject{{"name", round.name}, {"pairings", pairings}});
    }
    QJsonArray places;
    for (const TLadderEntrant& racer : LadderPlaces(ladder))
        places.append(QJsonObject{{"place", racer.place},
                                  {"seed", racer.seed},
                                  {"start", racer.startNumber},
                                  {"name", LadderRacerName(racer)}});
    // Ids as texts: a script's numbers would round those beyond 2^53.
    return {{"id", QString::number(ladder.id)},
            {"title", LadderTitle(ladder)},
            {"class", LadderClassTitle(ladder)},
            {"source", LadderSourceText(ladder)},
            {"day", ladder.day.toString(QStringLiteral("dd.MM.yyyy"))},
            {"field", int(ladder.field.size())},
            {"finished", ladder.Finished()},
            {"active", ladder.active},
            {"rounds", rounds},
            {"places", places}};
}

} // namespace

LiveLadderBoard LadderBoard(const TLadderRunner& runner) {
    return {runner.Ladders(), runner.Running(), LadderNext(runner, kLiveLadderNext)};
}

QByteArray LiveLaddersJson(const LiveLadderBoard& board, int version) {
    QJsonArray next;
    for (const TPairingRef& ref : board.next)
        if (const QJsonValue coming = Coming(board, ref); coming.isObject()) next.append(coming);
    QJsonArray ladders;
    for (const TLadder& ladder : board.ladders)
        ladders.append(Ladder(board, ladder));
    return SafeJson({{"version", version},
                     {"now", Coming(board, board.running)},
                     {"next", next},
                     {"ladders", ladders}});
}
