#include "TvLadderLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// In lines of text: between two pairings of a column, the title strip, the rounds' names, and
// the room left at the bottom edge.
constexpr double kGap = 0.3;
constexpr double kTitle = 1.2;
constexpr double kCaption = 1.0;
constexpr double kBottom = 0.2;
// The type's pixel size in a line's height.
constexpr double kFontShare = 0.75;
// A column in widths of the type's size: a number and a name, and the room for the joins; wider
// columns only leave the lines running into empty space.
constexpr double kColumnEms = 10.0;
constexpr double kMaxColumnEms = 16.0;
constexpr double kJoinEms = 1.5;
// Shares of the screen's height: the largest type, and the type the next round may shrink the
// current one to.
constexpr int kMaxFontShare = 13;
constexpr int kComfortShare = 24;

double Margin(const QSize& area) {
    return area.width() / 60.0;
}

double ColumnLines(int pairings) {
    return pairings * (2 + kGap) - kGap;
}

int FontFor(const QSize& area, double lines, int columns) {
    const double byHeight = kFontShare * area.height() / (kTitle + kCaption + lines + kBottom);
    const double byWidth = (area.width() - 2 * Margin(area)) / std::max(1, columns) / kColumnEms;
    return std::max(1, int(std::min({byHeight, byWidth, double(area.height()) / kMaxFontShare})));
}

// Where the columns stand once the type is known: the title strip at the top, the bracket with
// the rounds' names above it in the middle of the room below.
struct Frame {
    double line;
    double column;
    double left;
    double top; // of the bracket's first line
    int join;

    Frame(const QSize& area, int font, double lines, int columns)
        : line(font / kFontShare),
          column(std::min((area.width() - 2 * Margin(area)) / std::max(1, columns),
                          kMaxColumnEms * font)),
          join(int(std::lround(kJoinEms * font))) {
        // The last column's room for joins stays empty: the boxes are centred, not the columns.
        left = (area.width() - column * columns + join) / 2;
        const double room = area.height() - (kTitle + kBottom) * line;
        top =
            kTitle * line + std::max(0.0, (room - (kCaption + lines) * line) / 2) + kCaption * line;
    }
    // A pairing of the column with its middle that many lines below the bracket's top.
    QRect Box(int index, double middle) const {
        const int x = int(std::lround(left + index * column));
        const int y = int(std::lround(top + (middle - 1) * line));
        return QRect(x, y, int(std::lround(column)) - join, int(std::lround(2 * line)));
    }
    QRect Caption(int first, int columns) const {
        const int x = int(std::lround(left + first * column));
        return QRect(x, int(std::lround(top - kCaption * line)),
                     int(std::lround(columns * column)) - join, int(std::lround(kCaption * line)));
    }
};

QRect Title(const QSize& area, const Frame& frame) {
    const int margin = int(Margin(area));
    return QRect(margin, 0, area.width() - 2 * margin, int(std::lround(kTitle * frame.line)));
}

std::optional<TBracketLayout> Whole(const TLadder& ladder, const QSize& area) {
    const int rounds = int(ladder.rounds.size());
    if (!rounds || ladder.Size() > TvBracket::kWholePlaces) return std::nullopt;
    // The pairings' middles in lines: the first round's evenly, each later one level between the
    // two whose winners it takes.
    QList<QList<double>> middles(rounds);
    for (int slot = 0; slot < ladder.rounds[0].pairings.size(); ++slot)
        middles[0].append(slot * (2 + kGap) + 1);
    for (int round = 1; round < rounds; ++round)
        for (int slot = 0; slot < ladder.rounds[round].pairings.size(); ++slot)
            middles[round].append(
                (middles[round - 1][2 * slot] + middles[round - 1][2 * slot + 1]) / 2);
    double lines = ColumnLines(int(ladder.rounds[0].pairings.size()));
    // The race for third place below the final, under its own name.
    double third = 0;
    if (ladder.thirdPlaceRace) {
        third = std::max(lines - 1, middles.last()[0] + 2 + kGap + kCaption);
        lines = third + 1;
    }
    const int font = FontFor(area, lines, rounds);
    if (font * TvBracket::kMinFontShare < area.height()) return std::nullopt;

    const Frame frame(area, font, lines, rounds);
    TBracketLayout layout;
    layout.whole = true;
    layout.fontPixels = font;
    layout.title = Title(area, frame);
    QList<QList<QRect>> boxes(rounds);
    for (int round = 0; round < rounds; ++round) {
        layout.rounds.append(round);
        layout.captions.append({ladder.rounds[round].name, frame.Caption(round, 1)});
        for (int slot = 0; slot < middles[round].size(); ++slot) {
            boxes[round].append(frame.Box(round, middles[round][slot]));
            layout.boxes.append({round, slot, boxes[round].last()});
        }
        if (round == 0) continue;
        for (int slot = 0; slot < boxes[round].size(); ++slot) {
            const QRect upper = boxes[round - 1][2 * slot];
            const QRect lower = boxes[round - 1][2 * slot + 1];
            const QRect next = boxes[round][slot];
            const int x = upper.right() + 1;
            const int bend = x + frame.join / 2;
            const int top = upper.center().y();
            const int bottom = lower.center().y();
            layout.joins << QLine(x, top, bend, top) << QLine(x, bottom, bend, bottom)
                         << QLine(bend, top, bend, bottom)
                         << QLine(bend, next.center().y(), next.left() - 1, next.center().y());
        }
    }
    if (ladder.thirdPlaceRace) {
        layout.rounds.append(ladder.thirdPlaceRace->round);
        const QRect box = frame.Box(rounds - 1, third);
        layout.boxes.append({ladder.thirdPlaceRace->round, 0, box});
        QRect caption = frame.Caption(rounds - 1, 1);
        caption.moveBottom(box.top() - 1);
        layout.captions.append({kThirdPlaceRace, caption});
    }
    return layout;
}

