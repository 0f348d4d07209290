#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Windows-1252, the single-byte code page of the program's text files.
// Empty when the text holds a character the code page does not have.
std::optional<QByteArray> ToWindows1252(const QString& text);
// Every byte decodes; the five unassigned bytes become U+0081, U+008D, U+008F, U+0090, U+009D.
QString FromWindows1252(const QByteArray& bytes);

bool IsValidUtf8(const QByteArray& bytes);

// 8-bit text in a code page given by its Windows number (1252, 1250, 437, 850, 10000 for Mac
// Roman, ...), as old workbooks name theirs. Unknown numbers read as Windows-1252; bytes the code
// page does not assign become U+FFFD.
QString FromCodePage(QByteArrayView bytes, int codePage);
