#include "FileNotices.h"

void TFileNotices::AddKind(const QString& failure, Matcher matches) {
    kinds_.append({failure, std::move(matches), {}, {}});
}

void TFileNotices::Written(const QString& fileName, const FileWriteResult& result) {
    for (Kind& kind : kinds_) {
        if (!kind.matches(fileName)) continue;
        QString line, detail;
        if (!result.ok) {
            // A failure without a reason still needs its notice.
            line = kind.failure + QStringLiteral(": ") +
                   (result.reason.isEmpty() ? QStringLiteral("Schreibfehler") : result.reason);
            detail = result.message;
        }
        if (line == kind.line && detail == kind.detail) return;
        kind.line = line;
        kind.detail = detail;
        emit Changed();
        return;
    }
}

QStringList TFileNotices::Lines() const {
    QStringList lines;
    for (const Kind& kind : kinds_)
        if (!kind.line.isEmpty()) lines << kind.line;
    return lines;
}

QString TFileNotices::Details() const {
    QStringList details;
    for (const Kind& kind : kinds_)
        if (!kind.line.isEmpty())
            details << (kind.detail.isEmpty() ? kind.line : kind.line + u'\n' + kind.detail);
    return details.join(u'\n');
}
