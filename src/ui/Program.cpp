#include "Program.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
QString& FolderOverride() {
    static QString folder;
    return folder;
}
} // namespace

QString ProgramTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ProgramFolder() {
    return FolderOverride().isEmpty() ? QCoreApplication::applicationDirPath() : FolderOverride();
}

void OverrideProgramFolder(const QString& folder) {
    FolderOverride() = folder;
}
