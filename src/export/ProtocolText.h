#pragma once

#include "SaveBytes.h"
#include "protocol/ProtocolColumns.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The protocol as plain data: row 0 holds the column titles, every row has 11 cells.
using ProtocolRows = QList<QStringList>;

// Reading refuses anything larger: a protocol of a few thousand rows is well below a megabyte,
// and a wrongly picked large file must not freeze the program.
inline constexpr qsizetype kMaxProtocolFileBytes = 16 * 1024 * 1024;
inline constexpr qsizetype kMaxProtocolRows = 100000;
// What a cell may hold, as in a workbook; a longer one is no protocol the window could show.
inline constexpr qsizetype kMaxCellChars = 32767;

struct ProtocolReadResult {
    bool ok = false;
    // On success the complete new protocol: the header row and at least one data row.
    ProtocolRows rows;
    // Why the file was not read, for the operator; empty on success.
    QString message;
};

// The file the operator gets offered by the save dialog: yyyy-MM-dd-hh-mm, no extension.
QString DefaultProtocolFileName(const QDateTime& now);

// The bytes of the tab-separated protocol file. Windows-1252 when every cell fits, otherwise
// UTF-8 with a byte-order mark so that no name is lost. A cell is cut to kMaxCellChars, so that
// the file always reads back.
QByteArray EncodeProtocolText(const ProtocolRows& rows);

// Replaces the file as a whole: a failed write leaves the previous file untouched.
FileWriteResult WriteProtocolText(const QString& fileName, const ProtocolRows& rows);

// headerTexts fill the header cells that the file leaves blank. Fails (and returns no rows)
// only when the bytes cannot be decoded, hold too many rows or a cell longer than
// kMaxCellChars.
ProtocolReadResult ParseProtocolText(const QByteArray& bytes, const QStringList& headerTexts);

ProtocolReadResult ReadProtocolText(const QString& fileName, const QStringList& headerTexts);
