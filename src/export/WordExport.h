#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// "Dienstag, 8. Dezember 2026": the German long date of the document's date line.
QString GermanLongDate(const QDate& date);

// "Protokollvorlage.docx", a read-only file of the program.
QString WordTemplateName();

struct WordDocumentContent {
    ProtocolRows rows;
    // A missing entry counts as shown.
    QList<bool> visibleColumns;
    QString eventTitle;
    QDate date;
    // Used when the file exists; otherwise a plain document is written.
    QString templatePath;
};

// The .docx bytes: the title line, "Datum: " and the date, an empty line, then the protocol as
// a table with one row per protocol row and one column per visible column. Empty with *error
// set when the template cannot be used or the document cannot be built.
std::optional<QByteArray> WordDocumentBytes(const WordDocumentContent& content,
                                            QString* error = nullptr);

FileWriteResult WriteWordDocument(const QString& fileName, const WordDocumentContent& content);
