#pragma once

#include "Standings.h"
#include "export/SaveBytes.h"

#include <QByteArray>
#include <QString>

// The standings as a static web page in the protocol page's style, also the way they are
// printed: a heading and a table per class, a marked time on the mark colour with its warnings
// as the cell's title.
QByteArray StandingsPage(const TStandings& standings, const QString& programTitle);

FileWriteResult WriteStandingsPage(const QString& fileName, const TStandings& standings,
                                   const QString& programTitle);

// The page written for viewing and printing: a bare name, so it lands in the current folder
// beside the protocol's page.
QString StandingsViewFileName(const QString& programTitle);
