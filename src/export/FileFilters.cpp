#include "FileFilters.h"

#include <QMimeDatabase>

namespace {

QString Description(const QMimeDatabase& database, const QString& mimeName,
                    const QString& fallback) {
    const QMimeType type = database.mimeTypeForName(mimeName);
    const QString comment = type.isValid() ? type.comment().trimmed() : QString();
    return comment.isEmpty() ? fallback : comment;
}

QString Fallback(const QString& name, const char* fallback) {
    return name.trimmed().isEmpty() ? QString::fromUtf8(fallback) : name;
}

FileFilterEntry Entry(ProtocolFileKind kind, const QString& description, const char* fallback,
                      const char* pattern) {
    const QString patterns = QLatin1String(pattern);
    return {kind, Fallback(description, fallback) + QStringLiteral(" (") + patterns + u')',
            patterns.section(u' ', 0, 0).mid(2)};
}

} // namespace

FileTypeNames SystemFileTypeNames() {
    const QMimeDatabase database;
    return {
        Description(database, QStringLiteral("text/plain"), QStringLiteral("Textdatei")),
        Description(
            database,
            QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
            QStringLiteral("MS Excel")),
        Description(database,
                    QStringLiteral(
                        "application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
                    QStringLiteral("MS Word")),
        Description(database, QStringLiteral("text/html"), QStringLiteral("Webseite")),
        Description(database, QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"),
                    QStringLiteral("OpenDocument-Tabelle")),
    };
}

QList<FileFilterEntry> OpenDialogFilters(const FileTypeNames& names, bool withExcel) {
    QList<FileFilterEntry> entries{Entry(ProtocolFileKind::Text, names.text, "Textdatei", "*.txt")};
    // Older participant lists still come as .xls; only .xlsx is written.
    if (withExcel)
        entries.append(Entry(ProtocolFileKind::Excel, names.excel, "MS Excel", "*.xlsx *.xls"));
    entries.append(
        Entry(ProtocolFileKind::Excel, names.openDocument, "OpenDocument-Tabelle", "*.ods"));
    return entries;
}

QList<FileFilterEntry> SaveDialogFilters(const FileTypeNames& names, bool withExcel) {
    QList<FileFilterEntry> entries{Entry(ProtocolFileKind::Text, names.text, "Textdatei", "*.txt")};
    if (withExcel)
        entries.append(Entry(ProtocolFileKind::Excel, names.excel, "MS Excel", "*.xlsx"));
    entries.append(Entry(ProtocolFileKind::Word, names.word, "MS Word", "*.docx"));
    entries.append(Entry(ProtocolFileKind::Html, names.html, "Webseite", "*.html"));
    return entries;
}

QStringList NameFilters(const QList<FileFilterEntry>& entries) {
    QStringList filters;
    for (const FileFilterEntry& entry : entries)
        filters.append(entry.filter);
    return filters;
}
