#pragma once

// Journal files as a long race day leaves them, and as junk leaves them, for the reader's
// tests and the journal benchmark.
#include "export/Journal.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTime>

namespace journal_sample {

constexpr qint64 kMs = 1000000;

inline QByteArray Field(qint64 n) {
    return QByteArray::number(n);
}

// One journal line; cells are RZ, ZZ, Km/h, Zeit, Win.
inline QByteArray Line(qint64 ms, const QByteArray& kind, const QByteArray& name,
                       const QByteArray& source = {}, const QByteArray& lane = {},
                       const QByteArray& level = {}, const QByteArray& folded = {},
                       const QByteArray& startNumber = {}, const QByteArray& cells = "\t\t\t\t",
                       const QByteArray& text = {}) {
    const QByteArray clock =
        QTime(8, 0).addMSecs(int(ms % (16 * 3600 * 1000))).toString("hh:mm:ss.zzz").toLatin1();
    return "2024-05-04 " + clock + '\t' + Field(ms * kMs) + '\t' + kind + '\t' + name + '\t' +
           source + '\t' + lane + '\t' + level + '\t' + folded + '\t' + startNumber + '\t' + cells +
           '\t' + text + '\n';
}

// The lines of heat n (from 1), ten of them, eleven with a warning on every fifth heat;
// start numbers 2n - 1 and 2n unless given.
inline QByteArray Heat(int n, QByteArray first = {}, QByteArray second = {}) {
    const qint64 at = 1000 + qint64(n) * 2000;
    if (first.isEmpty()) first = Field(2 * n - 1);
    if (second.isEmpty()) second = Field(2 * n);
    QByteArray lines;
    lines += Line(at, "Leitung", "CTS", {}, {}, "1", "0");
    lines += Line(at, "Befehl", "START", "Lichtschranke", {}, {}, {}, first + '/' + second);
    lines += Line(at + 20, "Leitung", "CTS", {}, {}, "0", "0");
    lines += Line(at + 900, "Leitung", "DCD", {}, "1", "0", "1");
    lines += Line(at + 900, "Befehl", "STOPP", "Lichtschranke", "1", {}, {}, first);
    lines += Line(at + 900, "Ergebnis", {}, {}, "1", {}, {}, first, "0,412\t\t160,8\t9,000\t+");
    lines += Line(at + 925, "Leitung", "DSR", {}, "2", "0", "1");
    lines += Line(at + 925, "Befehl", "STOPP", "Lichtschranke", "2", {}, {}, second);
    lines += Line(at + 925, "Ergebnis", {}, {}, "2", {}, {}, second, "0,455\t\t156,5\t9,250\t");
    if (n % 5 == 0)
        lines += Line(at + 925, "Warnung", "Sperrzeit", {}, "1", {}, {}, first, "\t\t\t\t",
                      "Impuls 0,250 s nach dem Stopp: Lichtschranke prellt");
    lines += Line(at + 1500, "Befehl", "ZURÜCKSETZEN", "Taste");
    return lines;
}

struct Day {
    int heats = 0;
    qint64 lines = 0; // without the header
};

// Heats until the file holds at least the lines asked for.
inline Day WriteDay(const QString& fileName, qint64 lines) {
    QFile file(fileName);
    Day day;
    if (!file.open(QIODevice::WriteOnly)) return day;
    file.write(TJournal::HeaderLine());
    while (day.lines < lines) {
        const QByteArray heat = Heat(++day.heats);
        day.lines += heat.count('\n');
        file.write(heat);
    }
    return day;
}

// The header, then random bytes.
inline bool WriteJunk(const QString& fileName, qint64 bytes) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(TJournal::HeaderLine());
    QRandomGenerator random(24);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 left = bytes; left > 0; left -= block.size()) {
        random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        file.write(block.constData(), std::min<qint64>(left, block.size()));
    }
    return true;
}

} // namespace journal_sample
