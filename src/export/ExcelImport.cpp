#include "ExcelImport.h"

#include "BiffReader.h"
#include "CompoundFile.h"
#include "ExcelNumberFormat.h"
#include "WorkbookImport.h"
#include "ZipPackage.h"

#include <QDateTime>
#include <QFile>
#include <QHash>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace workbook;
// --- .xlsx -----------------------------------------------------------------------------------

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

struct Relationship {
    QString type;
    QString target;
};
using Relationships = QHash<QString, Relationship>;

// Relationship id -> type and resolved target of the part's relationships; none when the part
// has no relationships part, nothing at all when that part cannot be read.
std::optional<Relationships> ReadRelationships(ZipPackageReader& package, const QString& part,
                                               QString* reason) {
    Relationships result;
    const QString name = RelationshipsPartOf(part);
    if (!package.Contains(name)) return result;
    XmlPart rels;
    if (!rels.Load(package, name, reason)) return std::nullopt;
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

QString Find(const Relationships& relationships, QStringView typeEnd) {
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

std::optional<qsizetype> Index(const char* text) {
    bool ok = false;
    const qsizetype i = QByteArray(text).trimmed().toLongLong(&ok);
    if (!ok || i < 0) return std::nullopt;
    return i;
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
    // Each string is decoded once, however many cells use it; the cells share its text.
    std::optional<QString> At(const char* index) {
        const std::optional<qsizetype> i = Index(index);
        if (!i || size_t(*i) >= items_.size()) return std::nullopt;
        auto cached = decoded_.find(*i);
        if (cached == decoded_.end()) cached = decoded_.insert(*i, StringItem(items_[size_t(*i)]));
        return *cached;
    }

private:
    XmlPart part_;
    std::vector<pugi::xml_node> items_;
    QHash<qsizetype, QString> decoded_;
};

// The number format of each cell style, which alone tells a date from a number.
class CellStyles {
public:
    bool Load(ZipPackageReader& package, const QString& part, QString* reason) {
        if (part.isEmpty() || !package.Contains(part)) return true;
        XmlPart styles;
        if (!styles.Load(package, part, reason)) return false;
        QHash<int, NumberKind> codes;
        for (pugi::xml_node format : Child(styles.Root(), "numFmts").children())
            if (Is(format, "numFmt"))
                codes.insert(
                    format.attribute("numFmtId").as_int(-1),
                    NumberFormatKind(QString::fromUtf8(format.attribute("formatCode").value())));
        for (pugi::xml_node xf : Child(styles.Root(), "cellXfs").children()) {
            if (!Is(xf, "xf")) continue;
            const int id = xf.attribute("numFmtId").as_int(0);
            kinds_.push_back(codes.value(id, BuiltInNumberFormatKind(id)));
        }
        return true;
    }
    NumberKind Kind(const pugi::xml_attribute style) const {
        const std::optional<qsizetype> i =
            style ? Index(style.value()) : std::optional<qsizetype>(0);
        return i && size_t(*i) < kinds_.size() ? kinds_[size_t(*i)] : NumberKind::Number;
    }

private:
    std::vector<NumberKind> kinds_;
};

struct XlsxContext {
    SharedStrings strings;
    CellStyles styles;
    bool date1904 = false;
};

std::optional<QString> XlsxCellText(const pugi::xml_node cell, XlsxContext& context) {
    const QByteArray type = cell.attribute("t").value();
    const char* value = Child(cell, "v").text().get();
    if (type == "s") return *value ? context.strings.At(value) : QString();
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
    return FormattedNumberText(number, context.styles.Kind(cell.attribute("s")), context.date1904);
}

ProtocolReadResult ParseXlsx(ZipPackageReader& package, const QString& fileName) {
    QString reason;
    const std::optional<Relationships> packageRelations =
        ReadRelationships(package, QString(), &reason);
    if (!packageRelations) return Failure(fileName, reason);
    const QString workbookPart = Find(*packageRelations, u"/officeDocument");
    if (workbookPart.isEmpty() || !package.Contains(workbookPart))
        return Failure(fileName, kNoWorkbook);
    const std::optional<Relationships> workbookRelations =
        ReadRelationships(package, workbookPart, &reason);
    if (!workbookRelations) return Failure(fileName, reason);

    XmlPart workbook;
    if (!workbook.Load(package, workbookPart, &reason)) return Failure(fileName, reason);
    // The first worksheet in the workbook's own order; chart sheets do not count.
    QString sheetPart;
    for (pugi::xml_node sheet : Child(workbook.Root(), "sheets").children()) {
        const Relationship relation =
            workbookRelations->value(QString::fromUtf8(RelationshipId(sheet)));
        if (relation.type.endsWith(u"/worksheet")) {
            sheetPart = relation.target;
            break;
        }
    }
    if (sheetPart.isEmpty() || !package.Contains(sheetPart)) return Failure(fileName, kNoSheet);

    XlsxContext context;
    // Workbooks from the old Macintosh Excel count days from 1904.
    context.date1904 = Child(workbook.Root(), "workbookPr").attribute("date1904").as_bool();
    if (!context.strings.Load(package, Find(*workbookRelations, u"/sharedStrings"), &reason) ||
        !context.styles.Load(package, Find(*workbookRelations, u"/styles"), &reason))
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
            std::optional<QString> text = XlsxCellText(cell, context);
            if (!text) return Failure(fileName, kDamaged);
            cells[column - 1] = std::move(*text);
        }
        next = builder.Add(std::move(cells));
        ++expected;
    }
    return builder.Finish(fileName, next);
}

