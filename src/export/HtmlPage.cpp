#include "HtmlPage.h"

namespace {

// Our own branding; the domain is a reserved example domain.
const QByteArray kMakerAddress = "https://www.tempiqo.example";
const QByteArray kMakerPage = "https://www.tempiqo.example/rennuhr/";
const QByteArray kMakerDescription = "Tempiqo Zeitmessung f\xFCr Rennsport und Slalom";
const QByteArray kWebDesigner = "Tempiqo Webdesign";
const QByteArray kMakerSlogan = "Zeitmessung mit System";

} // namespace

void AppendHtmlEscaped(QByteArray& out, QStringView text) {
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

QByteArray HtmlEscaped(QStringView text) {
    QByteArray out;
    AppendHtmlEscaped(out, text);
    return out;
}

void AppendHtmlLine(QByteArray& out, const QByteArray& text) {
    out += text;
    out += "\r\n";
}

QByteArray HtmlPageHead(const QByteArray& pageName, const QString& programTitle) {
    const QByteArray title = HtmlEscaped(programTitle);
    QByteArray out;
    AppendHtmlLine(out, "<HTML>");
    AppendHtmlLine(out, "<HEAD>");
    AppendHtmlLine(out, "<!--" + kMakerAddress + " software -->");
    AppendHtmlLine(out, "<TITLE>" + pageName + ' ' + title + "</TITLE>");
    AppendHtmlLine(out, "<META name=keywords content=\"slalom, " + pageName +
                            ", Tempiqo, stopuhr, " + title + "\">");
    AppendHtmlLine(out, "<META name=description content=\"" + kMakerDescription + "\">");
    AppendHtmlLine(out, "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">");
    AppendHtmlLine(out, "<META name=\"Webdesign\" content=\"" + kWebDesigner + "\">");
    AppendHtmlLine(out, "</HEAD>");
    AppendHtmlLine(out, "<STYLE type=text/css>");
    AppendHtmlLine(out, " body {font-family: Arial}");
    AppendHtmlLine(out, " pre  {padding-left: 36px}");
    AppendHtmlLine(out, "</STYLE>");
    AppendHtmlLine(out, "<BODY bgcolor=#FFFFFF text=#000000>");
    AppendHtmlLine(out,
                   "<DIV style=\"FILTER: Blur(direction=225, strength=6); WIDTH:100%\"><H2>&nbsp;" +
                       title + "</H2></div>");
    AppendHtmlLine(out, "<H4>" + pageName + "</H4>");
    return out;
}

QByteArray HtmlPageFoot(const QString& programTitle) {
    QByteArray out;
    AppendHtmlLine(out, "<P align=right><a href=\"" + kMakerPage + "\" title=\"" +
                            HtmlEscaped(programTitle) +
                            "\"><FONT color=#FF0000>Tem</FONT><FONT color=#009900>pi</FONT>"
                            "<FONT color=#999999>qo</FONT><FONT color=#666600>&nbsp; " +
                            kMakerSlogan + " </FONT>&gt;&gt;</A></P></body></html>");
    return out;
}
