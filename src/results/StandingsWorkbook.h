#pragma once

#include "Standings.h"
#include "export/SaveBytes.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The standings as an .xlsx workbook: one sheet per class ("Wertung" without classes), the
// header bold, times as the protocol's texts, places and counts as numbers; a marked time on
// the mark colour with its warnings as the cell's comment. Properties as the protocol's
// workbook: the event title, the program title as subject.
std::optional<QByteArray> StandingsWorkbookBytes(const TStandings& standings,
                                                 const QString& eventTitle,
                                                 const QString& programTitle,
                                                 QString* error = nullptr);

FileWriteResult WriteStandingsWorkbook(const QString& fileName, const TStandings& standings,
                                       const QString& eventTitle, const QString& programTitle);
