#pragma once

#include <QString>
#include <QStringView>

// What a cell's number format makes of its number: dates and times are stored as day
// counts, and only the format tells them from plain numbers.
enum class NumberKind { Number, Date, Time, DateTime, Duration };

// Excel's built-in format ids, which files use without writing the format code out.
NumberKind BuiltInNumberFormatKind(int id);

// A format code such as "dd.mm.yyyy", "[h]:mm:ss" or "#,##0.00 \"km\"".
NumberKind NumberFormatKind(QStringView code);

// A sheet number as text: decimal comma, up to 15 significant digits, no group separators,
// whole numbers without decimals (7 -> "7", 12.345 -> "12,345").
QString ExcelNumberText(double value);

// The cell text for a number shown with a format of that kind: dates "dd.MM.yyyy", times
// "hh:mm:ss", both joined by a space, durations in total hours ("254:24:00"). Numbers that
// are no valid date stay numbers.
QString FormattedNumberText(double value, NumberKind kind, bool date1904);
