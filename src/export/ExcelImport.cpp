#include "ExcelImport.h"

#include "ZipPackage.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QLocale>

#include <freexl.h>
#include <pugixml.hpp>

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Far above any participant list, low enough that a hostile file cannot exhaust memory.
constexpr qint64 kMaxPartBytes = 64 * 1024 * 1024;
constexpr int kMaxColumnNumber = 16384;

const QString kNoWorkbook =
    QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (.xlsx oder .xls).");
const QString kDamaged = QStringLiteral("Die Arbeitsmappe ist beschädigt.");
const QString kNoSheet = QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt.");

ProtocolReadResult Failure(const QString& fileName, const QString& reason) {
    ProtocolReadResult result;
    result.message =
        QStringLiteral("Die Datei %1 kann nicht geladen werden.\n%2").arg(fileName, reason);
    return result;
}

// Collects sheet rows 1, 2, ... in order and ends before the first row (after row 1) whose
// column A is empty.
class ProtocolBuilder {
public:
    enum class Next { More, Done, TooMany };

    Next Add(QStringList cells) {
        const bool emptyA = cells[0].isEmpty();
        if (rows_.isEmpty()) {
            rows_.append(std::move(cells));
            return emptyA ? Next::Done : Next::More;
        }
        if (emptyA) return Next::Done;
        if (rows_.size() >= kMaxProtocolRows) return Next::TooMany;
        rows_.append(std::move(cells));
        return Next::More;
    }

    ProtocolReadResult Finish() {
        ProtocolReadResult result;
        result.ok = true;
        result.rows = rows_;
        // The table keeps at least one data row, and a header always.
        while (result.rows.size() < 2)
            result.rows.append(QStringList(kProtocolColumns));
        return result;
    }

private:
    ProtocolRows rows_;
};

const QString kTooMany = QStringLiteral("Die Tabelle hat zu viele Zeilen für ein Protokoll.");

// --- .xlsx -----------------------------------------------------------------------------------

const char* LocalName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

bool Is(const pugi::xml_node node, const char* local) {
    return std::strcmp(LocalName(node.name()), local) == 0;
}

pugi::xml_node Child(const pugi::xml_node node, const char* local) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (Is(child, local)) return child;
    return {};
}

// Relationship ids carry a prefix of their own choosing ("r:id").
const char* RelationshipId(const pugi::xml_node node) {
    for (const pugi::xml_attribute attribute : node.attributes())
        if (std::strcmp(LocalName(attribute.name()), "id") == 0 &&
            std::strchr(attribute.name(), ':'))
            return attribute.value();
    return "";
}

// "_x000D_" stands for a character XML cannot carry; "_x005F_" escapes the underscore.
QString DecodeEscapes(const char* utf8) {
    QString text = QString::fromUtf8(utf8);
    if (!text.contains(QStringLiteral("_x"))) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Plain or rich text: the runs joined, phonetic hints left out.
QString StringItem(const pugi::xml_node item) {
    QByteArray text;
    for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
        if (Is(child, "t"))
            text += child.text().get();
        else if (Is(child, "r"))
            text += Child(child, "t").text().get();
    }
    return DecodeEscapes(text.constData());
}

class XmlPart {
public:
    bool Load(ZipPackageReader& package, const QString& name, QString* reason) {
        std::optional<QByteArray> data = package.Read(name, kMaxPartBytes);
        if (!data) {
            *reason = package.Error();
            return false;
        }
        // Parsed in place: the sheet is held once, not twice.
        data_ = std::move(*data);
        if (!document_.load_buffer_inplace(data_.data(), size_t(data_.size()),
                                           pugi::parse_default | pugi::parse_ws_pcdata)) {
            *reason = kDamaged;
            return false;
        }
        return true;
    }
    pugi::xml_node Root() const { return document_.document_element(); }

private:
    QByteArray data_;
    pugi::xml_document document_;
};

struct Relationship {
    QString type;
    QString target;
};

// Relationship id -> type and resolved target of the part's relationships.
QHash<QString, Relationship> Relationships(ZipPackageReader& package, const QString& part) {
    QHash<QString, Relationship> result;
    XmlPart rels;
    QString ignored;
    if (!rels.Load(package, RelationshipsPartOf(part), &ignored)) return result;
    for (pugi::xml_node relation : rels.Root().children()) {
        if (!Is(relation, "Relationship")) continue;
        if (QByteArray(relation.attribute("TargetMode").value()) == "External") continue;
        result.insert(
            QString::fromUtf8(relation.attribute("Id").value()),
            {QString::fromUtf8(relation.attribute("Type").value()),
             ResolvePartTarget(part, QString::fromUtf8(relation.attribute("Target").value()))});
    }
    return result;
}

