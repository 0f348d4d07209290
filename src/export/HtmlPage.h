#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// What the program's web pages share: the maker's head and foot, the table's look, and texts
// escaped so that the page stays exact under its iso-8859-1 declaration (characters beyond it
// become numeric character references).

void AppendHtmlEscaped(QByteArray& out, QStringView text);
QByteArray HtmlEscaped(QStringView text);
// The text and CR LF.
void AppendHtmlLine(QByteArray& out, const QByteArray& text);

// From <HTML> to the page's name as a heading; pageName also starts the window title.
QByteArray HtmlPageHead(const QByteArray& pageName, const QString& programTitle);
// The maker's link and the end of the page, one line.
QByteArray HtmlPageFoot(const QString& programTitle);

inline constexpr char kHtmlTableTag[] =
    "<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF borderColor=#808080 border=1 "
    "cellpadding=4 width=100%>";
inline constexpr char kHtmlTableHeadTag[] = "<thead align=left bgcolor=#91B5FF>";
