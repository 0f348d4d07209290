#include "LadderText.h"

#include <algorithm>

QString LadderClassTitle(const TLadder& ladder) {
    const QString classInfo = ladder.classInfo.trimmed();
    if (classInfo.isEmpty()) return {};
    if (classInfo.startsWith(QStringLiteral("Klasse"), Qt::CaseInsensitive)) return classInfo;
    return QStringLiteral("Klasse ") + classInfo;
}

QString LadderTitle(const TLadder& ladder) {
    const QString classTitle = LadderClassTitle(ladder);
    return classTitle.isEmpty() ? QStringLiteral("Ausscheidung")
                                : QStringLiteral("Ausscheidung ") + classTitle;
}

QString LadderSourceText(const TLadder& ladder) {
    if (ladder.drawSeed >= 0)
        return QStringLiteral("%1 Nr. %2").arg(ladder.source).arg(ladder.drawSeed);
    return ladder.source;
}

QString LadderRacerName(const TLadderEntrant& racer) {
    return QStringList({racer.name, racer.firstName}).join(u' ').trimmed();
}

QList<TLadderRound> LadderRoundsShown(const TLadder& ladder) {
    QList<TLadderRound> rounds = ladder.rounds;
    if (ladder.thirdPlaceRace) rounds.append({kThirdPlaceRace, {*ladder.thirdPlaceRace}});
    return rounds;
}

QList<TLadderEntrant> LadderPlaces(const TLadder& ladder) {
    QList<TLadderEntrant> placed;
    for (const TLadderEntrant& racer : ladder.field)
        if (racer.place > 0) placed.append(racer);
    std::stable_sort(
        placed.begin(), placed.end(),
        [](const TLadderEntrant& a, const TLadderEntrant& b) { return a.place < b.place; });
    return placed;
}

TLadderPlaceView LadderPlaceView(const TLadder& ladder, const TLadderPairing& pairing, int place) {
    TLadderPlaceView view;
    const int seed = pairing.seeds[place];
    view.waiting = seed == 0;
    view.bye = !view.waiting && pairing.Bye(place);
    view.racer = view.waiting || view.bye ? nullptr : ladder.Entrant(seed);
    view.winner = view.racer && pairing.winner == seed;
    view.noShow = view.racer && pairing.noShow == seed;
    if (const std::optional<TRun>& run = pairing.runs[place]) {
        view.reaction = run->reaction;
        view.intermediate = run->intermediate;
        view.speed = run->speed;
        view.time =
            run->voided || run->falseStart || run->crashed ? run->InvalidReason() : run->finalTime;
    }
    if (view.waiting)
        view.result = QStringLiteral("offen");
    else if (view.bye)
        view.result = QStringLiteral("Freilos");
    else if (view.noShow)
        view.result = QStringLiteral("nicht angetreten");
    else if (view.winner)
        view.result = QStringLiteral("Sieger");
    return view;
}

QStringList LadderPlaceHeader() {
    return {QStringLiteral("Setzplatz"), QStringLiteral("St.Nr."), QStringLiteral("Name"),
            QStringLiteral("Vorname"),   QStringLiteral("RZ"),     QStringLiteral("ZZ"),
            QStringLiteral("Km/h"),      QStringLiteral("Zeit"),   QStringLiteral("Ergebnis")};
}

QStringList LadderPlaceCells(const TLadderPlaceView& view) {
    const TLadderEntrant* racer = view.racer;
    return {racer ? QString::number(racer->seed) : QString(),
            racer ? racer->startNumber : QString(),
            racer ? racer->name : QString(),
            racer ? racer->firstName : QString(),
            view.reaction,
            view.intermediate,
            view.speed,
            view.time,
            view.result};
}
