#pragma once

#include "ProtocolText.h"

#include <QByteArray>
#include <QString>

// Replaces the file as a whole; on failure the previous file stays and the message names the
// file and the reason in German (missing folder, no permission, full disk).
FileWriteResult SaveFileBytes(const QString& fileName, const QByteArray& bytes);