QString Find(const QHash<QString, Relationship>& relationships, QStringView typeEnd) {
    for (const Relationship& relation : relationships)
        if (relation.type.endsWith(typeEnd)) return relation.target;
    return QString();
}

// "AB12" -> 27; 0 when the reference has no column letters.
int ColumnNumber(const char* reference) {
    int number = 0;
    for (const char* c = reference; *c; ++c) {
        const char upper = char(std::toupper(static_cast<unsigned char>(*c)));
        if (upper < 'A' || upper > 'Z') break;
        number = number * 26 + (upper - 'A' + 1);
        if (number > kMaxColumnNumber) return 0;
    }
    return number;
}

class SharedStrings {
public:
    bool Load(ZipPackageReader& package, const QString& part, QString* reason) {
        if (part.isEmpty() || !package.Contains(part)) return true;
        if (!part_.Load(package, part, reason)) return false;
        for (pugi::xml_node item : part_.Root().children())
            if (Is(item, "si")) items_.push_back(item);
        return true;
    }
    std::optional<QString> At(const char* index) const {
        bool ok = false;
        const qsizetype i = QByteArray(index).trimmed().toLongLong(&ok);
        if (!ok || i < 0 || size_t(i) >= items_.size()) return std::nullopt;
        return StringItem(items_[size_t(i)]);
    }

private:
    XmlPart part_;
    std::vector<pugi::xml_node> items_;
};

std::optional<QString> XlsxCellText(const pugi::xml_node cell, const SharedStrings& strings) {
    const QByteArray type = cell.attribute("t").value();
    const char* value = Child(cell, "v").text().get();
    if (type == "s") return *value ? strings.At(value) : QString();
    if (type == "inlineStr") return StringItem(Child(cell, "is"));
    if (type == "b")
        return QString(*value ? (QByteArray(value).trimmed() == "1" ? QStringLiteral("WAHR")
                                                                    : QStringLiteral("FALSCH"))
                              : QString());
    if (type == "str" || type == "e") return DecodeEscapes(value);
    if (type == "d") {
        const QDateTime when = QDateTime::fromString(QString::fromUtf8(value), Qt::ISODate);
        if (!when.isValid()) return QString::fromUtf8(value);
        return when.time() == QTime(0, 0) ? when.toString(QStringLiteral("dd.MM.yyyy"))
                                          : when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    if (!*value) return QString();
    bool ok = false;
    const double number = QByteArray(value).trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return ExcelNumberText(number);
}

ProtocolReadResult ReadXlsx(const QString& fileName) {
    ZipPackageReader package;
    if (!package.Open(fileName)) return Failure(fileName, package.Error());

    const QString workbookPart = Find(Relationships(package, QString()), u"/officeDocument");
    if (workbookPart.isEmpty() || !package.Contains(workbookPart))
        return Failure(fileName, kNoWorkbook);
    const QHash<QString, Relationship> workbookRelations = Relationships(package, workbookPart);

    QString reason;
    XmlPart workbook;
    if (!workbook.Load(package, workbookPart, &reason)) return Failure(fileName, reason);
    // The first worksheet in the workbook's own order; chart sheets do not count.
    QString sheetPart;
    for (pugi::xml_node sheet : Child(workbook.Root(), "sheets").children()) {
        const Relationship relation =
            workbookRelations.value(QString::fromUtf8(RelationshipId(sheet)));
        if (relation.type.endsWith(u"/worksheet")) {
            sheetPart = relation.target;
            break;
        }
    }
    if (sheetPart.isEmpty() || !package.Contains(sheetPart)) return Failure(fileName, kNoSheet);

    SharedStrings strings;
    if (!strings.Load(package, Find(workbookRelations, u"/sharedStrings"), &reason))
        return Failure(fileName, reason);
    XmlPart sheet;
    if (!sheet.Load(package, sheetPart, &reason)) return Failure(fileName, reason);

    // Only the rows the file really holds are visited, and only up to the end of the protocol:
    // the used range the sheet claims plays no part.
    ProtocolBuilder builder;
    qint64 expected = 1;
    ProtocolBuilder::Next next = ProtocolBuilder::Next::More;
    for (pugi::xml_node row = Child(Child(sheet.Root(), "sheetData"), "row");
         row && next == ProtocolBuilder::Next::More; row = row.next_sibling()) {
        if (!Is(row, "row")) continue;
        const pugi::xml_attribute number = row.attribute("r");
        const qint64 rowNumber = number ? number.as_llong() : expected;
        if (rowNumber < expected) return Failure(fileName, kDamaged);
        // A row the file skips is empty, and so is its column A.
        if (rowNumber > expected) {
            next = builder.Add(QStringList(kProtocolColumns));
            break;
        }
        QStringList cells(kProtocolColumns);
        int column = 0;
        for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
            if (!Is(cell, "c")) continue;
            const pugi::xml_attribute reference = cell.attribute("r");
            column = reference ? ColumnNumber(reference.value()) : column + 1;
            if (column < 1) return Failure(fileName, kDamaged);
            if (column > kProtocolColumns) continue;
            const std::optional<QString> text = XlsxCellText(cell, strings);
            if (!text) return Failure(fileName, kDamaged);
            cells[column - 1] = *text;
        }
        next = builder.Add(std::move(cells));
        ++expected;
    }
    if (next == ProtocolBuilder::Next::TooMany) return Failure(fileName, kTooMany);
    return builder.Finish();
}

