#pragma once

#include "results/Standings.h"

#include <QByteArray>

// The standings as the page's "Wertung" tab shows them, each text escaped as all of the
// page's JSON is.
QByteArray LiveStandingsJson(const TStandings& standings, int version);
