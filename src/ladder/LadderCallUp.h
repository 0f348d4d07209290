#pragma once

#include "LadderRunner.h"
#include "results/CallUp.h"
#include "results/Run.h"

#include <optional>

// What the call-up and the racers' pages take from the ladders.

// The pairings to come, as the call-up names them; count of them at most.
QList<TPairingRef> LadderNext(const TLadderRunner& ladders, int count);

// The pairings to come while a ladder has any: the one in the lanes while its heat is not yet
// started, then "Bereit", then the others in the order they are run. Empty without one.
QList<TCallUpPairing> LadderCallUp(const TLadderRunner& ladders, int count);
// The round of the pairing that ran the run's heat ("Halbfinale"); empty for a heat of no
// pairing.
QString RoundOfHeat(const TLadderRunner& ladders, const TRun& run);
// The racer's round and next opponent in the race day's ladders; once out, the final place.
std::optional<TRacerLadder> RacerInLadder(const TLadderRunner& ladders, const QString& startNumber);
