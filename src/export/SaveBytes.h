#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct FileWriteResult {
    FileWriteResult() = default;
    FileWriteResult(bool written, QString text, QString why = {})
        : ok(written), message(std::move(text)), reason(std::move(why)) {}

    bool ok = false;
    // The text of the error box when the file could not be written, empty otherwise.
    QString message;
    // Why, in a few words for a notice ("Datenträger voll"); empty when not known.
    QString reason;
};

// "Der Schreibfehler der Datei: " and the file name.
QString WriteErrorText(const QString& fileName);

// Replaces the file as a whole: the bytes go to a temporary file beside it, which is synced and
// checked before it takes the file's place. On any failure the previous file stays exactly as it
// was, no temporary file is left, and the message names the file and the reason in German.
FileWriteResult SaveFileBytes(const QString& fileName, const QByteArray& bytes);

// Adds bytes to the end of the file, creating it when needed; a new or empty file gets the
// header first. With sync the file is on the disk when it returns. written gets how many of
// bytes reached the file, also on failure. What the file held before is never touched, and a
// failed append is taken back where the system allows it.
FileWriteResult AppendFileBytes(const QString& fileName, const QByteArray& bytes,
                                const QByteArray& header, bool sync, qsizetype& written);

// Why nothing can be written at path (a file, or a folder that may not exist yet), in a few
// German words for a notice ("Datenträger voll", "keine Berechtigung"); empty when it can.
// Leaves nothing behind.
QString WriteProblem(const QString& path);

// The temporary file a replacement of fileName is written to: "<name>.rennuhr-tmp-XXXXXX".
QString TemporaryFileName(const QString& fileName);
// Removes what an interrupted replacement left in folder: temporary files of Rennuhr's own
// pattern whose name begins with namePrefix, and nothing else. Returns how many were removed.
int RemoveStrayTemporaryFiles(const QString& folder, const QString& namePrefix);

// Every write of file bytes goes through this call, which behaves like write(2): the bytes
// written, or -1 with errno set. path is the file being written (the temporary one when a file
// is replaced). Tests use it to make a write fail where no small disk can be mounted.
using FileWriteCall =
    std::function<qint64(const QByteArray& path, int fd, const char* data, qint64 size)>;
// An empty call restores the system's. Set it while no file is being written.
void SetFileWriteCall(FileWriteCall call);
// The call set, empty for the system's; for the platform's part of the writer.
FileWriteCall ActiveFileWriteCall();
