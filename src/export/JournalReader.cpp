#include "JournalReader.h"

#include "Journal.h"

#include <QDir>
#include <QFile>

namespace {

// A full race day is a few megabytes; anything far larger is not a journal.
constexpr qint64 kMaxJournalBytes = 256LL * 1024 * 1024;

bool IsHeatCommand(const QString& name) {
    return name == QStringLiteral("START") || name == QStringLiteral("STOPP") ||
           name == QStringLiteral("FEHLSTART") || name == QStringLiteral("ZURÜCKSETZEN");
}

} // namespace

TJournalRead ReadJournal(const QString& fileName) {
    TJournalRead read;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        read.message = QStringLiteral("Das Rennjournal kann nicht gelesen werden: ") + fileName;
        return read;
    }
    if (file.size() > kMaxJournalBytes) {
        read.message = QStringLiteral("Die Datei ist zu groß für ein Rennjournal: ") + fileName;
        return read;
    }
    const QByteArray bytes = file.readAll();
    QList<QByteArray> lines = bytes.split('\n');
    // Everything up to the last line end is whole; what follows was being written.
    lines.removeLast();
    if (lines.isEmpty() || lines.first() + '\n' != TJournal::HeaderLine()) {
        read.message = QStringLiteral("Die Datei ist kein Rennjournal: ") + fileName;
        return read;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).split(u'\t');
        if (fields.size() == kJournalFields) read.lines.append(fields);
    }
    read.ok = true;
    return read;
}

QList<TJournalItem> JournalItems(const QList<QStringList>& lines) {
    QList<TJournalItem> items;
    qsizetype current = -1;         // the heat that takes the lines, by index
    QList<QStringList> beforeFirst; // line events before any START
    int heats = 0;
    // The latest heat that wrote a result for the start number.
    auto heatOf = [&](const QString& startNumber) -> TJournalHeat* {
        for (qsizetype i = items.size() - 1; i >= 0; --i) {
            if (!items[i].isHeat) continue;
            for (const QStringList& event : items[i].heat.events)
                if (event[JfKind] == TJournal::kResult && event[JfStartNr] == startNumber)
                    return &items[i].heat;
        }
        return nullptr;
    };
    for (const QStringList& line : lines) {
        const QString& kind = line[JfKind];
        const bool command = kind == TJournal::kCommand;
        if (command && line[JfName] == QStringLiteral("START")) {
            TJournalItem item;
            item.isHeat = true;
            TJournalHeat& heat = item.heat;
            heat.number = ++heats;
            heat.start = line;
            heat.startTicks = line[JfTicks].toLongLong();
            const QStringList numbers = line[JfStartNr].split(u'/');
            heat.startNumbers[1] = numbers.value(0).trimmed();
            heat.startNumbers[2] = numbers.value(1).trimmed();
            // The contact edge that started it was written just before, at the same instant.
            QList<QStringList>& earlier = current >= 0 ? items[current].heat.events : beforeFirst;
            while (!earlier.isEmpty() && earlier.last()[JfKind] == TJournal::kLine &&
                   earlier.last()[JfTicks] == line[JfTicks])
                heat.events.prepend(earlier.takeLast());
            heat.events.append(line);
            items.append(item);
            current = items.size() - 1;
        } else if (kind == TJournal::kPort ||
                   (command && !IsHeatCommand(line[JfName]) && line[JfStartNr].isEmpty())) {
            // The heat before goes on taking its lines after these.
            items.append({false, {}, line});
        } else if (command && !IsHeatCommand(line[JfName])) {
            if (TJournalHeat* edited = heatOf(line[JfStartNr]))
                edited->edits.append(line);
            else
                items.append({false, {}, line}); // a row no heat of the day wrote
        } else if (current >= 0) {
            items[current].heat.events.append(line);
        } else if (kind == TJournal::kLine) {
            beforeFirst.append(line);
        }
    }
    return items;
}

QStringList JournalFiles(const QString& folder, const QString& programTitle) {
    const QDir dir(folder);
    QStringList names = dir.entryList({programTitle + QStringLiteral("-Journal-*.txt")},
                                      QDir::Files, QDir::Name | QDir::Reversed);
    QStringList files;
    for (const QString& name : names)
        files.append(dir.filePath(name));
    return files;
}
