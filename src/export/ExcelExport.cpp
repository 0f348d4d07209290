#include "ExcelExport.h"

#include "SaveBytes.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>

namespace {

constexpr int kMaxSheetNameLength = 31;
// The sheet format's limits.
constexpr qsizetype kMaxCellText = 32767;
constexpr qsizetype kMaxSheetRows = 1048576;
constexpr qsizetype kMaxWorkbookBytes = 256 * 1024 * 1024;

// XML cannot carry most control characters, and the library would reject overlong cells.
QByteArray CellUtf8(const QString& text) {
    QString clean = text.left(kMaxCellText);
    if (clean.size() == kMaxCellText && clean.back().isHighSurrogate()) clean.chop(1);
    for (QChar& c : clean)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n') c = u' ';
    return clean.toUtf8();
}

// A rough fit: the widest text in characters of the default font, a little padding, and a
// bolder header. The desktop program measures nothing when it opens the file.
double ColumnWidth(const QList<QStringList>& block, int column) {
    double widest = 0;
    for (qsizetype row = 0; row < block.size(); ++row) {
        const QString& text = block[row][column];
        double width = 0;
        for (const QStringView line : QStringView(text).split(u'\n'))
            width = std::max(width, double(line.size()));
        if (row == 0) width *= 1.1;
        widest = std::max(widest, width);
    }
    return std::clamp(widest + 1.0, 3.0, 80.0);
}

// The limit counts characters, not UTF-16 units; never cut a pair in half.
QString CutToCharacters(const QString& text, int characters) {
    qsizetype units = 0;
    for (int counted = 0; units < text.size() && counted < characters; ++counted)
        units += text[units].isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return text.left(units);
}

QString LibraryError(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

QString Failure(const QString& reason) {
    return QStringLiteral("Die Excel-Arbeitsmappe kann nicht erstellt werden.\n") + reason;
}

} // namespace

QList<QStringList> ExcelCellBlock(const ProtocolRows& rows, const QList<bool>& visibleColumns) {
    QList<QStringList> block;
    block.reserve(rows.size());
    for (const QStringList& row : rows) {
        QStringList packed(kProtocolColumns);
        int next = 0;
        for (int column = 0; column < kProtocolColumns; ++column)
            if (visibleColumns.value(column, true)) packed[next++] = row.value(column);
        block.append(packed);
    }
    return block;
}

QString ExcelSheetName(const QString& wanted, const QString& fallback) {
    QString name;
    for (const QChar c : wanted)
        name += QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20 ? QChar(u'_') : c;
    name = CutToCharacters(name, kMaxSheetNameLength);
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    if (name.trimmed().isEmpty() ||
        name.compare(QStringLiteral("History"), Qt::CaseInsensitive) == 0)
        name = fallback;
    return name;
}

QStringList ExcelSheetNames(const QStringList& wanted, const QString& fallback) {
    QStringList names;
    QSet<QString> taken;
    for (const QString& text : wanted) {
        const QString base = ExcelSheetName(text, fallback);
        QString name = base;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = CutToCharacters(base, kMaxSheetNameLength - int(suffix.size())) + suffix;
        }
        taken.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

std::optional<QByteArray> ExcelSheetsBytes(const QList<ExcelSheet>& sheets,
                                           const QString& eventTitle, const QString& programTitle,
                                           QString* error) {
    auto fail = [&](const QString& reason) -> std::optional<QByteArray> {
        if (error) *error = Failure(reason);
        return std::nullopt;
    };

    // The library writes only to a named file; it goes to a private folder and is read back,
    // so the target is replaced in one step and never left half written.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/rennuhr-XXXXXX"));
    if (!folder.isValid())
        return fail(QStringLiteral("Der temporäre Ordner ist nicht beschreibbar."));
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("mappe.xlsx")));
    QByteArray tmpdir = QFile::encodeName(folder.path());
    lxw_workbook_options options{};
    options.tmpdir = tmpdir.data();
    lxw_workbook* workbook = workbook_new_opt(path.constData(), &options);
    if (!workbook) return fail(QStringLiteral("Nicht genug Arbeitsspeicher."));

    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_border(header, LXW_BORDER_MEDIUM);
    lxw_format* cell = workbook_add_format(workbook);
    format_set_border(cell, LXW_BORDER_THIN);
    lxw_format* marked = workbook_add_format(workbook);
    format_set_border(marked, LXW_BORDER_THIN);
    format_set_bg_color(marked, kMarkColor);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);

    lxw_error status = LXW_NO_ERROR;
    for (const ExcelSheet& content : sheets) {
        const QByteArray sheetName = content.name.toUtf8();
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetName.constData());
        if (!sheet) {
            status = LXW_ERROR_MEMORY_MALLOC_FAILED;
            break;
        }
        int columns = 0;
        for (const QStringList& row : content.rows)
            columns = std::max(columns, int(row.size()));
        QList<QStringList> block = content.rows;
        for (QStringList& row : block)
            if (row.size() < columns) row.resize(columns);
        QSet<std::pair<int, int>> notedCells;
        for (const ExcelSheet::Note& note : content.notes)
            notedCells.insert({note.row, note.column});

        if (!block.isEmpty()) status = worksheet_set_row(sheet, 0, LXW_DEF_ROW_HEIGHT, bold);
        for (qsizetype row = 0; row < block.size() && status == LXW_NO_ERROR; ++row) {
            for (int column = 0; column < columns && status == LXW_NO_ERROR; ++column) {
                lxw_format* format = row == 0                                  ? header
                                     : notedCells.contains({int(row), column}) ? marked
                                                                               : cell;
                const QString& text = block[row][column];
                bool whole = false;
                const qint64 number =
                    content.numberColumns.contains(column) && row > 0 ? text.toLongLong(&whole) : 0;
                // Texts stay texts: "01" and "0,500" must come back as they were written.
                if (whole && QString::number(number) == text)
                    status = worksheet_write_number(sheet, lxw_row_t(row), lxw_col_t(column),
                                                    double(number), format);
                else if (text.isEmpty())
                    status =
                        worksheet_write_blank(sheet, lxw_row_t(row), lxw_col_t(column), format);
                else
                    status = worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(column),
                                                    CellUtf8(text).constData(), format);
            }
        }
        for (const ExcelSheet::Note& note : content.notes)
            if (status == LXW_NO_ERROR)
                status = worksheet_write_comment(sheet, lxw_row_t(note.row), lxw_col_t(note.column),
                                                 CellUtf8(note.text).constData());
        for (int column = 0; column < columns && status == LXW_NO_ERROR; ++column)
            status = worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                          ColumnWidth(block, column), nullptr);
        if (status != LXW_NO_ERROR) break;
    }

    const QByteArray title = eventTitle.toUtf8();
    const QByteArray subject = programTitle.toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    properties.subject = const_cast<char*>(subject.constData());
    properties.author = const_cast<char*>("Tempiqo Software");
    if (status == LXW_NO_ERROR) status = workbook_set_properties(workbook, &properties);

    if (status != LXW_NO_ERROR) {
        workbook_close(workbook);
        return fail(LibraryError(status));
    }
    status = workbook_close(workbook);
    if (status != LXW_NO_ERROR) return fail(LibraryError(status));

    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Die Arbeitsmappe kann nicht gelesen werden."));
    const QByteArray bytes = file.read(kMaxWorkbookBytes + 1);
    if (bytes.size() > kMaxWorkbookBytes || file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Die Arbeitsmappe kann nicht gelesen werden."));
    return bytes;
}

