#pragma once

#include "ladder/LadderRunner.h"

#include <QByteArray>
#include <QList>

#include <optional>

// What the page's "Leiter" tab shows: the race day's ladders, the pairing whose heat is on
// the clocks and the pairings to come, the lanes' first.
struct LiveLadderBoard {
    QList<TLadder> ladders;
    std::optional<TPairingRef> running;
    QList<TPairingRef> next;

    bool operator==(const LiveLadderBoard&) const = default;
};

// How many pairings to come the tab names.
constexpr int kLiveLadderNext = 4;

LiveLadderBoard LadderBoard(const TLadderRunner& runner);

// The tab's document, every text escaped as all of the page's JSON is:
// {"version", "now": pairing or null, "next": [pairing …], "ladders": [ladder …]}. A pairing
// to come names its ladder ("ladder", "class"), "round", and "start" and "name" lane 1's
// first. A ladder has "id", "title", "class", "source", "day", "finished", "rounds" (each with
// "name" and "pairings", the race for third place last) and "places" known so far.
QByteArray LiveLaddersJson(const LiveLadderBoard& board, int version);
