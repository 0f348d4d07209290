#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The protocol as a static web page, also the way it is printed. Columns whose entry in
// visibleColumns is false (hidden in the table) are left out; a missing entry counts as shown.
// Texts are escaped, and characters beyond ISO-8859-1 become numeric character references, so
// the page stays exact under its iso-8859-1 declaration.
QByteArray HtmlProtocolPage(const ProtocolRows& rows, const QList<bool>& visibleColumns,
                            const QString& programTitle);

FileWriteResult WriteHtmlProtocol(const QString& fileName, const ProtocolRows& rows,
                                  const QList<bool>& visibleColumns, const QString& programTitle);

// The page written for viewing and printing: a bare name, so it lands in the current folder.
QString HtmlViewFileName(const QString& programTitle);
