#include "LadderField.h"

#include "Ladder.h"
#include "protocol/ProtocolColumns.h"
#include "race/HeatModel.h"

#include <QSet>

#include <random>

QString LadderSourceName(TLadderSource source) {
    switch (source) {
    case TLadderSource::Standings:
        return QStringLiteral("Wertung");
    case TLadderSource::Protocol:
        return QStringLiteral("Protokoll");
    case TLadderSource::Draw:
        return QStringLiteral("Auslosung");
    }
    return {};
}

QList<TLadderEntrant> FieldFromStandings(const TStandings& standings, const QString& classInfo) {
    QList<TLadderEntrant> field;
    for (const TStandingsGroup& group : standings.groups) {
        if (group.classInfo != classInfo.trimmed()) continue;
        for (const TStandingsEntry& entry : group.entries) {
            TLadderEntrant& racer = field.emplace_back();
            racer.startNumber = entry.startNumber;
            racer.name = entry.name;
            racer.firstName = entry.firstName;
            racer.vehicle = entry.vehicle;
            racer.engine = entry.engine;
            racer.classInfo = entry.classInfo;
            racer.standingsPlace = entry.place;
            racer.time = entry.time;
        }
    }
    for (int i = 0; i < field.size(); ++i)
        field[i].seed = i + 1;
    return field;
}

QList<TLadderEntrant> FieldFromProtocol(const QList<QStringList>& rows, bool Klass,
                                        const QString& classInfo) {
    QList<TLadderEntrant> field;
    QSet<QString> taken;
    for (int row = 1; row < rows.size(); ++row) {
        const QStringList& cells = rows[row];
        if (cells.size() < kProtocolColumns || cells[ColStartNr].isEmpty()) continue;
        // As the standings do: a stray blank in the class cell is no class of its own.
        if (Klass && cells[ColClass].trimmed() != classInfo.trimmed()) continue;
        if (taken.contains(cells[ColStartNr])) continue;
        taken.insert(cells[ColStartNr]);
        TLadderEntrant& racer = field.emplace_back();
        racer.seed = int(field.size());
        racer.startNumber = cells[ColStartNr];
        racer.name = cells[ColName];
        racer.firstName = cells[ColFirstName];
        racer.vehicle = cells[ColVehicle];
        racer.engine = cells[ColEngine];
        racer.classInfo = cells[ColClass];
    }
    return field;
}

QList<TLadderEntrant> DrawField(QList<TLadderEntrant> field, quint32 drawSeed) {
    std::mt19937 generator(drawSeed);
    for (qsizetype i = field.size() - 1; i > 0; --i) {
        const quint64 bound = quint64(i) + 1;
        // The largest multiple of bound within 2^32: below it every index is equally likely.
        const quint64 limit = (quint64(1) << 32) - (quint64(1) << 32) % bound;
        quint64 drawn = generator();
        while (drawn >= limit)
            drawn = generator();
        std::swap(field[i], field[qsizetype(drawn % bound)]);
    }
    for (int i = 0; i < field.size(); ++i)
        field[i].seed = i + 1;
    return field;
}

QStringList LadderClasses(const QStringList& classList, const QList<QStringList>& rows) {
    QStringList classes;
    auto add = [&classes](const QString& classInfo) {
        const QString key = classInfo.trimmed();
        if (!key.isEmpty() && !classes.contains(key)) classes.append(key);
    };
    for (int row = 1; row < rows.size(); ++row)
        if (rows[row].size() > ColClass && !rows[row][ColStartNr].isEmpty())
            add(rows[row][ColClass]);
    for (const QString& classInfo : classList)
        add(classInfo);
    return classes;
}

QString FieldProblem(const QList<TLadderEntrant>& field) {
    if (field.size() < 2) return QStringLiteral("Eine Ausscheidung braucht mindestens 2 Fahrer.");
    if (field.size() > kMaxLadderField)
        return QStringLiteral("Eine Ausscheidung hat höchstens %1 Fahrer, hier sind es %2.")
            .arg(kMaxLadderField)
            .arg(field.size());
    QSet<QString> seen;
    for (const TLadderEntrant& racer : field) {
        // The lanes hold whole numbers: "01" would race as 1, which is another racer's row.
        bool number = false;
        const int value = racer.startNumber.toInt(&number);
        if (!number || QString::number(value) != racer.startNumber ||
            value < THeatModel::kMinStartNumber || value > THeatModel::kMaxStartNumber)
            return QStringLiteral("Die St.Nr. „%1“ kann nicht in eine Bahn geladen werden.")
                .arg(racer.startNumber);
        if (seen.contains(racer.startNumber))
            return QStringLiteral("Die St.Nr. %1 steht zweimal im Feld.").arg(racer.startNumber);
        seen.insert(racer.startNumber);
    }
    return {};
}
