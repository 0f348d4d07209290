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

// The program title made acceptable as a worksheet name: at most 31 characters, none of
// []:*?/\ and no apostrophe at either end.
QString ExcelSheetName(const QString& programTitle);

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
