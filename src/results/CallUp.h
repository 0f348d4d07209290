#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class THeatModel;
class TProtocolModel;

// A pairing still to run: its two start numbers (lane 1's first), the racers' names, and the
// round when it belongs to an elimination ladder.
struct TCallUpPairing {
    QString number[2];
    QString name[2];
    QString round;
    bool operator==(const TCallUpPairing&) const = default;
};

// The pairings that come next, in the order they run; count of them at most.
using PairingSource = std::function<QList<TCallUpPairing>(int count)>;

// Without a ladder the lanes' numbers move on by 2: the pairing in the lanes while no heat runs,
// the ready numbers, then on by 2, up to the highest start number in the protocol.
QList<TCallUpPairing> LaneOrder(const THeatModel& heat, const TProtocolModel& protocol, int count);

// A racer's place in an elimination ladder: the round they are in, and whom they meet next.
struct TRacerLadder {
    QString round;
    QString opponent; // start number; empty while not yet known
    QString opponentName;
    bool operator==(const TRacerLadder&) const = default;
};

using RacerLadderSource = std::function<std::optional<TRacerLadder>(const QString& startNumber)>;
