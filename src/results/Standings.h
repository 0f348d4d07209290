#pragma once

#include "Run.h"

#include <QList>
#include <QString>
#include <QStringList>

// The standings ("Wertung") of a race day, built from its runs.
//
// A racer is a start number, compared as text exactly as the protocol does ("01" is not "1").
// Void runs are left out as if they had not taken place; only a racer whose runs are all void
// is listed, without a place, as "ungültig".
// - ManyStart off: the racer's latest run counts (the highest heat, then the higher lane), valid
//   or not; an invalid one lists the racer without a place, with its reason.
// - ManyStart on: the racer's best valid run counts; without one the racer is listed without a
//   place, with the reason of the latest run.
// Order: final time, then the higher speed (a run without a speed loses to one with); equal in
// both, racers share the place and the next place is skipped (1, 2, 2, 4). Racers without a
// place follow, by start number.

// One racer's line.
struct TStandingsEntry {
    int place = 0; // from 1; 0 = no place
    QString startNumber;
    // The racer's cells, from the counted run (without a place: from the latest run).
    QString name;
    QString firstName;
    QString vehicle;
    QString engine;
    QString classInfo;
    // The counted run's texts as the protocol shows them; empty without a place.
    QString time;
    QString speed;
    QString reaction;
    int runs = 0; // the racer's runs of the day that are not void
    // The counted run's heat and id; without a place those of the run the reason comes from.
    int heat = 0;
    qint64 runId = 0;
    QStringList warnings; // the counted run's plausibility warnings
    QString reason; // why there is no place: "Fehlstart", "Gestürzt", "ungültig", "ohne Zeit"

    bool Placed() const { return place > 0; }
    bool Marked() const { return !warnings.isEmpty(); }
};

// One list: the racers of a class, or all of them.
struct TStandingsGroup {
    QString classInfo; // the class cell the group stands for; empty for no class or one list
    // "Klasse " and the class (unless it begins so), "ohne Klasse"; empty without classes
    QString title;
    QList<TStandingsEntry> entries;
};

struct TStandings {
    bool Klass = false;     // one list per class, and the column "Klasse" instead of "Info"
    bool ManyStart = false; // the best run counts, not the latest
    // With Klass off always one group; with Klass on one per class that has racers, in the
    // order of the class list, then other classes as they first raced, then racers without class.
    QList<TStandingsGroup> groups;
};

// The runs are one day's; their order does not matter. classList is the operator's class list
// in its own order.
TStandings BuildStandings(const TRuns& runs, bool Klass, bool ManyStart,
                          const QStringList& classList);

// The columns of the standings as lists and files show them: "Platz", "St.Nr.", "Name",
// "Vorname", "Roller", "Motor", "Klasse" or "Info", "Zeit", "Km/h", "RZ", "Starts", "Lauf".
enum StandingsColumn {
    StColPlace,
    StColStartNr,
    StColName,
    StColFirstName,
    StColVehicle,
    StColEngine,
    StColClass,
    StColTime,
    StColSpeed,
    StColReaction,
    StColRuns,
    StColHeat,
};
constexpr int kStandingsColumns = 12;

QStringList StandingsHeader(bool Klass);
// The entry's cells: without a place the reason stands in "Zeit"; a marked time is followed by
// kWarningMark.
QStringList StandingsCells(const TStandingsEntry& entry);
inline const QString kWarningMark = QStringLiteral(" !");
// Said under a list that has marked times.
inline const QString kWarningLegend =
    QStringLiteral("! Plausibilitätswarnung: die Zeit bitte prüfen");
