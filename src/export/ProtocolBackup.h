#pragma once

#include "ProtocolText.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;
class TBackgroundWriter;

// The automatic backup of the protocol. The window calls WriteNow after each lane stop, when a
// heat ends and at exit, and ProtocolChanged after every edit; edits are written at most once
// per two seconds. The bytes are made at once, the file is written by the background writer;
// each write replaces the file as a whole, so a crash mid-write leaves the previous backup in
// place.
class ProtocolBackup : public QObject {
    Q_OBJECT
public:
    using RowsSource = std::function<ProtocolRows()>;
    // Milliseconds of a monotonic clock.
    using Clock = std::function<qint64()>;

    struct Location {
        QString programFolder;
        QString programTitle;
        // Used when the program folder cannot be written.
        QString dataFolder;
    };

    struct LoadResult {
        // The protocol to show; none when there was nothing to load (keep the table as it is).
        std::optional<ProtocolRows> rows;
        // A notice for the operator, empty when all went well.
        QString message;
        // Where an unreadable backup was kept aside, empty when none was.
        QString keptAsidePath;
    };

    static constexpr int kMinWriteIntervalMs = 2000;

    // The program's own folder, title and data folder. Without a writer of the caller's the
    // backup has one of its own.
    explicit ProtocolBackup(RowsSource source, TBackgroundWriter* writer = nullptr,
                            QObject* parent = nullptr);
    ProtocolBackup(Location location, RowsSource source, TBackgroundWriter* writer = nullptr,
                   QObject* parent = nullptr);

    // "<title>-Sicherungsdatei.txt" in folder.
    static QString BackupFileName(const QString& folder, const QString& programTitle);

    // Where the backup is written: beside the program, or in the data folder when the program
    // folder is not writable.
    QString FilePath() const;

    // Reads the backup once at start-up, after removing what interrupted writes left. Of the
    // backups beside the program and in the data folder, one with rows wins over one without,
    // and of two with rows the newer one; the one written to wins a tie. A backup that exists
    // but cannot be read, and an older one with rows that the next write would replace, are
    // renamed with the date and time first, so that no later write destroys them.
    LoadResult Load(const QStringList& headerTexts);

    // Hands the protocol to the writer now; a pending delayed write is then no longer needed.
    // False when no backup can be written at all.
    bool WriteNow();
    // Waits until the writer is done; true when the last backup written reached the disk.
    bool Flush();
    // The protocol changed: written right away, or when two seconds have passed since the last
    // write.
    void ProtocolChanged();
    // Runs when DelayTimer fires.
    void DelayedWrite();

    void SetClock(Clock clock) { clock_ = std::move(clock); }

    bool WritePending() const;

    QTimer* DelayTimer;

private:
    qint64 Now() const;
    void Written(const QString& fileName, const FileWriteResult& result);
    // Decides the folder and keeps an unreadable backup aside; runs before the first read or
    // write.
    void Prepare();
    QString KeepAside(const QString& path);
    // Keeps an unreadable backup that would be written to from being overwritten; returns the
    // operator's message.
    QString SetAsideUnreadable(const QString& path, QString& keptAside);

    Location location_;
    RowsSource source_;
    TBackgroundWriter* writer_;
    Clock clock_;
    QString folder_;
    bool prepared_ = false;
    bool blocked_ = false;
    bool lastWriteOk_ = false;
    qint64 lastWriteMs_ = 0;
    bool everWritten_ = false;
};
