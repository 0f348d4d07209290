#pragma once

#include "Ladder.h"

#include <QString>

// A ladder as an .xlsx workbook: "Paarungen" with a row per place of every pairing, round by
// round (the round, the pairing's number, the racer, RZ, ZZ, Km/h and Zeit of its latest heat,
// and who advanced), "Platzierung" with the final places known so far, and the field by seed on
// a sheet named after where it came from. Written through the safe writer: a file that was
// there stays as it was when anything fails. Returns why it failed, in German; empty when the
// file was written.
QString SaveLadderWorkbook(const TLadder& ladder, const QString& title, const QString& path);
