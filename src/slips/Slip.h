#pragma once

#include "results/Run.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What one time slip says, as texts: the racer's run of a heat, set against the opponent's run
// and the racer's best of the day.
struct TSlip {
    QString title; // the event's
    QDateTime startedAt;
    int heat = 0;
    QString round; // the heat's round in the ladder; empty when there is none
    int lane = 0;
    QString startNumber;
    QString name; // first name and name
    QString classInfo;
    QString reaction; // "RZ", "ZZ", "Km/h" and "Zeit" as the protocol showed them
    QString intermediate;
    QString speed;
    QString finalTime;
    QString outcome; // "Sieg", "Niederlage", "Fehlstart", "Gestürzt", "ungültig", "ohne Zeit"
    QString opponentNumber;
    QString opponentTime;
    QString difference; // "+0,123 s": how far ahead of the opponent; empty without both times
    QString bestRun;    // "12,345 s (Lauf 3)", or "–"
    QString address;    // the racer's page, for the QR code; empty: no code

    // The name of the print job, as the print queue lists it.
    QString JobTitle() const;
};

// The opponent's final time minus the own one, signed, in seconds: "+0,123 s", "-0,123 s",
// "0,000 s"; empty when either has no time.
QString TimeDifference(qint64 ownMs, qint64 opponentMs);
// The run of the other lane in the same heat, when there is one.
std::optional<TRun> OpponentRun(const TRuns& dayRuns, const TRun& run);
// The racer's best valid run of the day as "12,345 s (Lauf 3)"; "–" when there is none. Equal
// times: the earlier heat.
QString BestRunText(const TRuns& dayRuns, const QString& startNumber);
// "<page address>fahrer/<start number>"; empty when the page has no address a phone can reach
// (only this machine's own name), or the number has no page (the page serves 1 to 4 digits).
QString RacerAddress(const QString& pageAddress, const QString& startNumber);

// The slip of a run; dayRuns are the race day's runs, the run's opponent among them.
TSlip MakeSlip(const TRun& run, const TRuns& dayRuns, const QString& title, const QString& round,
               const QString& pageAddress);
