#pragma once

#include "Run.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// What the results database keeps of a ladder ("Ausscheidung"): the field as it was seeded, the
// operator's decisions on each pairing and the heats each pairing ran in. Who won a heat is the
// runs' to say; the seeds in each pairing, the winners and the final places are written beside
// them for those who read the file, and taken back only where they are settled.

// A racer of the field.
struct TLadderEntrant {
    int seed = 0; // 1 … field size
    QString startNumber;
    QString name;
    QString firstName;
    QString vehicle;
    QString engine;
    QString classInfo;
    int standingsPlace = 0; // the place in the standings it was seeded from; 0 for other fields
    QString time;           // the time of that place
    int place = 0;          // its final place in the ladder; 0 while it is still open

    bool operator==(const TLadderEntrant&) const = default;
};

// A heat a pairing ran in.
struct TLadderHeat {
    qint64 startTicks = 0; // its START on the time base, which its runs carry
    QDate day;             // invalid until a lane of the heat stopped
    int heat = 0;          // its number within that day; 0 until then

    bool operator==(const TLadderHeat&) const = default;
};

struct TLadderPairingRecord {
    int round = 0;     // 0 the first round, … the final; one past the final is the race for third
    int slot = 0;      // from the top
    QString name;      // its round's: "Viertelfinale", "Lauf um Platz 3", …
    int seeds[2] = {}; // the upper and the lower place; 0 while it waits for a winner
    bool swapped = false;     // the worse seed takes lane 1
    int noShow = 0;           // the seed that did not start ("nicht angetreten"); 0 none
    int winner = 0;           // the seed that advances; 0 while the pairing is open
    bool settled = false;     // a later heat of the ladder has started: the winner stays
    QList<TLadderHeat> heats; // oldest first; the latest decides

    bool operator==(const TLadderPairingRecord&) const = default;
};

struct TLadderRecord {
    qint64 id = 0;     // given by the results database; ladders are ordered by it
    QDate day;         // the race day it was made on
    QString classInfo; // the class; empty without classes
    QDateTime createdAt;
    QString source;              // "Wertung", "Protokoll" or "Auslosung"
    qint64 drawSeed = -1;        // the number the draw came from; -1 without a draw
    bool thirdPlace = false;     // a "Lauf um Platz 3" is run
    bool active = true;          // the reset loads its pairings
    bool finished = false;       // every place is decided
    QList<TLadderEntrant> field; // by seed
    QList<TLadderPairingRecord> pairings;
    TRuns runs; // as read from the file: the runs of its heats

    bool operator==(const TLadderRecord&) const = default;
};

using TLadderRecords = QList<TLadderRecord>;
