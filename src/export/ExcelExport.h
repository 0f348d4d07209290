#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The workbook's cell block: one row per protocol row (header first), as many cells as the
// protocol has columns, the visible columns packed from the left and the rest left empty.
QList<QStringList> ExcelCellBlock(const ProtocolRows& rows, const QList<bool>& visibleColumns);

// A text made acceptable as a worksheet name: at most 31 characters, none of []:*?/\ and no
// apostrophe at either end; fallback when nothing is left or the name is reserved.
QString ExcelSheetName(const QString& wanted,
                       const QString& fallback = QStringLiteral("Protokoll"));
// Names for the sheets of one workbook, each acceptable, no two alike regardless of case: a
// repeated name gets " (2)", " (3)" ..., cut shorter to make room.
QStringList ExcelSheetNames(const QStringList& wanted, const QString& fallback);

// One worksheet: row 0 is the header, bold with a medium border, the other rows get thin
// borders; the range is as wide as the widest row.
struct ExcelSheet {
    QString name; // acceptable and unique in its workbook
    QList<QStringList> rows;
    // Columns whose whole numbers are written as numbers, so that they sort; all else is text.
    QList<int> numberColumns;
    struct Note {
        int row;
        int column;
        QString text;
    };
    // Cells shown on the mark colour, with the text as their comment.
    QList<Note> notes;
};

// The .xlsx bytes of the sheets in order, with the workbook properties of the protocol's
// workbook; empty with *error set when the workbook could not be built.
std::optional<QByteArray> ExcelSheetsBytes(const QList<ExcelSheet>& sheets,
                                           const QString& eventTitle, const QString& programTitle,
                                           QString* error = nullptr);

struct ExcelWorkbookContent {
    ProtocolRows rows;
    // A missing entry counts as shown.
    QList<bool> visibleColumns;
    // The race title (eTitle) for the workbook's Title property.
    QString eventTitle;
    // Subject and sheet name.
    QString programTitle;
};

// The .xlsx bytes; empty with *error set when the workbook could not be built.
std::optional<QByteArray> ExcelWorkbookBytes(const ExcelWorkbookContent& content,
                                             QString* error = nullptr);

// The save dialog's Excel entry: the workbook under the chosen name.
FileWriteResult WriteExcelWorkbook(const QString& fileName, const ExcelWorkbookContent& content);

struct ExcelTempFileResult {
    bool ok = false;
    // The new file in the user's temporary folder, to be opened by the desktop.
    QString fileName;
    QString message;
};

// "Datei in MS Excel": a new workbook file in the temporary folder, nothing in the user's
// folders is touched.
ExcelTempFileResult WriteExcelWorkbookToTemp(const ExcelWorkbookContent& content);
