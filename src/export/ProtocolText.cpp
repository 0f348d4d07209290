#include "ProtocolText.h"

#include "SaveBytes.h"
#include "TextCodec.h"

#include <QFile>

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// A TAB, CR or LF inside a cell would split it into columns or lines when read back.
QString CellForFile(const QString& cell) {
    if (cell.isEmpty()) return QStringLiteral(" ");
    QString text = cell;
    if (text.size() > kMaxCellChars)
        text.truncate(kMaxCellChars - text[kMaxCellChars - 1].isHighSurrogate());
    for (QChar& c : text)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return text;
}

QString WithFileName(const QString& text, const QString& fileName) {
    return fileName.isEmpty() ? text : text + QStringLiteral(": ") + fileName;
}

ProtocolReadResult Failure(const QString& message) {
    ProtocolReadResult result;
    result.message = message;
    return result;
}

QStringList BlankRow() {
    return QStringList(kProtocolColumns);
}

// False when a field is longer than a cell may be.
bool FillRow(QStringView line, QStringList& row) {
    // A spreadsheet program writes an empty cell as nothing between two TABs: it keeps its
    // column, as an empty field between semicolons does.
    const QChar separator = line.contains(u'\t') ? u'\t' : u';';
    qsizetype start = 0;
    // A separator at the very end adds no field; an empty field elsewhere keeps its column.
    for (int column = 0; column < kProtocolColumns && start < line.size(); ++column) {
        qsizetype end = line.indexOf(separator, start);
        if (end < 0) end = line.size();
        const QStringView piece = line.sliced(start, end - start);
        if (piece.size() > kMaxCellChars) return false;
        row[column] = piece.isEmpty() ? QStringLiteral(" ") : piece.toString();
        start = end + 1;
    }
    return true;
}

ProtocolReadResult Parse(const QByteArray& bytes, const QStringList& headerTexts,
                         const QString& fileName) {
    QString text;
    if (bytes.startsWith(kUtf8Mark)) {
        const QByteArray body = bytes.sliced(kUtf8Mark.size());
        if (!IsValidUtf8(body))
            return Failure(
                WithFileName(QStringLiteral("Die Datei ist kein lesbarer Text"), fileName));
        text = QString::fromUtf8(body);
    } else {
        text = FromWindows1252(bytes);
    }

    // CR LF, LF or a lone CR ends a line; the last line needs no line end.
    QList<QStringView> lines;
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != u'\n' && all[end] != u'\r')
            ++end;
        lines.append(all.sliced(start, end - start));
        if (lines.size() > kMaxProtocolRows)
            return Failure(WithFileName(
                QStringLiteral("Die Datei hat zu viele Zeilen für ein Protokoll"), fileName));
        if (end + 1 < all.size() && all[end] == u'\r' && all[end + 1] == u'\n') ++end;
        start = end + 1;
    }

    ProtocolReadResult result;
    result.ok = true;
    result.rows.reserve(qMax<qsizetype>(2, lines.size()));
    result.rows.append(BlankRow());
    result.rows.append(BlankRow());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i >= result.rows.size()) result.rows.append(BlankRow());
        if (!FillRow(lines[i], result.rows[i]))
            return Failure(WithFileName(
                QStringLiteral("Die Datei enthält eine Zelle mit mehr als %1 Zeichen und wird "
                               "nicht geladen")
                    .arg(kMaxCellChars),
                fileName));
    }
    QStringList& header = result.rows[0];
    for (int column = 0; column < kProtocolColumns; ++column)
        if (header[column].trimmed().isEmpty()) header[column] = headerTexts.value(column);
    return result;
}

} // namespace

QString DefaultProtocolFileName(const QDateTime& now) {
    return now.toString(QStringLiteral("yyyy-MM-dd-hh-mm"));
}

QByteArray EncodeProtocolText(const ProtocolRows& rows) {
    QString text;
    for (const QStringList& row : rows) {
        if (row.value(0).isEmpty()) continue;
        for (int column = 0; column < kProtocolColumns; ++column) {
            text += CellForFile(row.value(column));
            text += u'\t';
        }
        text += QStringLiteral("\r\n");
    }
    // Text that happens to begin like a byte-order mark would be read back as UTF-8.
    if (const auto windows1252 = ToWindows1252(text);
        windows1252 && !windows1252->startsWith(kUtf8Mark))
        return *windows1252;
    return kUtf8Mark + text.toUtf8();
}

FileWriteResult WriteProtocolText(const QString& fileName, const ProtocolRows& rows) {
    return SaveFileBytes(fileName, EncodeProtocolText(rows));
}

ProtocolReadResult ParseProtocolText(const QByteArray& bytes, const QStringList& headerTexts) {
    return Parse(bytes, headerTexts, QString());
}

ProtocolReadResult ReadProtocolText(const QString& fileName, const QStringList& headerTexts) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(
            WithFileName(QStringLiteral("Die Datei kann nicht geöffnet werden"), fileName));
    // Read one byte past the limit: a device or a growing file reports no honest size.
    const QByteArray bytes = file.read(kMaxProtocolFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure(
            WithFileName(QStringLiteral("Die Datei kann nicht gelesen werden"), fileName));
    if (bytes.size() > kMaxProtocolFileBytes)
        return Failure(
            WithFileName(QStringLiteral("Die Datei ist zu groß für ein Protokoll"), fileName));
    return Parse(bytes, headerTexts, fileName);
}
