#include "ProtocolBackup.h"

#include "BackgroundWriter.h"
#include "SaveBytes.h"
#include "base/Program.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

bool HasRows(const ProtocolRows& rows) {
    return std::any_of(rows.begin() + std::min<qsizetype>(1, rows.size()), rows.end(),
                       [](const QStringList& row) { return !row.value(0).trimmed().isEmpty(); });
}

} // namespace

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

QString ProtocolBackup::SetAsideUnreadable(const QString& path, QString& keptAside) {
    keptAside = KeepAside(path);
    if (!keptAside.isEmpty())
        return QStringLiteral("Die Sicherungsdatei war nicht lesbar und wurde aufbewahrt als: ") +
               keptAside;
    if (folder_ != location_.dataFolder && !location_.dataFolder.isEmpty()) {
        // It cannot be moved, so it must not be overwritten either: write elsewhere.
        folder_ = location_.dataFolder;
        QDir().mkpath(folder_);
        return QStringLiteral("Die Sicherungsdatei ist nicht lesbar und bleibt unverändert; die "
                              "Sicherung wird geschrieben in: ") +
               FilePath();
    }
    blocked_ = true;
    return QStringLiteral("Die Sicherungsdatei ist nicht lesbar und bleibt unverändert; es wird "
                          "keine Sicherung geschrieben: ") +
           path;
}

ProtocolBackup::LoadResult ProtocolBackup::Load(const QStringList& headerTexts) {
    Prepare();
    // Besides the one written to, a backup may lie in the other folder: written there while
    // this one could not be written, or left beside a program whose folder has since become
    // read-only. The one written to comes first.
    struct Found {
        QFileInfo file;
        ProtocolReadResult read;
        bool hasRows = false;
    };
    QList<Found> found;
    for (const QString& folder : {folder_, location_.programFolder, location_.dataFolder}) {
        const QFileInfo file(BackupFileName(folder, location_.programTitle));
        if (folder.isEmpty() || !file.exists() ||
            std::any_of(found.begin(), found.end(), [&](const Found& f) { return f.file == file; }))
            continue;
        Found f{file, ReadProtocolText(file.filePath(), headerTexts)};
        f.hasRows = f.read.ok && HasRows(f.read.rows);
        found.append(std::move(f));
    }

    LoadResult result;
    QStringList messages;
    for (const Found& f : found) {
        if (f.read.ok) continue;
        if (f.file == QFileInfo(FilePath())) {
            QString keptAside;
            messages << SetAsideUnreadable(f.file.filePath(), keptAside);
            if (result.keptAsidePath.isEmpty()) result.keptAsidePath = keptAside;
        } else {
            // Never written to from here on, so it needs no keeping aside.
            messages << QStringLiteral("Die Sicherungsdatei kann nicht gelesen werden: ") +
                            f.file.filePath();
        }
    }

    // An empty backup never hides one with rows; of two with rows the newer one holds the last
    // run. The one written to wins a tie.
    const Found* chosen = nullptr;
    for (const Found& f : found)
        if (f.read.ok &&
            (!chosen || (f.hasRows && !chosen->hasRows) ||
             (f.hasRows && chosen->hasRows && f.file.lastModified() > chosen->file.lastModified())))
            chosen = &f;
    if (chosen) result.rows = chosen->read.rows;

    const QFileInfo target(FilePath());
    const auto replaced = std::find_if(found.begin(), found.end(), [&](const Found& f) {
        return f.file == target && f.hasRows && &f != chosen;
    });
    if (replaced != found.end()) {
        // The next write would replace the older protocol: it is kept under a name of its own.
        const QString keptAside = KeepAside(target.filePath());
        messages << QStringLiteral("Die Sicherung wurde geladen aus: ") + chosen->file.filePath();
        messages << (keptAside.isEmpty()
                         ? QStringLiteral("Die ältere Sicherungsdatei wird überschrieben: ") +
                               target.filePath()
                         : QStringLiteral("Die ältere Sicherungsdatei wurde aufbewahrt als: ") +
                               keptAside);
    }
    result.message = messages.join(u'\n');
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
