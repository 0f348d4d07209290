#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One lane's result of one heat, as the results database keeps it: the heat, the racer's
// protocol cells as they stood then, the texts the protocol shows, and the marks.
struct TRun {
    qint64 id = 0;         // the database's row id; 0 before the run is stored
    QDate day;             // the race day the heat started on
    int heat = 0;          // the heat's number within its day, from 1
    QDateTime startedAt;   // START, local wall clock to the millisecond
    qint64 startTicks = 0; // START on the time base
    int lane = 0;          // 1 or 2
    QString startNumber;
    QString name;
    QString firstName;
    QString vehicle;        // "Roller"
    QString engine;         // "Motor"
    QString classInfo;      // "Klasse" or "Info", as the column was used
    QString reaction;       // "RZ", as the protocol shows it
    QString intermediate;   // "ZZ"
    QString speed;          // "Km/h"
    QString finalTime;      // "Zeit"
    qint64 finalMs = -1;    // the final time in whole ms; -1 when there is none
    double speedKmh = -1.0; // the speed as a number; -1 when there is none
    bool winner = false;    // "+" in "Win" (the heat's winner or a joker)
    bool falseStart = false;
    bool crashed = false;
    bool voided = false;
    QString voidReason;
    QStringList warnings;   // the plausibility warnings of the lane
    QString opponentNumber; // the other lane's start number in the heat

    bool operator==(const TRun&) const = default;

    // A run that can count: it has a time and is neither a false start, crashed nor void.
    bool Valid() const { return finalMs >= 0 && !falseStart && !crashed && !voided; }
    // Why a run does not count, as the standings say it; empty for a valid run.
    QString InvalidReason() const {
        if (voided) return QStringLiteral("ungültig");
        if (falseStart) return QStringLiteral("Fehlstart");
        if (crashed) return QStringLiteral("Gestürzt");
        if (finalMs < 0) return QStringLiteral("ohne Zeit");
        return {};
    }
    // The run's result in a word, as the racer reads it.
    QString Outcome() const {
        if (!Valid()) return InvalidReason();
        return winner ? QStringLiteral("Sieg") : QStringLiteral("Niederlage");
    }
};

using TRuns = QList<TRun>;