ProtocolReadResult ParseZip(const QByteArray& bytes, const QString& fileName) {
    ZipPackageReader package;
    if (!package.Open(bytes)) return Failure(fileName, package.Error());
    const std::optional<QByteArray> type = OpenDocumentType(package);
    if (!type) return ParseXlsx(package, fileName);
    // Templates (.ots) hold sheets as well; texts and drawings do not.
    if (type->isEmpty() || type->startsWith("application/vnd.oasis.opendocument.spreadsheet"))
        return ParseOds(package, fileName);
    return Failure(fileName, kNoWorkbook);
}

// --- .xls ------------------------------------------------------------------------------------

ProtocolReadResult ParseXls(const QByteArray& bytes, const QString& fileName) {
    CompoundFile file;
    if (!file.Open(bytes)) return Failure(fileName, kDamaged);
    // Excel 97 names the stream "Workbook", Excel 5.0 and 95 "Book"; a file saved for both keeps
    // both, and the newer is read. Some writers mix the names up: the records tell the version.
    int stream = file.FindStream(u"Workbook");
    const bool bookStream = stream < 0;
    if (bookStream) stream = file.FindStream(u"Book");
    if (stream < 0) {
        // An encrypted .xlsx is a compound file too.
        if (file.FindStream(u"EncryptedPackage") >= 0) return Failure(fileName, kEncrypted);
        return Failure(fileName, kNoWorkbook);
    }
    const std::optional<QByteArray> workbook = file.ReadStream(stream);
    if (!workbook) return Failure(fileName, kDamaged);

    const BiffSheet sheet = ReadBiffWorksheet(*workbook, kProtocolColumns, bookStream);
    switch (sheet.status) {
    case BiffStatus::Ok:
        break;
    case BiffStatus::Encrypted:
        return Failure(fileName, kEncrypted);
    case BiffStatus::OldVersion:
        return Failure(fileName, kOldVersion);
    case BiffStatus::NoSheet:
        return Failure(fileName, kNoSheet);
    case BiffStatus::Damaged:
        return Failure(fileName, kDamaged);
    }

    ProtocolBuilder builder;
    ProtocolBuilder::Next next = ProtocolBuilder::Next::More;
    for (quint32 row = 0; next == ProtocolBuilder::Next::More; ++row) {
        const auto cells = sheet.rows.find(row);
        next =
            builder.Add(cells != sheet.rows.end() ? cells->second : QStringList(kProtocolColumns));
    }
    return builder.Finish(fileName, next);
}

// Excel 2 to 4 wrote bare record streams, no compound file around them.
bool IsOldBiff(const QByteArray& bytes) {
    if (bytes.size() < 4 || bytes[0] != '\x09') return false;
    const char version = bytes[1];
    const int size = quint8(bytes[2]) | quint8(bytes[3]) << 8;
    return (version == '\x00' || version == '\x02' || version == '\x04') && size >= 4 && size <= 16;
}

} // namespace

ProtocolReadResult ParseExcelWorkbook(const QByteArray& bytes, const QString& fileName) {
    try {
        // The content decides, not the name: a workbook saved under the wrong extension
        // still loads.
        if (bytes.startsWith("PK\x03\x04")) return ParseZip(bytes, fileName);
        if (bytes.startsWith(QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
            return ParseXls(bytes, fileName);
        if (IsOldBiff(bytes)) return Failure(fileName, kOldVersion);
        return Failure(fileName, kNoWorkbook);
    } catch (const std::bad_alloc&) {
        return Failure(fileName, kNoMemory);
    }
}

ProtocolReadResult ReadExcelWorkbook(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(fileName, file.exists()
                                     ? QStringLiteral("Die Datei kann nicht gelesen werden.")
                                     : QStringLiteral("Die Datei existiert nicht."));
    if (file.size() > kMaxWorkbookBytes) return Failure(fileName, kTooLarge);
    // In pieces, so that a file whose size is not known beforehand is bounded too.
    QByteArray bytes;
    try {
        char buffer[64 * 1024];
        for (qint64 got; (got = file.read(buffer, sizeof buffer)) != 0;) {
            if (got < 0)
                return Failure(fileName, QStringLiteral("Die Datei kann nicht gelesen werden."));
            if (bytes.size() + got > kMaxWorkbookBytes) return Failure(fileName, kTooLarge);
            bytes.append(buffer, qsizetype(got));
        }
    } catch (const std::bad_alloc&) {
        return Failure(fileName, kNoMemory);
    }
    return ParseExcelWorkbook(bytes, fileName);
}