// --- .xls ------------------------------------------------------------------------------------

QString XlsCellText(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return ExcelNumberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return QString::fromUtf8(cell.value.text_value);
    case FREEXL_CELL_DATE:
        return QDate::fromString(QString::fromUtf8(cell.value.text_value), Qt::ISODate)
            .toString(QStringLiteral("dd.MM.yyyy"));
    case FREEXL_CELL_DATETIME:
        return QDateTime::fromString(QString::fromUtf8(cell.value.text_value),
                                     QStringLiteral("yyyy-MM-dd hh:mm:ss"))
            .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(cell.value.text_value);
    default:
        return QString();
    }
}

ProtocolReadResult ReadXls(const QString& fileName) {
    const void* handle = nullptr;
    const int opened = freexl_open(QFile::encodeName(fileName).constData(), &handle);
    struct Closer {
        const void* handle;
        ~Closer() {
            if (handle) freexl_close(handle);
        }
    } closer{handle};
    if (opened == FREEXL_INSUFFICIENT_MEMORY)
        return Failure(fileName, QStringLiteral("Nicht genug Arbeitsspeicher."));
    if (opened != FREEXL_OK) return Failure(fileName, kDamaged);

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info != FREEXL_BIFF_PLAIN)
        return Failure(fileName,
                       QStringLiteral("Die Arbeitsmappe ist mit einem Kennwort geschützt."));
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0 ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK)
        return Failure(fileName, kNoSheet);
    unsigned int rowCount = 0;
    unsigned short columnCount = 0;
    if (freexl_worksheet_dimensions(handle, &rowCount, &columnCount) != FREEXL_OK)
        return Failure(fileName, kDamaged);

    ProtocolBuilder builder;
    ProtocolBuilder::Next next = ProtocolBuilder::Next::More;
    const unsigned short columns = std::min<unsigned short>(columnCount, kProtocolColumns);
    for (unsigned int row = 0; next == ProtocolBuilder::Next::More; ++row) {
        QStringList cells(kProtocolColumns);
        for (unsigned short column = 0; row < rowCount && column < columns; ++column) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(handle, row, column, &cell) != FREEXL_OK)
                return Failure(fileName, kDamaged);
            cells[column] = XlsCellText(cell);
        }
        next = builder.Add(std::move(cells));
    }
    if (next == ProtocolBuilder::Next::TooMany) return Failure(fileName, kTooMany);
    return builder.Finish();
}

} // namespace

QString ExcelNumberText(double value) {
    if (!std::isfinite(value)) return QString();
    if (value == 0) return QStringLiteral("0");
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    // Whole numbers of sheet size are written out, not in exponent form.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return german.toString(qint64(value));
    return german.toString(value, 'g', 15);
}

ProtocolReadResult ReadExcelWorkbook(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(fileName, file.exists()
                                     ? QStringLiteral("Die Datei kann nicht gelesen werden.")
                                     : QStringLiteral("Die Datei existiert nicht."));
    // The content decides, not the name: a workbook saved under the wrong extension still loads.
    const QByteArray magic = file.read(8);
    file.close();
    if (magic.startsWith("PK\x03\x04")) return ReadXlsx(fileName);
    if (magic == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) return ReadXls(fileName);
    return Failure(fileName, kNoWorkbook);
}
