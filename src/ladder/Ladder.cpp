#include "Ladder.h"

#include <algorithm>

int LadderSize(int field) {
    if (field < 2 || field > kMaxLadderField) return 0;
    int size = 2;
    while (size < field)
        size *= 2;
    return size;
}

QList<int> SeedingOrder(int size) {
    // Doubling a ladder puts each seed's first opponent beside it: s above 2n + 1 − s.
    QList<int> order{1};
    while (order.size() < size) {
        const int count = int(order.size()) * 2;
        QList<int> doubled;
        for (const int seed : std::as_const(order))
            doubled << seed << count + 1 - seed;
        order = doubled;
    }
    return size >= 2 ? order : QList<int>();
}

QString RoundName(int round, int pairings) {
    switch (pairings) {
    case 1:
        return QStringLiteral("Finale");
    case 2:
        return QStringLiteral("Halbfinale");
    case 4:
        return QStringLiteral("Viertelfinale");
    case 8:
        return QStringLiteral("Achtelfinale");
    default:
        return QStringLiteral("%1. Runde").arg(round + 1);
    }
}

int TLadderPairing::PlaceOf(int seed) const {
    if (seed && seeds[kUpper] == seed) return kUpper;
    if (seed && seeds[kLower] == seed) return kLower;
    return -1;
}

int TLadderPairing::Loser() const {
    const int place = PlaceOf(winner);
    return place < 0 ? 0 : seeds[1 - place];
}

int TLadderPairing::LaneSeed(int lane) const {
    const int better = std::min(seeds[kUpper], seeds[kLower]);
    const int worse = std::max(seeds[kUpper], seeds[kLower]);
    return (lane == 1) != swapped ? better : worse;
}

TLadder::TLadder(QList<TLadderEntrant> entrants, bool thirdPlace) : field(std::move(entrants)) {
    for (int i = 0; i < field.size(); ++i)
        field[i].seed = i + 1;
    const int size = Size();
    for (int pairings = size / 2, round = 0; pairings >= 1; pairings /= 2, ++round) {
        TLadderRound& added = rounds.emplace_back();
        added.name = RoundName(round, pairings);
        for (int slot = 0; slot < pairings; ++slot) {
            TLadderPairing& pairing = added.pairings.emplace_back();
            pairing.round = round;
            pairing.slot = slot;
            pairing.name = added.name;
        }
    }
    SetThirdPlace(thirdPlace);
    Evaluate();
}

void TLadder::SetThirdPlace(bool on) {
    if (!on || rounds.size() < 2) {
        thirdPlaceRace.reset();
    } else if (!thirdPlaceRace) {
        thirdPlaceRace.emplace();
        thirdPlaceRace->round = int(rounds.size());
        thirdPlaceRace->name = kThirdPlaceRace;
    }
}

TLadder TLadder::FromRecord(const TLadderRecord& record, const HeatRuns& runsOf) {
    TLadder ladder(record.field, record.thirdPlace);
    ladder.id = record.id;
    ladder.day = record.day;
    ladder.classInfo = record.classInfo;
    ladder.createdAt = record.createdAt;
    ladder.source = record.source;
    ladder.drawSeed = record.drawSeed;
    ladder.active = record.active;
    for (const TLadderPairingRecord& stored : record.pairings) {
        TLadderPairing* pairing = ladder.Pairing(stored.round, stored.slot);
        if (!pairing) continue;
        pairing->swapped = stored.swapped;
        pairing->noShow = stored.noShow;
        pairing->heats = stored.heats;
        // Only a settled winner is the ladder's own; the others follow the runs.
        pairing->settled = stored.settled;
        pairing->winner = stored.settled ? stored.winner : 0;
    }
    ladder.Evaluate(runsOf);
    return ladder;
}

TLadderRecord TLadder::ToRecord() const {
    TLadderRecord record;
    record.id = id;
    record.day = day;
    record.classInfo = classInfo;
    record.createdAt = createdAt;
    record.source = source;
    record.drawSeed = drawSeed;
    record.thirdPlace = ThirdPlace();
    record.active = active;
    record.finished = Finished();
    record.field = field;
    for (const TLadderPairing* pairing : Pairings())
        record.pairings.append(*pairing);
    return record;
}

const TLadderEntrant* TLadder::Entrant(int seed) const {
    return seed >= 1 && seed <= field.size() ? &field[seed - 1] : nullptr;
}

const TLadderPairing* TLadder::Pairing(int round, int slot) const {
    if (thirdPlaceRace && round == thirdPlaceRace->round && slot == 0) return &*thirdPlaceRace;
    if (round < 0 || round >= rounds.size()) return nullptr;
    const QList<TLadderPairing>& pairings = rounds[round].pairings;
    return slot >= 0 && slot < pairings.size() ? &pairings[slot] : nullptr;
}

