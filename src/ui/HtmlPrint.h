#pragma once

#include <QByteArray>
#include <QString>

class QPrinter;

// Prints a page file on the default printer without a dialog. False (and nothing printed)
// when there is no printer or the file cannot be read.
bool PrintHtmlFile(const QString& fileName);
// The same on a given printer, e.g. a PDF file.
bool PrintHtmlPage(const QByteArray& page, QPrinter& printer);
