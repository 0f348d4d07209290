#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a journal file holds, line by line, each with kJournalFields fields. A line that is not
// whole (the last one of a program that was killed while writing it) is left out.
struct TJournalRead {
    bool ok = false;
    QList<QStringList> lines;
    QString message; // why the file could not be read, for the operator
};
TJournalRead ReadJournal(const QString& fileName);
