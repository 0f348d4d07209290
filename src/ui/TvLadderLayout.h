#pragma once

#include "ladder/Ladder.h"

#include <QLine>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// The ladder on the spectators' screen as arithmetic: which pairings stand where and how large
// the type is. The page only draws what this says.
//
// Up to 16 places the whole ladder stands on the screen, the rounds as columns, each pairing
// level with the two it is won from and joined to them by lines. A larger field would need type
// too small to read across the track: then the round of the next pairing is shown, its pairings
// in as many columns as give the largest type, and the round after it beside it while the type
// stays large. The byes of a first round are left out there; their racers stand in the next.
// The race for third place counts as a round between the semi-finals and the final.

struct TBracketBox {
    int round = 0; // one past the final: the race for third place
    int slot = 0;
    QRect rect; // the upper place in its upper half, the lower place in its lower half
};

struct TBracketCaption {
    QString text;
    QRect rect;
};

struct TBracketLayout {
    bool whole = false; // the whole ladder, else a round or two
    int fontPixels = 0;
    QRect title;
    QList<TBracketCaption> captions; // the rounds' names above their columns
    QList<TBracketBox> boxes;
    QList<QLine> joins; // from two pairings to the one their winners meet in
    QList<int> rounds;  // those shown, left to right
};

// What a place of a pairing shows.
struct TBracketPlace {
    enum State { Waiting, Bye, Open, Won, Lost };
    State state = Waiting;
    QString number;
    QString name;
    QString firstName;
};

namespace TvBracket {
// The largest ladder shown whole.
constexpr int kWholePlaces = 16;
// The type never gets smaller than this share of the screen's height.
constexpr int kMinFontShare = 32;
} // namespace TvBracket

// The round the round view shows: the marked pairing's, else the first round with a pairing still
// to be decided, else the final. The race for third place is one past the final, as a pairing's.
int CurrentRound(const TLadder& ladder, int markedRound = -1);
TBracketLayout LayoutBracket(const TLadder& ladder, int currentRound, const QSize& area);
TBracketPlace BracketPlace(const TLadder& ladder, const TLadderPairing& pairing, int place);
