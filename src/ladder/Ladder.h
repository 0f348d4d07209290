#pragma once

#include "results/LadderRecord.h"
#include "results/Run.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// A ladder ("Ausscheidung"): single elimination of one class, two racers a pairing.
//
// It has 2^k places, the smallest that holds the field, 2 to 64 racers. In the first round seed s
// meets seed 2^k + 1 − s, and the pairings stand in seeding order (for 8: 1–8, 4–5, 2–7, 3–6), so
// that seeds 1 and 2 can meet in the final only and seeds 1 to 4 from the semi-finals on. The
// places above the field are byes ("Freilos"), so the top seeds get them and advance without a
// heat. A field fills more than half of its places, so a bye always meets a racer: there are byes
// in the first round only. The winner of pairing j takes place j % 2 of pairing j / 2 in the next
// round: the upper pairing's winner the upper place.
//
// Who advances from a pairing, in this order: the winner kept when a later heat of the ladder
// started (settled); the opponent of a bye; the opponent of a racer who did not start; the place
// whose run in the pairing's latest heat has "+", when exactly one does and no run of that heat
// is void. Otherwise the pairing is open: both false starts, both crashed, or void. The joker or
// a re-run settles it.
//
// Final places: 1 and 2 from the final; 3 for both semi-final losers, or 3 and 4 from the race
// for third place when the ladder runs one; then the losers of a round of p pairings share place
// p + 1 (5 after the quarter-finals, 9 before them, …). A racer who did not start takes the place
// of the round he went out in.

constexpr int kMaxLadderField = 64;
constexpr int kUpper = 0;
constexpr int kLower = 1;

// The places of a ladder for a field of that many racers: 2^k; 0 outside 2 … 64.
int LadderSize(int field);
// A ladder's seeds in first-round order, top to bottom: pairing j holds entries 2j and 2j + 1.
QList<int> SeedingOrder(int size);
// A round by its pairings: "Finale", "Halbfinale", "Viertelfinale", "Achtelfinale", and before
// them "1. Runde", "2. Runde", … counted from the first round (round 0).
QString RoundName(int round, int pairings);
inline const QString kThirdPlaceRace = QStringLiteral("Lauf um Platz 3");

struct TLadderPairing : TLadderPairingRecord {
    int fieldSize = 0; // of its ladder: a seed above it is a bye
    // Each place's run in the latest heat, as the results database has it now.
    std::optional<TRun> runs[2];

    bool operator==(const TLadderPairing&) const = default;

    bool Bye(int place) const { return seeds[place] > fieldSize; }
    bool HasBye() const { return Bye(kUpper) || Bye(kLower); }
    // A place still waits for the winner of an earlier pairing.
    bool Waiting() const { return !seeds[kUpper] || !seeds[kLower]; }
    bool Decided() const { return winner != 0; }
    // Two racers who still have to race: what the lanes can be loaded with.
    bool Runnable() const { return !Waiting() && !HasBye() && !Decided(); }
    // 0 or 1 for a seed of the pairing, -1 for others.
    int PlaceOf(int seed) const;
    // The seed that went out, a bye's included; 0 while open.
    int Loser() const;
    // Lane 1 takes the better seed, unless the lanes are swapped.
    int LaneSeed(int lane) const;
};

struct TLadderRound {
    QString name;
    QList<TLadderPairing> pairings;

    bool operator==(const TLadderRound&) const = default;
};

// A ladder as data: what it was made of, the operator's decisions, and what follows from them
// and from the runs of its heats. The views draw it; the runner changes it.
class TLadder {
public:
    // The runs of a heat, as the results database has them.
    using HeatRuns = std::function<TRuns(const TLadderHeat&)>;

    TLadder() = default;
    // A new ladder from the field in seed order; seeds are given by position.
    explicit TLadder(QList<TLadderEntrant> field, bool thirdPlace = false);
    // A stored one: its field and decisions, and what follows from them.
    static TLadder FromRecord(const TLadderRecord& record, const HeatRuns& runsOf = {});
    TLadderRecord ToRecord() const;

    bool operator==(const TLadder&) const = default;

    qint64 id = 0;
    QDate day;
    QString classInfo;
    QDateTime createdAt;
    QString source; // "Wertung", "Protokoll", "Auslosung"
    qint64 drawSeed = -1;
    bool active = true;
    QList<TLadderEntrant> field; // by seed; each with its final place once known
    QList<TLadderRound> rounds;  // the first round … the final
    // The race for third place, with the round number one past the final.
    std::optional<TLadderPairing> thirdPlaceRace;

    int Size() const { return LadderSize(int(field.size())); }
    bool ThirdPlace() const { return thirdPlaceRace.has_value(); }
    // Adds or drops the race for third place; from 4 places on.
    void SetThirdPlace(bool on);
    const TLadderEntrant* Entrant(int seed) const;
    TLadderPairing* Pairing(int round, int slot);
    const TLadderPairing* Pairing(int round, int slot) const;
    // Every pairing: the rounds in order, then the race for third place.
    QList<const TLadderPairing*> Pairings() const;
    QList<TLadderPairing*> Pairings();
    // The final and, when there is one, the race for third place are decided.
    bool Finished() const;

    // Works out the seeds of every place, the winners, the runs and the final places anew from
    // the field, the operator's decisions and the heats' runs. Decisions that no longer apply (a
    // no-show of a racer an earlier joker took out of the pairing) are dropped.
    void Evaluate(const HeatRuns& runsOf = {});

private:
    void Decide(TLadderPairing& pairing, const HeatRuns& runsOf) const;
    void Place(const TLadderPairing& pairing, int loserPlace, int winnerPlace = 0);
};
