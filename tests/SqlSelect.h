#pragma once

#include <QDebug>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUuid>

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
