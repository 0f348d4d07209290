#include "LadderPage.h"

#include "LadderText.h"
#include "export/HtmlPage.h"

#include <algorithm>

namespace {

// A winner's row, as the page's green for "Sieg".
const QByteArray kWinnerColor = "#C8F0C8";

void AppendHeaderRow(QByteArray& out, const QStringList& titles) {
    AppendHtmlLine(out, kHtmlTableTag);
    AppendHtmlLine(out, kHtmlTableHeadTag);
    out += "<tr>";
    for (const QString& title : titles)
        out += "<th>" + HtmlEscaped(title);
    AppendHtmlLine(out, "</tr></thead>");
}

// Numbers and times to the right, as on the protocol's page; on the cell itself, as the
// printout ignores the columns' and the rows'. A winner's row is green and bold.
void AppendRow(QByteArray& out, const QStringList& cells, const QList<int>& right,
               bool winner = false) {
    out += "<tr>";
    for (qsizetype column = 0; column < cells.size(); ++column) {
        out += "<td";
        if (right.contains(int(column))) out += " align=right";
        if (winner) out += " bgcolor=" + kWinnerColor;
        out += '>';
        if (winner) out += "<b>";
        AppendHtmlEscaped(out, cells[column]);
        if (winner) out += "</b>";
    }
    AppendHtmlLine(out, "</tr>");
}

void AppendField(QByteArray& out, const TLadder& ladder) {
    const bool fromStandings =
        std::any_of(ladder.field.begin(), ladder.field.end(),
                    [](const TLadderEntrant& r) { return r.standingsPlace; });
    AppendHtmlLine(out, "<H3>Feld</H3>");
    QStringList header{"Setzplatz", "St.Nr.", "Name", "Vorname", "Roller", "Motor"};
    if (fromStandings)
        header << "Wertung"
               << "Zeit";
    AppendHeaderRow(out, header);
    for (const TLadderEntrant& racer : ladder.field) {
        QStringList cells{QString::number(racer.seed),
                          racer.startNumber,
                          racer.name,
                          racer.firstName,
                          racer.vehicle,
                          racer.engine};
        if (fromStandings)
            cells << (racer.standingsPlace ? QStringLiteral("%1.").arg(racer.standingsPlace)
                                           : QString())
                  << racer.time;
        AppendRow(out, cells, {0, 1, 6, 7});
    }
    AppendHtmlLine(out, "</table>");
}

void AppendRound(QByteArray& out, const TLadder& ladder, const TLadderRound& round) {
    AppendHtmlLine(out, "<H3>" + HtmlEscaped(round.name) + "</H3>");
    AppendHeaderRow(out, QStringList{QStringLiteral("Paarung")} + LadderPlaceHeader());
    for (const TLadderPairing& pairing : round.pairings)
        for (const int place : {kUpper, kLower}) {
            const TLadderPlaceView view = LadderPlaceView(ladder, pairing, place);
            // The pairing's number on its upper row.
            const QString number = place == kUpper ? QString::number(pairing.slot + 1) : QString();
            AppendRow(out, QStringList{number} + LadderPlaceCells(view), {0, 1, 2, 5, 6, 7, 8},
                      view.winner);
        }
    AppendHtmlLine(out, "</table>");
}

void AppendPlaces(QByteArray& out, const TLadder& ladder) {
    AppendHtmlLine(out, "<H3>Platzierung</H3>");
    const QList<TLadderEntrant> placed = LadderPlaces(ladder);
    if (placed.isEmpty()) {
        AppendHtmlLine(out, "<P>Noch keine Platzierung.</P>");
        return;
    }
    AppendHeaderRow(out, {"Platz", "St.Nr.", "Name", "Vorname", "Setzplatz"});
    for (const TLadderEntrant& racer : placed)
        AppendRow(out,
                  {QStringLiteral("%1.").arg(racer.place), racer.startNumber, racer.name,
                   racer.firstName, QString::number(racer.seed)},
                  {0, 1, 4});
    AppendHtmlLine(out, "</table>");
}

// Bytes beyond ASCII (the head's own "für", the Latin-1 letters of the names) as references.
QString Ascii(const QByteArray& latin1) {
    QString out;
    out.reserve(latin1.size());
    for (const char byte : latin1) {
        const uchar code = uchar(byte);
        if (code < 0x80)
            out += QChar(code);
        else
            out += QStringLiteral("&#%1;").arg(code);
    }
    return out;
}

} // namespace

QString LadderPageHtml(const TLadder& ladder, const QString& title) {
    QByteArray out = HtmlPageHead(HtmlEscaped(LadderTitle(ladder)), title);
    QStringList facts;
    if (ladder.day.isValid())
        facts << QStringLiteral("Datum: ") + ladder.day.toString(QStringLiteral("dd.MM.yyyy"));
    facts << QStringLiteral("Feld aus: ") + LadderSourceText(ladder);
    facts << QStringLiteral("%1 Fahrer, %2 Plätze").arg(ladder.field.size()).arg(ladder.Size());
    if (ladder.ThirdPlace()) facts << kThirdPlaceRace;
    if (ladder.Finished()) facts << QStringLiteral("beendet");
    out += "<P>";
    for (qsizetype i = 0; i < facts.size(); ++i) {
        if (i) out += "<BR>";
        AppendHtmlEscaped(out, facts[i]);
    }
    AppendHtmlLine(out, "</P>");
    AppendField(out, ladder);
    for (const TLadderRound& round : LadderRoundsShown(ladder))
        AppendRound(out, ladder, round);
    AppendPlaces(out, ladder);
    out += HtmlPageFoot(title);
    return Ascii(out);
}
