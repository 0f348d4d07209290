#include "SaveBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Writes all of data, across interrupted and short writes; false with errno set on failure.
bool WriteAll(int fd, const char* data, qsizetype size, qsizetype& done) {
    done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

FileWriteResult AppendFileBytes(const QString& fileName, const QByteArray& bytes,
                                const QByteArray& header, bool sync, qsizetype& written) {
    written = 0;
    FileWriteResult result;
    const QByteArray path = QFile::encodeName(fileName);
    // Only a sync asked for: a file that was never begun has nothing to bring to the disk.
    if (bytes.isEmpty() && ::access(path.constData(), F_OK) != 0) {
        result.ok = true;
        return result;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (ok) {
        struct stat info;
        qsizetype done = 0;
        if (::fstat(fd, &info) != 0)
            ok = false;
        else if (info.st_size == 0 && !bytes.isEmpty())
            ok = WriteAll(fd, header.constData(), header.size(), done);
        if (ok) ok = WriteAll(fd, bytes.constData(), bytes.size(), written);
        if (ok && sync) ok = ::fsync(fd) == 0;
    }
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (ok) {
        result.ok = true;
        return result;
    }
    const bool full = error == ENOSPC || error == EDQUOT;
    result.message =
        WriteErrorText(fileName) + u'\n' +
        Reason(fileName, full ? QFileDevice::ResourceError : QFileDevice::WriteError, bytes.size());
    return result;
}

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
