#pragma once

#include <QString>
#include <QtGlobal>

struct Race;
struct TRaceSettings;

// A lane's texts for its protocol row, computed when the lane stops.
struct LaneResult {
    QString reaction;     // "RZ": empty when the first barrier event never came
    QString intermediate; // "ZZ": empty when the second barrier event never came
    QString speed;        // "Km/h": empty after a false start or when no speed can be formed
    QString finalTime;    // "Zeit"
    bool marked = false;  // the lane had the false start of this heat
    bool first = false;   // the lane is the heat's winner (FirstLane)

    // What the displays call the winner: first, and without a false start.
    bool Won() const { return first && !marked; }
};

// The results under a stopped lane's clock, on the TV and the results page: those whose
// barrier is wired and that exist.
QString ResultLineText(const LaneResult& result, const TRaceSettings& settings);

// Texts of lane 1 or 2 stopped at stopTicks, from the race records.
LaneResult ComputeLaneResult(const Race& race, int lane, qint64 stopTicks);

// One decimal with the locale's decimal separator and no group separator ("1234,5").
QString FormatSpeed(double kmh);

// What a lane clock shows: six digits (hundreds of seconds … thousandths) and whether the
// two leading digits are lit (bright) or dark leading zeros.
struct ClockFace {
    int digits[6] = {};
    bool bright4 = false;
    bool bright5 = false;

    static ClockFace FromTime(int seconds, int milliseconds);
    // The six-digit clock saturates: below zero shows 000,000, 1000 s or more 999,999.
    static ClockFace FromTicks(qint64 ticks);

    bool operator==(const ClockFace&) const = default;
};