// The lists are shared with copies until written: these detach them, so that a copy kept to see
// what changed does not change along.
TLadderPairing* TLadder::Pairing(int round, int slot) {
    if (thirdPlaceRace && round == thirdPlaceRace->round && slot == 0) return &*thirdPlaceRace;
    if (round < 0 || round >= rounds.size()) return nullptr;
    QList<TLadderPairing>& pairings = rounds[round].pairings;
    return slot >= 0 && slot < pairings.size() ? &pairings[slot] : nullptr;
}

QList<const TLadderPairing*> TLadder::Pairings() const {
    QList<const TLadderPairing*> all;
    for (const TLadderRound& round : rounds)
        for (const TLadderPairing& pairing : round.pairings)
            all.append(&pairing);
    if (thirdPlaceRace) all.append(&*thirdPlaceRace);
    return all;
}

QList<TLadderPairing*> TLadder::Pairings() {
    QList<TLadderPairing*> all;
    for (TLadderRound& round : rounds)
        for (TLadderPairing& pairing : round.pairings)
            all.append(&pairing);
    if (thirdPlaceRace) all.append(&*thirdPlaceRace);
    return all;
}

bool TLadder::Finished() const {
    return !rounds.isEmpty() && rounds.last().pairings[0].Decided() &&
           (!thirdPlaceRace || thirdPlaceRace->Decided());
}

void TLadder::Decide(TLadderPairing& pairing, const HeatRuns& runsOf) const {
    pairing.runs[kUpper].reset();
    pairing.runs[kLower].reset();
    if (pairing.Waiting()) {
        pairing.winner = 0;
        pairing.settled = false;
        return;
    }
    if (pairing.PlaceOf(pairing.noShow) < 0) pairing.noShow = 0;
    if (!pairing.heats.isEmpty() && runsOf) {
        const TRuns runs = runsOf(pairing.heats.last());
        for (const int place : {kUpper, kLower})
            if (const TLadderEntrant* racer = Entrant(pairing.seeds[place]))
                for (const TRun& run : runs)
                    if (run.startNumber == racer->startNumber) pairing.runs[place] = run;
    }
    if (pairing.settled && pairing.PlaceOf(pairing.winner) >= 0) return;
    pairing.settled = false;
    pairing.winner = 0;
    if (pairing.HasBye()) {
        pairing.winner = pairing.seeds[pairing.Bye(kUpper) ? kLower : kUpper];
    } else if (pairing.noShow) {
        pairing.winner = pairing.seeds[1 - pairing.PlaceOf(pairing.noShow)];
    } else {
        const std::optional<TRun>* runs = pairing.runs;
        const bool voided =
            (runs[kUpper] && runs[kUpper]->voided) || (runs[kLower] && runs[kLower]->voided);
        const bool upper = runs[kUpper] && runs[kUpper]->winner;
        const bool lower = runs[kLower] && runs[kLower]->winner;
        if (!voided && upper != lower) pairing.winner = pairing.seeds[upper ? kUpper : kLower];
    }
}

void TLadder::Place(const TLadderPairing& pairing, int loserPlace, int winnerPlace) {
    if (!pairing.Decided()) return;
    if (winnerPlace) field[pairing.winner - 1].place = winnerPlace;
    if (const int loser = pairing.Loser(); loser && Entrant(loser))
        field[loser - 1].place = loserPlace;
}

void TLadder::Evaluate(const HeatRuns& runsOf) {
    const int size = Size();
    const QList<int> order = SeedingOrder(size);
    for (TLadderEntrant& racer : field)
        racer.place = 0;
    for (int r = 0; r < rounds.size(); ++r) {
        QList<TLadderPairing>& pairings = rounds[r].pairings;
        for (int slot = 0; slot < pairings.size(); ++slot) {
            TLadderPairing& pairing = pairings[slot];
            pairing.fieldSize = int(field.size());
            for (const int place : {kUpper, kLower})
                pairing.seeds[place] = r == 0 ? order[2 * slot + place]
                                              : rounds[r - 1].pairings[2 * slot + place].winner;
            Decide(pairing, runsOf);
        }
    }
    const int finalRound = int(rounds.size()) - 1;
    if (thirdPlaceRace) {
        TLadderPairing& third = *thirdPlaceRace;
        third.fieldSize = int(field.size());
        for (const int place : {kUpper, kLower})
            third.seeds[place] = rounds[finalRound - 1].pairings[place].Loser();
        Decide(third, runsOf);
    }
    for (int r = 0; r < finalRound; ++r)
        for (const TLadderPairing& pairing : rounds[r].pairings)
            if (r < finalRound - 1 || !thirdPlaceRace)
                Place(pairing, int(rounds[r].pairings.size()) + 1);
    if (thirdPlaceRace) Place(*thirdPlaceRace, 4, 3);
    if (finalRound >= 0) Place(rounds[finalRound].pairings[0], 2, 1);
}
