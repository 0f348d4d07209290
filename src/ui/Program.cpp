#include "Program.h"

#include <QCoreApplication>
#include <QFileInfo>

QString ProgramTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}
