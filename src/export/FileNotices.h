#pragma once

#include "ProtocolText.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// What the operator must know about the files Rennuhr writes by itself: one notice per kind of
// file (the backup, the journal), there while its writes fail, with the reason, and gone once
// one succeeds.
class TFileNotices : public QObject {
    Q_OBJECT
public:
    using Matcher = std::function<bool(const QString& fileName)>;

    explicit TFileNotices(QObject* parent = nullptr) : QObject(parent) {}

    // A kind of file: failure begins its notice ("Die Sicherungsdatei kann nicht geschrieben
    // werden"); matches tells its files from others written alongside.
    void AddKind(const QString& failure, Matcher matches);
    // The result of a file written, for the kind it belongs to.
    void Written(const QString& fileName, const FileWriteResult& result);

    // One line per notice: the failure and the reason, in the order the kinds were added.
    QStringList Lines() const;
    // The lines, each with the file and the full reason below it, for a hint.
    QString Details() const;

signals:
    void Changed();

private:
    struct Kind {
        QString failure;
        Matcher matches;
        QString line; // empty while all is well
        QString detail;
    };
    QList<Kind> kinds_;
};
