#pragma once

#include <QByteArrayView>
#include <QStringList>

#include <map>

enum class BiffStatus { Ok, Damaged, Encrypted, OldVersion, NoSheet };

struct BiffSheet {
    BiffStatus status = BiffStatus::Damaged;
    // Sheet row (from 0) -> the texts of its first columns; rows without cells are missing.
    std::map<quint32, QStringList> rows;
};

// Reads the cell texts of the first worksheet of a workbook stream (the "Workbook" or "Book"
// stream of an .xls file), columns 0 to columns - 1 only. The version in the first BOF record
// decides how the records read: Excel 97 to 2003 (BIFF8) or Excel 5.0 and 95 (BIFF5, whose texts
// are 8-bit in the workbook's code page); a BOF naming neither is read as BIFF5 only when the
// stream is the old "Book". Formula cells give their cached results; numbers become texts by
// their cell's number format, booleans "WAHR" and "FALSCH", errors their Excel names. Nothing is
// sized by what the file claims (its used range, its string count): only the records that are
// really there are stored.
BiffSheet ReadBiffWorksheet(QByteArrayView workbook, int columns, bool bookStream = false);
