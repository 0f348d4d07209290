#include "ClassList.h"

#include "export/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A class list is a few dozen short lines; anything this large is some other file that
// happens to carry the name, and would only stall the start.
constexpr qint64 kMaxClassListBytes = 1024 * 1024;

} // namespace

QStringList DefaultClassList() {
    return {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
}

std::optional<QStringList> LoadClassList(const QString& folder) {
    const QString path = QDir(folder).filePath(QLatin1String(kClassListFile));
    // Only a plain file: a folder of that name is no list, and a pipe would block the start.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kMaxClassListBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxClassListBytes)
        return std::nullopt;

    // The decoder drops a UTF-8 byte-order mark.
    const QString text = IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : FromWindows1252(bytes);

    // CR LF, LF or CR each end a line; a break after the last line starts no new one.
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(line);
            line.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty()) lines.append(line);
    return lines;
}
