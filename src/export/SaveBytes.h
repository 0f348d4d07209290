#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QString>

// Replaces the file as a whole; on failure the previous file stays and the message names the
// file and the reason in German (missing folder, no permission, full disk).
FileWriteResult SaveFileBytes(const QString& fileName, const QByteArray& bytes);

// Adds bytes to the end of the file, creating it when needed; a new or empty file gets the
// header first. With sync the file is on the disk when it returns. written gets how many of
// bytes reached the file, also on failure. What the file held before is never touched.
FileWriteResult AppendFileBytes(const QString& fileName, const QByteArray& bytes,
                                const QByteArray& header, bool sync, qsizetype& written);
