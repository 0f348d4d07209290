#pragma once

#include "results/LadderRecord.h"
#include "results/Standings.h"

#include <QList>
#include <QString>
#include <QStringList>

// Where a ladder's field comes from, and the field in seed order (the first is seed 1).

enum class TLadderSource { Standings, Protocol, Draw };

// "Wertung", "Protokoll", "Auslosung": shown, printed and stored.
QString LadderSourceName(TLadderSource source);

// The class's standings: the placed racers in place order (racers sharing a place in the
// standings' order), then those without a place, also in the standings' order. A racer without
// a valid run is not left out: he is in the class, and leaving him out would be unseen.
QList<TLadderEntrant> FieldFromStandings(const TStandings& standings, const QString& classInfo);
// The protocol's rows (header first) in their order: in class mode the rows of the class, else
// all. Blank start numbers are skipped, a start number that comes again is taken once.
QList<TLadderEntrant> FieldFromProtocol(const QList<QStringList>& rows, bool Klass,
                                        const QString& classInfo);
// The field in an order drawn from the number: a Fisher–Yates shuffle on std::mt19937 seeded with
// it, each index taken from the generator's 32-bit outputs by rejection, so the same number
// gives the same draw on any machine and library (std::shuffle's is the library's own).
QList<TLadderEntrant> DrawField(QList<TLadderEntrant> field, quint32 drawSeed);
// The classes a ladder can be made for: those of the protocol's rows (header first), which have
// racers, then the rest of the class list, each once.
QStringList LadderClasses(const QStringList& classList, const QList<QStringList>& rows);
// Why the field cannot race a ladder, in German; empty when it can.
QString FieldProblem(const QList<TLadderEntrant>& field);
