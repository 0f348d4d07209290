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

// A heat as the journal tells it: from its START to the next one.
struct TJournalHeat {
    int number = 0; // 1, 2, … in the day's order
    QStringList start;
    qint64 startTicks = 0;
    QString startNumbers[3]; // by lane; [0] unused
    // The line events, commands, results and warnings, in the order they came. The line
    // event that started the heat comes first.
    QList<QStringList> events;
    // Commands given later that changed the heat's rows by hand (crash, joker).
    QList<QStringList> edits;
};

// The day in order: heats, and the lines that stand on their own (the port, commands on the
// whole protocol such as loading or clearing it).
struct TJournalItem {
    bool isHeat = false;
    TJournalHeat heat;
    QStringList line;
};
QList<TJournalItem> JournalItems(const QList<QStringList>& lines);

// Journal files of a program in a folder, newest day first.
QStringList JournalFiles(const QString& folder, const QString& programTitle);
