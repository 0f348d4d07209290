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
