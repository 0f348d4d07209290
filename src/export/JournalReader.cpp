#include "JournalReader.h"

#include "Journal.h"

#include <QFile>

namespace {

// A full race day is a few megabytes; anything far larger is not a journal.
constexpr qint64 kMaxJournalBytes = 256LL * 1024 * 1024;

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
