#include "LadderCallUp.h"

#include "LadderRunner.h"
#include "LadderText.h"

namespace {

TCallUpPairing CallUp(const TLadderRunner& ladders, const TPairingRef& ref) {
    const TLadder* ladder = ladders.Ladder(ref.ladder);
    const TLadderPairing* pairing = ladders.Pairing(ref);
    TCallUpPairing shown;
    shown.round = pairing->name;
    for (int lane = 1; lane <= 2; ++lane)
        if (const TLadderEntrant* racer = ladder->Entrant(pairing->LaneSeed(lane))) {
            shown.number[lane - 1] = racer->startNumber;
            shown.name[lane - 1] = LadderRacerName(*racer);
        }
    return shown;
}

} // namespace

QList<TPairingRef> LadderNext(const TLadderRunner& ladders, int count) {
    const QList<TPairingRef> order = ladders.Order();
    QList<TPairingRef> refs;
    auto add = [&](const std::optional<TPairingRef>& ref) {
        if (ref && order.contains(*ref) && ref != ladders.Running() && !refs.contains(*ref))
            refs.append(*ref);
    };
    add(ladders.InLanes());
    add(ladders.Ready());
    for (const TPairingRef& ref : order)
        add(ref);
    return refs.mid(0, count);
}

QList<TCallUpPairing> LadderCallUp(const TLadderRunner& ladders, int count) {
    QList<TCallUpPairing> shown;
    for (const TPairingRef& ref : LadderNext(ladders, count))
        shown.append(CallUp(ladders, ref));
    return shown;
}

QString RoundOfHeat(const TLadderRunner& ladders, const TRun& run) {
    // The instant alone may come again after a restart of the machine: the day and the heat's
    // number tell once they are known.
    for (const TLadder& ladder : ladders.Ladders())
        for (const TLadderPairing* pairing : ladder.Pairings())
            for (const TLadderHeat& heat : pairing->heats)
                if (heat.startTicks == run.startTicks &&
                    (!heat.day.isValid() || (heat.day == run.day && heat.heat == run.heat)))
                    return pairing->name;
    return {};
}

std::optional<TRacerLadder> RacerInLadder(const TLadderRunner& ladders,
                                          const QString& startNumber) {
    const QString number = startNumber.trimmed();
    for (const TLadder& ladder : ladders.Ladders()) {
        const auto racer =
            std::find_if(ladder.field.begin(), ladder.field.end(), [&](const TLadderEntrant& e) {
                return e.startNumber.trimmed() == number;
            });
        if (racer == ladder.field.end()) continue;
        TRacerLadder shown;
        if (racer->place) {
            shown.round = QStringLiteral("Ausscheidung: Platz %1").arg(racer->place);
            return shown;
        }
        // The latest pairing the racer is in: the rounds in order, the race for third last.
        const TLadderPairing* current = nullptr;
        for (const TLadderPairing* pairing : ladder.Pairings())
            if (pairing->PlaceOf(racer->seed) >= 0) current = pairing;
        if (!current) continue;
        shown.round = current->name;
        const int other = current->seeds[1 - current->PlaceOf(racer->seed)];
        if (const TLadderEntrant* opponent = ladder.Entrant(other);
            opponent && !current->Decided()) {
            shown.opponent = opponent->startNumber;
            shown.opponentName = LadderRacerName(*opponent);
        }
        return shown;
    }
    return std::nullopt;
}
