#pragma once

#include "Ladder.h"

#include <QList>
#include <QString>

// What the ladder's views show in words, the same on the phone, the printed page and in the
// workbook.

// "Klasse 50"; empty without classes.
QString LadderClassTitle(const TLadder& ladder);
// "Ausscheidung Klasse 50"; without classes "Ausscheidung".
QString LadderTitle(const TLadder& ladder);
// "Wertung", "Protokoll" or "Auslosung Nr. 4711".
QString LadderSourceText(const TLadder& ladder);
// "Huber Max": the name first, as the protocol has it.
QString LadderRacerName(const TLadderEntrant& racer);

// The rounds as they are shown, one after another: the first round … the final, then the race
// for third place when the ladder runs one.
QList<TLadderRound> LadderRoundsShown(const TLadder& ladder);
// The racers with a final place, best first; racers sharing a place by seed.
QList<TLadderEntrant> LadderPlaces(const TLadder& ladder);

// One place of a pairing as it is shown.
struct TLadderPlaceView {
    const TLadderEntrant* racer = nullptr; // none for a bye or a place still waiting
    bool bye = false;
    bool waiting = false; // for the winner of an earlier pairing
    bool winner = false;
    bool noShow = false;
    // Of the latest heat; the time is why the run does not count when it does not.
    QString reaction;
    QString intermediate;
    QString speed;
    QString time;
    // "Sieger", "Freilos", "nicht angetreten", "offen" or empty.
    QString result;
};

TLadderPlaceView LadderPlaceView(const TLadder& ladder, const TLadderPairing& pairing, int place);

// A place as a table row: Setzplatz, St.Nr., Name, Vorname, RZ, ZZ, Km/h, Zeit, Ergebnis.
QStringList LadderPlaceHeader();
QStringList LadderPlaceCells(const TLadderPlaceView& view);
