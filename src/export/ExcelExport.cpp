#include "ExcelExport.h"

#include "SaveBytes.h"

#include <QDir>
#include <QFile>
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

QString ExcelSheetName(const QString& programTitle) {
    QString name;
    for (const QChar c : programTitle)
        name += QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20 ? QChar(u'_') : c;
    // The limit counts characters, not UTF-16 units; never cut a pair in half.
    qsizetype units = 0;
    for (int characters = 0; units < name.size() && characters < kMaxSheetNameLength; ++characters)
        units += name[units].isHighSurrogate() && units + 1 < name.size() ? 2 : 1;
    name.truncate(units);
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    if (name.trimmed().isEmpty() ||
        name.compare(QStringLiteral("History"), Qt::CaseInsensitive) == 0)
        name = QStringLiteral("Protokoll");
    return name;
}

std::optional<QByteArray> ExcelWorkbookBytes(const ExcelWorkbookContent& content, QString* error) {
    auto fail = [&](const QString& reason) -> std::optional<QByteArray> {
        if (error) *error = Failure(reason);
        return std::nullopt;
    };
    if (content.rows.size() > kMaxSheetRows)
        return fail(QStringLiteral("Das Protokoll hat mehr Zeilen als ein Tabellenblatt."));
    const QList<QStringList> block = ExcelCellBlock(content.rows, content.visibleColumns);

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

    const QByteArray sheetName = ExcelSheetName(content.programTitle).toUtf8();
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetName.constData());
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_border(header, LXW_BORDER_MEDIUM);
    lxw_format* cell = workbook_add_format(workbook);
    format_set_border(cell, LXW_BORDER_THIN);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);

    lxw_error status = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (sheet && !block.isEmpty()) status = worksheet_set_row(sheet, 0, LXW_DEF_ROW_HEIGHT, bold);
    for (qsizetype row = 0; row < block.size() && status == LXW_NO_ERROR; ++row) {
        for (int column = 0; column < kProtocolColumns && status == LXW_NO_ERROR; ++column) {
            lxw_format* format = row == 0 ? header : cell;
            const QString& text = block[row][column];
            // Texts stay texts: "01" and "0,500" must come back as they were written.
            status = text.isEmpty()
                         ? worksheet_write_blank(sheet, lxw_row_t(row), lxw_col_t(column), format)
                         : worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(column),
                                                  CellUtf8(text).constData(), format);
        }
    }
    for (int column = 0; column < kProtocolColumns && status == LXW_NO_ERROR; ++column)
        status = worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                      ColumnWidth(block, column), nullptr);

    const QByteArray title = content.eventTitle.toUtf8();
    const QByteArray subject = content.programTitle.toUtf8();
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
