#include "HtmlProtocol.h"

#include "HtmlPage.h"
#include "SaveBytes.h"

#include <QFile>

namespace {

const char* const kHeaderWidths[6] = {"5%", "20%", "15%", "10%", "10%", "10%"};

} // namespace

QByteArray HtmlProtocolPage(const ProtocolRows& rows, const QList<bool>& visibleColumns,
                            const QString& programTitle) {
    const QStringList header = rows.value(0);
    auto visible = [&](int column) { return visibleColumns.value(column, true); };

    QByteArray out = HtmlPageHead("Zeitenprotokoll", programTitle);
    AppendHtmlLine(out, kHtmlTableTag);
    AppendHtmlLine(
        out, "<colgroup valign=top> <col align=right> <col align=left> <col align=left> <col "
             "align=left> <col align=left> <col align=left><col align=right> <col align=right> "
             "<col align=right> <col align=right> <col align=center> <col align=right> "
             "</colgroup>");
    AppendHtmlLine(out, kHtmlTableHeadTag);
    AppendHtmlLine(out, "<tr>");
    for (int column = 0; column < 6; ++column)
        if (visible(column))
            AppendHtmlLine(out, QByteArray("<th width=") + kHeaderWidths[column] + '>' +
                                    HtmlEscaped(header.value(column)));
    AppendHtmlLine(out, QByteArray());
    for (int column = 6; column < kProtocolColumns; ++column)
        if (visible(column))
            AppendHtmlLine(out, "<th width=5%>" + HtmlEscaped(header.value(column)));
    AppendHtmlLine(out, "</tr></thead>");
    for (qsizetype r = 1; r < rows.size(); ++r) {
        out += "<tr>";
        for (int column = 0; column < kProtocolColumns; ++column) {
            if (!visible(column)) continue;
            out += "<td>";
            AppendHtmlEscaped(out, rows[r].value(column));
        }
        AppendHtmlLine(out, "</tr>");
    }
    AppendHtmlLine(out, "</table>");
    out += "</table>" + HtmlPageFoot(programTitle);
    return out;
}

FileWriteResult WriteHtmlProtocol(const QString& fileName, const ProtocolRows& rows,
                                  const QList<bool>& visibleColumns, const QString& programTitle) {
    return SaveFileBytes(fileName, HtmlProtocolPage(rows, visibleColumns, programTitle));
}

QString HtmlViewFileName(const QString& programTitle) {
    return programTitle + QStringLiteral(".html");
}
