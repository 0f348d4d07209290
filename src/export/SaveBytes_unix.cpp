#include "SaveBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Not an errno: the file on the disk is not as long as what was written into it.
constexpr int kShortFile = -1;
// Not an errno: the file to be replaced is write-protected.
constexpr int kProtectedFile = -2;

struct Reason {
    QString brief;    // for a notice
    QString sentence; // for the error box, below the file name
};

Reason ReasonFor(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return {QStringLiteral("Datenträger voll"), QStringLiteral("Der Datenträger ist voll.")};
    case EACCES:
    case EPERM:
        return {QStringLiteral("keine Berechtigung"),
                QStringLiteral("In diesen Ordner darf nicht geschrieben werden.")};
    case kProtectedFile:
        return {QStringLiteral("keine Berechtigung"),
                QStringLiteral("Die Datei ist schreibgeschützt oder von einem anderen Programm "
                               "geöffnet.")};
    case EROFS:
        return {QStringLiteral("Datenträger schreibgeschützt"),
                QStringLiteral("Der Datenträger ist schreibgeschützt.")};
    case ENOENT:
    case ENOTDIR:
        return {QStringLiteral("Ordner fehlt"), QStringLiteral("Der Ordner existiert nicht.")};
    case EISDIR:
        return {QStringLiteral("ein Ordner trägt diesen Namen"),
                QStringLiteral("Unter diesem Namen steht ein Ordner.")};
    case ENAMETOOLONG:
        return {QStringLiteral("Name zu lang"), QStringLiteral("Der Dateiname ist zu lang.")};
    case EIO:
    case kShortFile:
        return {QStringLiteral("Ein-/Ausgabefehler"),
                QStringLiteral("Der Datenträger hat die Daten nicht vollständig angenommen.")};
    default: {
        const QString system = QString::fromLocal8Bit(std::strerror(error));
        return {QStringLiteral("Systemfehler: ") + system,
                QStringLiteral("Die Datei kann nicht geschrieben werden (") + system +
                    QStringLiteral(").")};
    }
    }
}

FileWriteResult Failed(const QString& fileName, int error) {
    const Reason reason = ReasonFor(error);
    FileWriteResult result;
    result.message = WriteErrorText(fileName) + u'\n' + reason.sentence;
    result.reason = reason.brief;
    return result;
}

FileWriteResult Succeeded() {
    FileWriteResult result;
    result.ok = true;
    return result;
}

// Writes all of data, across interrupted and short writes; false with errno set on failure.
bool WriteAll(const FileWriteCall& call, const QByteArray& path, int fd, const char* data,
              qint64 size, qint64& done) {
    done = 0;
    while (done < size) {
        const qint64 n = call ? call(path, fd, data + done, size - done)
                              : ::write(fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) { // nothing taken and no reason given: it would never end
            errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// A new or renamed entry survives a power cut only once its folder is synced.
int SyncFolder(const QByteArray& filePath) {
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(filePath)).path());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    // Some file systems cannot sync a folder at all; they say so with EINVAL.
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

FileWriteResult SaveFileBytes(const QString& fileName, const QByteArray& bytes) {
    // A link is followed: the operator chose its name, the file it points to is meant.
    const QFileInfo info(fileName);
    const QString target =
        info.isSymLink() && !info.symLinkTarget().isEmpty() ? info.symLinkTarget() : fileName;
    const QByteArray path = QFile::encodeName(target);
    struct stat old;
    const bool exists = ::stat(path.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return Failed(fileName, EISDIR);
    if (exists && ::access(path.constData(), W_OK) != 0)
        return Failed(fileName, errno == EROFS ? EROFS : kProtectedFile);

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(TemporaryFileName(target));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Failed(fileName, errno);

    int error = 0;
    // The file keeps the permissions it had; a file system without them is no failure.
    if (exists) ::fchmod(fd, old.st_mode & 07777);
    qint64 done = 0;
    struct stat written;
    if (!WriteAll(ActiveFileWriteCall(), temporary, fd, bytes.constData(), bytes.size(), done))
        error = errno;
    else if (::fsync(fd) != 0)
        error = errno;
    else if (::fstat(fd, &written) != 0)
        error = errno;
    else if (written.st_size != bytes.size())
        error = kShortFile;
    // On Linux the descriptor is gone whatever close() says; a late write error shows here.
    if (::close(fd) != 0 && !error && errno != EINTR) error = errno;
    if (!error && ::rename(temporary.constData(), path.constData()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.constData());
        return Failed(fileName, error);
    }
    if (const int folderError = SyncFolder(path)) return Failed(fileName, folderError);
    return Succeeded();
}

FileWriteResult AppendFileBytes(const QString& fileName, const QByteArray& bytes,
                                const QByteArray& header, bool sync, qsizetype& written) {
    written = 0;
    const QByteArray path = QFile::encodeName(fileName);
    // Only a sync asked for: a file that was never begun has nothing to bring to the disk.
    if (bytes.isEmpty() && ::access(path.constData(), F_OK) != 0) return Succeeded();
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Failed(fileName, errno);

    int error = 0;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else {
        const bool begin = info.st_size == 0 && !bytes.isEmpty();
        const QByteArray all = begin ? header + bytes : bytes;
        qint64 done = 0;
        if (WriteAll(ActiveFileWriteCall(), path, fd, all.constData(), all.size(), done)) {
            written = bytes.size();
            if (sync && ::fsync(fd) != 0) error = errno;
            if (!error && sync && begin) error = SyncFolder(path);
        } else {
            error = errno;
            // Half a line would join the next one: the file goes back to what it held.
            if (::ftruncate(fd, info.st_size) != 0)
                written = std::max<qint64>(0, done - (all.size() - bytes.size()));
        }
    }
    if (::close(fd) != 0 && !error && errno != EINTR) error = errno;
    return error ? Failed(fileName, error) : Succeeded();
}

QString WriteProblem(const QString& path) {
    // The nearest folder that exists is where the first new entry would be made.
    QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return ReasonFor(errno == EROFS ? EROFS : kProtectedFile).brief;
        info = QFileInfo(info.absolutePath());
    }
    while (!info.exists() && !info.absoluteFilePath().isEmpty() && !info.isRoot())
        info = QFileInfo(info.absolutePath());
    if (!info.isDir()) return ReasonFor(ENOTDIR).brief;
    const QByteArray probe =
        QFile::encodeName(TemporaryFileName(QDir(info.absoluteFilePath()).filePath(".probe")));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return ReasonFor(errno).brief;
    // A full disk still makes empty files; one byte tells.
    qint64 done = 0;
    const int error = WriteAll(ActiveFileWriteCall(), probe, fd, "\n", 1, done) ? 0 : errno;
    ::close(fd);
    ::unlink(probe.constData());
    return error ? ReasonFor(error).brief : QString();
}
