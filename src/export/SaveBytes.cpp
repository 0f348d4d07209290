#include "SaveBytes.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace {

QString Reason(const QString& fileName, QFileDevice::FileError error, qint64 size) {
    const QFileInfo file(fileName);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists()) return QStringLiteral("Der Ordner existiert nicht.");
    // Qt reports a full disk as a plain write error; the free space tells.
    const QStorageInfo storage(folder.absoluteFilePath());
    if (error == QFileDevice::ResourceError ||
        (storage.isValid() && storage.bytesAvailable() < size + 4096))
        return QStringLiteral("Der Datenträger ist voll.");
    if (file.isDir()) return QStringLiteral("Unter diesem Namen steht ein Ordner.");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("Die Datei ist schreibgeschützt oder von einem anderen Programm "
                              "geöffnet.");
    if (!folder.isWritable())
        return QStringLiteral("In diesen Ordner darf nicht geschrieben werden.");
    return QStringLiteral("Die Datei kann nicht geschrieben werden.");
}

} // namespace

FileWriteResult SaveFileBytes(const QString& fileName, const QByteArray& bytes) {
    FileWriteResult result;
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        result.ok = true;
        return result;
    }
    QFileDevice::FileError error = file.error();
    file.cancelWriting();
    result.message = WriteErrorText(fileName) + u'\n' + Reason(fileName, error, bytes.size());
    return result;
}
