#include "HtmlProtocol.h"

#include "SaveBytes.h"

#include <QFile>

namespace {

// Our own branding; the domain is a reserved example domain.
const QByteArray kMakerAddress = "https://www.tempiqo.example";
const QByteArray kMakerPage = "https://www.tempiqo.example/rennuhr/";
const QByteArray kMakerDescription = "Tempiqo Zeitmessung f\xFCr Rennsport und Slalom";
const QByteArray kWebDesigner = "Tempiqo Webdesign";
const QByteArray kMakerSlogan = "Zeitmessung mit System";

const char* const kHeaderWidths[6] = {"5%", "20%", "15%", "10%", "10%", "10%"};

void AppendEscaped(QByteArray& out, QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(code))
            code = 0xFFFD;
        switch (code) {
        case u'&':
            out += "&amp;";
            break;
        case u'<':
            out += "&lt;";
            break;
        case u'>':
            out += "&gt;";
            break;
        case u'"':
            out += "&quot;";
            break;
        // A line break inside a cell would split the row's line.
        case u'\r':
        case u'\n':
            out += ' ';
            break;
        default:
            if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
                out += char(code);
            else
                out += "&#" + QByteArray::number(quint32(code)) + ';';
        }
    }
}

QByteArray Escaped(QStringView text) {
    QByteArray out;
    AppendEscaped(out, text);
    return out;
}

void Line(QByteArray& out, const QByteArray& text) {
    out += text;
    out += "\r\n";
}

} // namespace

QByteArray HtmlProtocolPage(const ProtocolRows& rows, const QList<bool>& visibleColumns,
                            const QString& programTitle) {
    const QByteArray title = Escaped(programTitle);
    const QStringList header = rows.value(0);
    auto visible = [&](int column) { return visibleColumns.value(column, true); };

    QByteArray out;
    Line(out, "<HTML>");
    Line(out, "<HEAD>");
    Line(out, "<!--" + kMakerAddress + " software -->");
    Line(out, "<TITLE>Zeitenprotokoll " + title + "</TITLE>");
    Line(out, "<META name=keywords content=\"slalom, Zeitenprotokoll, Tempiqo, stopuhr, " + title +
                  "\">");
    Line(out, "<META name=description content=\"" + kMakerDescription + "\">");
    Line(out, "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">");
    Line(out, "<META name=\"Webdesign\" content=\"" + kWebDesigner + "\">");
    Line(out, "</HEAD>");
    Line(out, "<STYLE type=text/css>");
    Line(out, " body {font-family: Arial}");
    Line(out, " pre  {padding-left: 36px}");
    Line(out, "</STYLE>");
    Line(out, "<BODY bgcolor=#FFFFFF text=#000000>");
    Line(out, "<DIV style=\"FILTER: Blur(direction=225, strength=6); WIDTH:100%\"><H2>&nbsp;" +
                  title + "</H2></div>");
    Line(out, "<H4>Zeitenprotokoll</H4>");
    Line(out, "<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF borderColor=#808080 "
              "border=1 cellpadding=4 width=100%>");
    Line(out, "<colgroup valign=top> <col align=right> <col align=left> <col align=left> <col "
              "align=left> <col align=left> <col align=left><col align=right> <col align=right> "
              "<col align=right> <col align=right> <col align=center> <col align=right> "
              "</colgroup>");
    Line(out, "<thead align=left bgcolor=#91B5FF>");
    Line(out, "<tr>");
    for (int column = 0; column < 6; ++column)
        if (visible(column))
            Line(out, QByteArray("<th width=") + kHeaderWidths[column] + '>' +
                          Escaped(header.value(column)));
    Line(out, QByteArray());
    for (int column = 6; column < kProtocolColumns; ++column)
        if (visible(column)) Line(out, "<th width=5%>" + Escaped(header.value(column)));
    Line(out, "</tr></thead>");
    for (qsizetype r = 1; r < rows.size(); ++r) {
        out += "<tr>";
        for (int column = 0; column < kProtocolColumns; ++column) {
            if (!visible(column)) continue;
            out += "<td>";
            AppendEscaped(out, rows[r].value(column));
        }
        Line(out, "</tr>");
    }
    Line(out, "</table>");
    Line(out, "</table><P align=right><a href=\"" + kMakerPage + "\" title=\"" + title +
                  "\"><FONT color=#FF0000>Tem</FONT><FONT color=#009900>pi</FONT>"
                  "<FONT color=#999999>qo</FONT><FONT color=#666600>&nbsp; " +
                  kMakerSlogan + " </FONT>&gt;&gt;</A></P></body></html>");
    return out;
}

FileWriteResult WriteHtmlProtocol(const QString& fileName, const ProtocolRows& rows,
                                  const QList<bool>& visibleColumns, const QString& programTitle) {
    return SaveFileBytes(fileName, HtmlProtocolPage(rows, visibleColumns, programTitle));
}

QString HtmlViewFileName(const QString& programTitle) {
    return programTitle + QStringLiteral(".html");
}
