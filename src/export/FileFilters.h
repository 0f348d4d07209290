#pragma once

#include <QList>
#include <QString>
#include <QStringList>

enum class ProtocolFileKind { Text, Excel, Word, Html };

// The descriptions of the file types as the desktop names them.
struct FileTypeNames {
    QString text;
    QString excel;
    QString word;
    QString html;
    // OpenDocument spreadsheets, which LibreOffice saves; only ever opened.
    QString openDocument;
};

// From the MIME database, each falling back to its German default when the type is unknown.
FileTypeNames SystemFileTypeNames();

struct FileFilterEntry {
    ProtocolFileKind kind;
    // A QFileDialog name filter, e.g. "Textdatei (*.txt)".
    QString filter;
    // The extension a name typed without one is given, e.g. "txt".
    QString suffix;
};

// Text, then Excel (when offered), Word and web page: the writer follows the kind of the
// entry picked, not its position.
QList<FileFilterEntry> SaveDialogFilters(const FileTypeNames& names, bool withExcel = true);
// Text, then Excel (when offered; .xlsx and the older .xls), then OpenDocument spreadsheets, which
// the workbook import reads as well (kind Excel).
QList<FileFilterEntry> OpenDialogFilters(const FileTypeNames& names, bool withExcel = true);

QStringList NameFilters(const QList<FileFilterEntry>& entries);
