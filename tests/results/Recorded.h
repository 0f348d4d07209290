#pragma once

#include "Heat.h"

#include "results/ResultsDatabase.h"
#include "results/RunRecorder.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

inline const QDateTime kRaceMorning(QDate(2024, 5, 4), QTime(10, 0));

// Heats through the real sequence, recorded into a results file of the test's own. The wall
// clock runs with the test's time base: ticks 1000 ms are at1000ms.
struct RecordedHeat : Heat {
    QTemporaryDir dir;
    QString file;
    TResultsDatabase db;
    TRunRecorder recorder{db, race, sequence, plausibility, protocol.model};

    explicit RecordedHeat(const QDateTime& at1000ms = kRaceMorning, bool withPort = false)
        : Heat(withPort), file(TResultsDatabase::FileName(dir.path(), "Rennuhr")) {
        recorder.SetWallClock([clock = now, at1000ms] {
            return at1000ms.addMSecs((clock->load() - 1000 * kMs) / kMs);
        });
    }
    void Open(QDate day = kRaceMorning.date()) {
        db.Open(file, day);
        db.Flush();
    }
    // A heat by hand after the reset: START, lane 1 stops at ms1, lane 2 at ms2 after START,
    // in time order.
    void Run(qint64 ms1, qint64 ms2) {
        if (heat.ResetOpen()) Key(sequence.mReset);
        Start();
        const int first = ms1 <= ms2 ? 1 : 2;
        At(std::min(ms1, ms2));
        Key(first == 1 ? sequence.mStop1 : sequence.mStop2);
        At(std::max(ms1, ms2));
        Key(first == 1 ? sequence.mStop2 : sequence.mStop1);
    }
    // Participants for start numbers 1 … n: name "Fahrer<n>", the other cells numbered alike.
    void Participants(int n) {
        QList<QStringList> rows{TProtocolModel::DefaultHeaderTexts()};
        for (int i = 1; i <= n; ++i) {
            const QString s = QString::number(i);
            rows << QStringList{s,
                                "Fahrer" + s,
                                "Vorname" + s,
                                "Roller" + s,
                                "Motor" + s,
                                "Klasse" + s,
                                "",
                                "",
                                "",
                                "",
                                ""};
        }
        protocol.model.SetRows(rows);
    }
};

// What an organiser's tool sees: the rows of a query on a connection of its own, each value as
// text, NULL as "NULL".
inline QList<QStringList> Select(const QString& file, const QString& sql) {
    const QString name = QUuid::createUuid().toString();
    QList<QStringList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(file);
        if (!db.open()) qWarning() << db.lastError().text();
        QSqlQuery query(db);
        if (!query.exec(sql)) qWarning() << sql << query.lastError().text();
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << (query.value(i).isNull() ? QString("NULL") : query.value(i).toString());
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

inline QString SelectOne(const QString& file, const QString& sql) {
    const QList<QStringList> rows = Select(file, sql);
    return rows.isEmpty() || rows[0].isEmpty() ? QString() : rows[0][0];
}