// A column group of the round view: a round's pairings without byes.
struct Group {
    QString name;
    int round = 0;
    QList<const TLadderPairing*> pairings;
};

QList<Group> Groups(const TLadder& ladder) {
    QList<Group> groups;
    const int finalRound = int(ladder.rounds.size()) - 1;
    for (int round = 0; round <= finalRound; ++round) {
        if (round == finalRound && ladder.thirdPlaceRace)
            groups.append(
                {kThirdPlaceRace, ladder.thirdPlaceRace->round, {&*ladder.thirdPlaceRace}});
        Group& group = groups.emplace_back();
        group.name = ladder.rounds[round].name;
        group.round = round;
        for (const TLadderPairing& pairing : ladder.rounds[round].pairings)
            if (!pairing.HasBye()) group.pairings.append(&pairing);
    }
    return groups;
}

int Columns(const Group& group, int perColumn) {
    return std::max(1, int((group.pairings.size() + perColumn - 1) / perColumn));
}

TBracketLayout ByRounds(const TLadder& ladder, int currentRound, const QSize& area) {
    const QList<Group> groups = Groups(ladder);
    int current = 0;
    for (int i = 0; i < groups.size(); ++i)
        if (groups[i].round == currentRound) current = i;

    struct Choice {
        int font = 0;
        int perColumn = 1;
        int groups = 1;
    };
    // The pairings a column holds that give the largest type; of equals, the fewest columns.
    auto best = [&](int count) {
        Choice choice{0, 1, count};
        qsizetype most = 1;
        for (int i = current; i < current + count; ++i)
            most = std::max(most, groups[i].pairings.size());
        for (int perColumn = 1; perColumn <= most; ++perColumn) {
            int columns = 0;
            for (int i = current; i < current + count; ++i)
                columns += Columns(groups[i], perColumn);
            const int font = FontFor(area, ColumnLines(perColumn), columns);
            if (font >= choice.font) choice = {font, perColumn, count};
        }
        return choice;
    };
    Choice choice = best(1);
    if (current + 1 < groups.size()) {
        const Choice both = best(2);
        if (both.font >= std::min(choice.font, area.height() / kComfortShare)) choice = both;
    }

    int columns = 0;
    for (int i = current; i < current + choice.groups; ++i)
        columns += Columns(groups[i], choice.perColumn);
    const Frame frame(area, choice.font, ColumnLines(choice.perColumn), columns);
    TBracketLayout layout;
    layout.fontPixels = choice.font;
    layout.title = Title(area, frame);
    int column = 0;
    for (int i = current; i < current + choice.groups; ++i) {
        const Group& group = groups[i];
        layout.rounds.append(group.round);
        layout.captions.append(
            {group.name, frame.Caption(column, Columns(group, choice.perColumn))});
        for (int k = 0; k < group.pairings.size(); ++k) {
            const TLadderPairing& pairing = *group.pairings[k];
            const double middle = (k % choice.perColumn) * (2 + kGap) + 1;
            layout.boxes.append(
                {pairing.round, pairing.slot, frame.Box(column + k / choice.perColumn, middle)});
        }
        column += Columns(group, choice.perColumn);
    }
    return layout;
}

} // namespace

int CurrentRound(const TLadder& ladder, int markedRound) {
    if (markedRound >= 0) return markedRound;
    const int finalRound = int(ladder.rounds.size()) - 1;
    for (int round = 0; round < finalRound; ++round)
        for (const TLadderPairing& pairing : ladder.rounds[round].pairings)
            if (!pairing.Decided()) return round;
    // The race for third place is run before the final.
    if (ladder.thirdPlaceRace && !ladder.thirdPlaceRace->Decided())
        return ladder.thirdPlaceRace->round;
    return std::max(0, finalRound);
}

TBracketLayout LayoutBracket(const TLadder& ladder, int currentRound, const QSize& area) {
    if (ladder.rounds.isEmpty() || area.isEmpty()) return {};
    if (std::optional<TBracketLayout> whole = Whole(ladder, area)) return *whole;
    return ByRounds(ladder, currentRound, area);
}

TBracketPlace BracketPlace(const TLadder& ladder, const TLadderPairing& pairing, int place) {
    const int seed = pairing.seeds[place];
    if (!seed) return {};
    TBracketPlace shown;
    if (pairing.Bye(place)) {
        shown.state = TBracketPlace::Bye;
        shown.name = QStringLiteral("Freilos");
        return shown;
    }
    shown.state = TBracketPlace::Open;
    if (const TLadderEntrant* racer = ladder.Entrant(seed)) {
        shown.number = racer->startNumber;
        shown.name = racer->name.simplified();
        shown.firstName = racer->firstName.simplified();
    }
    if (pairing.Decided())
        shown.state = pairing.winner == seed ? TBracketPlace::Won : TBracketPlace::Lost;
    return shown;
}
