#pragma once

#include "export/SaveBytes.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A small disk of the test's own: a tmpfs mounted on a fresh temporary folder and unmounted
// when the test is done. Mounting needs root; Mounted() tells whether it worked.
class Tmpfs {
public:
    explicit Tmpfs(qint64 bytes, const QString& on = {}) : path_(on.isEmpty() ? dir_.path() : on) {
        QDir().mkpath(path_);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0,
                           options.constData()) == 0;
    }
    ~Tmpfs() {
        if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    QString Path() const { return path_; }
    QString FilePath(const QString& name) const { return QDir(path_).filePath(name); }

    // Takes every byte that is left, as a disk that has filled up.
    bool Fill() {
        const QByteArray filler = QFile::encodeName(FilePath(".filler"));
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const QByteArray chunk(64 * 1024, 'x');
        for (qsizetype size = chunk.size(); size >= 1; size /= 4)
            while (::write(fd, chunk.constData(), size_t(size)) == size) {
            }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }
    void Free() { QFile::remove(FilePath(".filler")); }

    bool RemountReadOnly() {
        return mounted_ && ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr,
                                   MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir dir_;
    QString path_;
    bool mounted_ = false;
};

// A folder whose disk fills up on Fill(): a small tmpfs where one can be mounted, else a plain
// folder whose writes the file writer's seam refuses with ENOSPC. Either way the writes fail;
// never does the test go on without a full disk.
class FullFolder {
public:
    explicit FullFolder(qint64 bytes = 2 * 1024 * 1024) : disk_(bytes) {}
    ~FullFolder() { SetFileWriteCall({}); }

    bool OnTmpfs() const { return disk_.Mounted(); }
    QString Path() const { return disk_.Path(); }
    QString FilePath(const QString& name) const { return disk_.FilePath(name); }

    bool Fill() {
        if (OnTmpfs()) return disk_.Fill();
        const QByteArray folder = QFile::encodeName(Path()) + '/';
        SetFileWriteCall([folder](const QByteArray& path, int fd, const char* data, qint64 size) {
            if (path.startsWith(folder)) {
                errno = ENOSPC;
                return qint64(-1);
            }
            return qint64(::write(fd, data, size_t(size)));
        });
        return true;
    }
    void Free() {
        if (OnTmpfs())
            disk_.Free();
        else
            SetFileWriteCall({});
    }

private:
    Tmpfs disk_;
};