std::optional<QByteArray> ExcelWorkbookBytes(const ExcelWorkbookContent& content, QString* error) {
    if (content.rows.size() > kMaxSheetRows) {
        if (error)
            *error =
                Failure(QStringLiteral("Das Protokoll hat mehr Zeilen als ein Tabellenblatt."));
        return std::nullopt;
    }
    const ExcelSheet sheet{ExcelSheetName(content.programTitle),
                           ExcelCellBlock(content.rows, content.visibleColumns),
                           {},
                           {}};
    return ExcelSheetsBytes({sheet}, content.eventTitle, content.programTitle, error);
}

FileWriteResult WriteExcelWorkbook(const QString& fileName, const ExcelWorkbookContent& content) {
    QString error;
    const std::optional<QByteArray> bytes = ExcelWorkbookBytes(content, &error);
    if (!bytes) return {false, error};
    return SaveFileBytes(fileName, *bytes);
}

ExcelTempFileResult WriteExcelWorkbookToTemp(const ExcelWorkbookContent& content) {
    ExcelTempFileResult result;
    const std::optional<QByteArray> bytes = ExcelWorkbookBytes(content, &result.message);
    if (!bytes) return result;
    // A new name each time: the spreadsheet program may still hold the previous file open.
    QTemporaryFile file(QDir::tempPath() + u'/' + ExcelSheetName(content.programTitle) +
                        QStringLiteral("-Protokoll-XXXXXX.xlsx"));
    file.setAutoRemove(false);
    if (!file.open() || file.write(*bytes) != bytes->size() || !file.flush()) {
        const bool full = file.error() == QFileDevice::ResourceError;
        if (!file.fileName().isEmpty()) file.remove();
        result.message =
            WriteErrorText(file.fileName().isEmpty() ? QDir::tempPath() : file.fileName()) + u'\n' +
            (full ? QStringLiteral("Der Datenträger ist voll.")
                  : QStringLiteral("Der temporäre Ordner ist nicht beschreibbar."));
        return result;
    }
    result.ok = true;
    result.fileName = file.fileName();
    return result;
}
