#include "StandingsPage.h"

#include "export/HtmlPage.h"
#include "protocol/ProtocolColumns.h"

namespace {

const char* const kHeaderWidths[kStandingsColumns] = {"5%",  "5%", "20%", "15%", "10%", "10%",
                                                      "10%", "5%", "5%",  "5%",  "5%",  "5%"};

bool RightAligned(int column) {
    return column <= StColStartNr || column >= StColTime;
}

void AppendTable(QByteArray& out, const TStandingsGroup& group, const QStringList& header) {
    if (!group.title.isEmpty()) AppendHtmlLine(out, "<H3>" + HtmlEscaped(group.title) + "</H3>");
    AppendHtmlLine(out, kHtmlTableTag);
    AppendHtmlLine(out, kHtmlTableHeadTag);
    AppendHtmlLine(out, "<tr>");
    for (int column = 0; column < kStandingsColumns; ++column)
        AppendHtmlLine(out, QByteArray("<th width=") + kHeaderWidths[column] + '>' +
                                HtmlEscaped(header[column]));
    AppendHtmlLine(out, "</tr></thead>");
    const QByteArray markColor =
        QByteArray::number(kMarkColor, 16).toUpper().rightJustified(6, '0');
    for (const TStandingsEntry& entry : group.entries) {
        const QStringList cells = StandingsCells(entry);
        out += "<tr>";
        for (int column = 0; column < kStandingsColumns; ++column) {
            out += "<td";
            // Alignment on the cell itself: the printout ignores the columns' alignment.
            if (RightAligned(column)) out += " align=right";
            if (column == StColTime && entry.Marked())
                out += " bgcolor=#" + markColor + " title=\"" +
                       HtmlEscaped(entry.warnings.join(QStringLiteral("; "))) + '"';
            out += '>';
            AppendHtmlEscaped(out, cells[column]);
        }
        AppendHtmlLine(out, "</tr>");
    }
    AppendHtmlLine(out, "</table>");
}

} // namespace

QByteArray StandingsPage(const TStandings& standings, const QString& programTitle) {
    QByteArray out = HtmlPageHead("Wertung", programTitle);
    AppendHtmlLine(out, "<P>" +
                            HtmlEscaped(standings.ManyStart
                                            ? QStringLiteral("Es zählt der beste gültige Lauf.")
                                            : QStringLiteral("Es zählt der letzte Lauf.")) +
                            "</P>");
    const QStringList header = StandingsHeader(standings.Klass);
    bool marked = false;
    for (const TStandingsGroup& group : standings.groups) {
        AppendTable(out, group, header);
        for (const TStandingsEntry& entry : group.entries)
            marked = marked || entry.Marked();
    }
    // No runs yet in any class: the columns alone.
    if (standings.groups.isEmpty()) AppendTable(out, TStandingsGroup(), header);
    if (marked) AppendHtmlLine(out, "<P>" + HtmlEscaped(kWarningLegend) + "</P>");
    out += HtmlPageFoot(programTitle);
    return out;
}

FileWriteResult WriteStandingsPage(const QString& fileName, const TStandings& standings,
                                   const QString& programTitle) {
    return SaveFileBytes(fileName, StandingsPage(standings, programTitle));
}

QString StandingsViewFileName(const QString& programTitle) {
    return programTitle + QStringLiteral("-Wertung.html");
}
