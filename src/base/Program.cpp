#include "Program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
QString& FolderOverride() {
    static QString folder;
    return folder;
}

// Trying is the only honest test: permissions, read-only mounts and a missing folder all show
// up as a file that cannot be created.
bool FolderIsWritable(const QString& folder) {
    if (folder.isEmpty()) return false;
    QTemporaryFile probe(folder + QStringLiteral("/.write-probe-XXXXXX"));
    return probe.open();
}
} // namespace

QString ProgramTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ProgramFolder() {
    return FolderOverride().isEmpty() ? QCoreApplication::applicationDirPath() : FolderOverride();
}

QString InstalledFilesFolder() {
    // Relative, so that a package unpacked anywhere finds its files.
    return QDir::cleanPath(ProgramFolder() + QStringLiteral("/" RENNUHR_FILES_FROM_BIN));
}

QString ProgramFile(const QString& name) {
    const QString beside = ProgramFolder() + u'/' + name;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = InstalledFilesFolder() + u'/' + name;
    return QFileInfo::exists(installed) ? installed : beside;
}

QString ProgramWriteFolder() {
    return QFileInfo(InstalledFilesFolder()).isDir() ? QString() : ProgramFolder();
}

QString WritableFolder(const QString& programFolder, const QString& dataFolder) {
    if (FolderIsWritable(programFolder)) return programFolder;
    if (!dataFolder.isEmpty()) QDir().mkpath(dataFolder);
    return dataFolder;
}

QString UserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void OverrideProgramFolder(const QString& folder) {
    FolderOverride() = folder;
}
