#include "ProtocolBackup.h"

#include "BackgroundWriter.h"
#include "SaveBytes.h"
#include "ui/Program.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <chrono>

ProtocolBackup::ProtocolBackup(RowsSource source, TBackgroundWriter* writer, QObject* parent)
    : ProtocolBackup(Location{ProgramWriteFolder(), ProgramTitle(), UserDataFolder()},
                     std::move(source), writer, parent) {}

ProtocolBackup::ProtocolBackup(Location location, RowsSource source, TBackgroundWriter* writer,
                               QObject* parent)
    : QObject(parent), DelayTimer(new QTimer(this)), location_(std::move(location)),
      source_(std::move(source)), writer_(writer ? writer : new TBackgroundWriter(this)) {
    DelayTimer->setSingleShot(true);
    connect(DelayTimer, &QTimer::timeout, this, &ProtocolBackup::DelayedWrite);
    connect(writer_, &TBackgroundWriter::Written, this, &ProtocolBackup::Written);
}

QString ProtocolBackup::BackupFileName(const QString& folder, const QString& programTitle) {
    return QDir(folder).filePath(programTitle + QStringLiteral("-Sicherungsdatei.txt"));
}

QString ProtocolBackup::FilePath() const {
    return BackupFileName(prepared_ ? folder_
                                    : WritableFolder(location_.programFolder, location_.dataFolder),
                          location_.programTitle);
}

qint64 ProtocolBackup::Now() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString ProtocolBackup::KeepAside(const QString& path) {
    const QFileInfo info(path);
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    QString target;
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("-%1").arg(n);
        target = info.dir().filePath(info.completeBaseName() + u'-' + stamp + suffix +
                                     QStringLiteral(".txt"));
        if (!QFileInfo::exists(target)) break;
    }
    return QFile::rename(path, target) ? target : QString();
}

void ProtocolBackup::Prepare() {
    if (prepared_) return;
    prepared_ = true;
    folder_ = WritableFolder(location_.programFolder, location_.dataFolder);
    // What a write cut short by a crash or a power cut left beside the backup.
    for (const QString& folder : {location_.programFolder, location_.dataFolder})
        RemoveStrayTemporaryFiles(folder, location_.programTitle + u'-');
}

ProtocolBackup::LoadResult ProtocolBackup::Load(const QStringList& headerTexts) {
    Prepare();
    LoadResult result;
    const QString path = FilePath();
    QString readPath = path;
    // A backup left beside a program whose folder has since become read-only is still ours.
    if (!QFileInfo::exists(readPath))
        readPath = BackupFileName(location_.programFolder, location_.programTitle);
    if (!QFileInfo::exists(readPath)) return result;

    ProtocolReadResult read = ReadProtocolText(readPath, headerTexts);
    if (read.ok) {
        result.rows = std::move(read.rows);
        return result;
    }
    if (readPath != path) {
        // Never written to from here on, so it needs no keeping aside.
        result.message =
            QStringLiteral("Die Sicherungsdatei kann nicht gelesen werden: ") + readPath;
        return result;
    }
    result.keptAsidePath = KeepAside(path);
    if (!result.keptAsidePath.isEmpty()) {
        result.message =
            QStringLiteral("Die Sicherungsdatei war nicht lesbar und wurde aufbewahrt als: ") +
            result.keptAsidePath;
    } else if (folder_ != location_.dataFolder && !location_.dataFolder.isEmpty()) {
        // It cannot be moved, so it must not be overwritten either: write elsewhere.
        folder_ = location_.dataFolder;
        QDir().mkpath(folder_);
        result.message = QStringLiteral("Die Sicherungsdatei ist nicht lesbar und bleibt "
                                        "unverändert; die Sicherung wird geschrieben in: ") +
                         FilePath();
    } else {
        blocked_ = true;
        result.message = QStringLiteral("Die Sicherungsdatei ist nicht lesbar und bleibt "
                                        "unverändert; es wird keine Sicherung geschrieben: ") +
                         path;
    }
    return result;
}

bool ProtocolBackup::WriteNow() {
    if (!prepared_) Load(QStringList());
    DelayTimer->stop();
    lastWriteMs_ = Now();
    everWritten_ = true;
    if (blocked_ || !source_) {
        Written(FilePath(), FileWriteResult{});
        return false;
    }
    // Turning the rows into bytes is cheap; the disk is the writer's.
    writer_->Submit(FilePath(), EncodeProtocolText(source_()));
    return true;
}

bool ProtocolBackup::Flush() {
    writer_->Drain();
    return lastWriteOk_;
}

void ProtocolBackup::Written(const QString& fileName, const FileWriteResult& result) {
    if (fileName == FilePath()) lastWriteOk_ = result.ok; // else another file of the same writer
}

void ProtocolBackup::ProtocolChanged() {
    if (DelayTimer->isActive()) return; // the pending write takes this change along
    const qint64 wait = everWritten_ ? kMinWriteIntervalMs - (Now() - lastWriteMs_) : 0;
    DelayTimer->start(int(std::clamp<qint64>(wait, 0, kMinWriteIntervalMs)));
}

void ProtocolBackup::DelayedWrite() {
    WriteNow();
}

bool ProtocolBackup::WritePending() const {
    return DelayTimer->isActive();
}
