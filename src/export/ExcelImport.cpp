#include "ExcelImport.h"

#include "BiffReader.h"
#include "CompoundFile.h"
#include "ExcelNumberFormat.h"
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

// Far above any participant list, low enough that a hostile file cannot exhaust memory.
constexpr qint64 kMaxPartBytes = 64 * 1024 * 1024;
constexpr qint64 kMaxWorkbookBytes = 64 * 1024 * 1024;
constexpr int kMaxColumnNumber = 16384;
// Excel's own limit for one cell.
constexpr qsizetype kMaxCellCharacters = 32767;
// 64 MB of text: one shared string used in every cell must not multiply into gigabytes.
constexpr qint64 kMaxImportedCharacters = 32 * 1024 * 1024;

const QString kNoWorkbook = QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (.xlsx oder "
                                           ".xls) und keine OpenDocument-Tabelle (.ods).");
const QString kDamaged = QStringLiteral("Die Arbeitsmappe ist beschädigt.");
const QString kNoSheet = QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt.");
const QString kEncrypted = QStringLiteral("Die Arbeitsmappe ist mit einem Kennwort geschützt.");
const QString kOldVersion =
    QStringLiteral("Die Arbeitsmappe stammt aus einer Excel-Version vor Excel 5.0 und kann nicht "
                   "gelesen werden. Bitte in Excel als .xlsx speichern.");
const QString kTooMany = QStringLiteral("Die Tabelle hat zu viele Zeilen für ein Protokoll.");
const QString kCellTooLong =
    QStringLiteral("Eine Zelle der Tabelle enthält mehr als 32767 Zeichen.");
const QString kTooMuchText = QStringLiteral("Die Tabelle enthält zu viel Text für ein Protokoll.");
const QString kNoMemory = QStringLiteral("Nicht genug Arbeitsspeicher.");
const QString kTooLarge = QStringLiteral("Die Datei ist zu groß für ein Protokoll.");

ProtocolReadResult Failure(const QString& fileName, const QString& reason) {
    ProtocolReadResult result;
    result.message =
        QStringLiteral("Die Datei %1 kann nicht geladen werden.\n%2").arg(fileName, reason);
    return result;
}

bool IsStrayControl(QChar c) {
    return c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r';
}

// Collects sheet rows 1, 2, ... in order and ends before the first row (after row 1) whose
// column A is empty. It is also where every cell text passes, so the limits hold for both
// formats alike.
class ProtocolBuilder {
public:
    enum class Next { More, Done, TooMany, CellTooLong, TooMuchText };

    Next Add(QStringList cells) {
        for (QString& cell : cells) {
            if (std::any_of(cell.cbegin(), cell.cend(), IsStrayControl))
                cell.removeIf(IsStrayControl);
            if (cell.size() > kMaxCellCharacters) return Next::CellTooLong;
        }
        const bool emptyA = cells[0].isEmpty();
        if (rows_.isEmpty()) return Keep(std::move(cells), emptyA ? Next::Done : Next::More);
        if (emptyA) return Next::Done;
        if (rows_.size() >= kMaxProtocolRows) return Next::TooMany;
        return Keep(std::move(cells), Next::More);
    }

    ProtocolReadResult Finish(const QString& fileName, Next last) {
        switch (last) {
        case Next::TooMany:
            return Failure(fileName, kTooMany);
        case Next::CellTooLong:
            return Failure(fileName, kCellTooLong);
        case Next::TooMuchText:
            return Failure(fileName, kTooMuchText);
        default:
            break;
        }
        ProtocolReadResult result;
        result.ok = true;
        result.rows = rows_;
        // The table keeps at least one data row, and a header always.
        while (result.rows.size() < 2)
            result.rows.append(QStringList(kProtocolColumns));
        return result;
    }

private:
    Next Keep(QStringList cells, Next next) {
        for (const QString& cell : cells)
            characters_ += cell.size();
        if (characters_ > kMaxImportedCharacters) return Next::TooMuchText;
        rows_.append(std::move(cells));
        return next;
    }

    ProtocolRows rows_;
    qint64 characters_ = 0;
};

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
        const pugi::xml_parse_result parsed = document_.load_buffer_inplace(
            data_.data(), size_t(data_.size()), pugi::parse_default | pugi::parse_ws_pcdata);
        if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
        if (!parsed) {
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

// --- .ods ------------------------------------------------------------------------------------

// The attributes read, named with the prefixes the document declares for their namespaces.
struct OdsAttributes {
    explicit OdsAttributes(const pugi::xml_node root) {
        std::string office = "office:", table = "table:", text = "text:", calcext = "calcext:";
        for (const pugi::xml_attribute attribute : root.attributes()) {
            const std::string_view name = attribute.name();
            if (!name.starts_with("xmlns:")) continue;
            const std::string prefix = std::string(name.substr(6)) + ':';
            const std::string_view uri = attribute.value();
            if (uri == "urn:oasis:names:tc:opendocument:xmlns:office:1.0") office = prefix;
            if (uri == "urn:oasis:names:tc:opendocument:xmlns:table:1.0") table = prefix;
            if (uri == "urn:oasis:names:tc:opendocument:xmlns:text:1.0") text = prefix;
            if (uri == "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0")
                calcext = prefix;
        }
        valueType = office + "value-type";
        value = office + "value";
        dateValue = office + "date-value";
        timeValue = office + "time-value";
        booleanValue = office + "boolean-value";
        stringValue = office + "string-value";
        rowsRepeated = table + "number-rows-repeated";
        columnsRepeated = table + "number-columns-repeated";
        spaces = text + "c";
        calcValueType = calcext + "value-type";
    }
    std::string valueType, value, dateValue, timeValue, booleanValue, stringValue;
    std::string rowsRepeated, columnsRepeated, spaces, calcValueType;
};

// How often a row or cell stands for itself; 1 when the count is missing or makes no sense.
qint64 Repeats(const pugi::xml_node node, const std::string& attribute) {
    return std::max<qint64>(1, node.attribute(attribute.c_str()).as_llong(1));
}

bool IsXmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// A paragraph's text as the cell shows it: spans and links give their text, <text:s/> its
// spaces, tabs and line breaks their characters; notes are not shown. White space in the XML
// itself collapses to one space and is dropped at the start, as the format wants. Walked
// without recursion, and no longer than a cell may be, so that neither deep nesting nor a
// repeated space of a billion can hurt.
void AppendParagraph(const pugi::xml_node paragraph, const OdsAttributes& names, QString& out) {
    bool spaceBefore = true;
    pugi::xml_node node = paragraph.first_child();
    while (node && out.size() <= kMaxCellCharacters) {
        bool descend = false;
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            for (const QChar c : QString::fromUtf8(node.value())) {
                const bool space = IsXmlSpace(c);
                if (space && spaceBefore) continue;
                out += space ? QChar(u' ') : c;
                spaceBefore = space;
            }
        } else if (node.type() == pugi::node_element) {
            if (Is(node, "s")) {
                const qint64 count = std::clamp<qint64>(
                    node.attribute(names.spaces.c_str()).as_llong(1), 1, kMaxCellCharacters + 1);
                out += QString(qsizetype(count), u' ');
                spaceBefore = false;
            } else if (Is(node, "tab")) {
                out += u'\t';
                spaceBefore = false;
            } else if (Is(node, "line-break")) {
                out += u'\n';
                spaceBefore = false;
            } else {
                descend = !Is(node, "note") && !Is(node, "annotation");
            }
        }
        if (descend && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != paragraph && !node.next_sibling())
            node = node.parent();
        node = node == paragraph ? pugi::xml_node() : node.next_sibling();
    }
}

// The cell's paragraphs, one line each.
QString ShownText(const pugi::xml_node cell, const OdsAttributes& names) {
    QString text;
    bool first = true;
    for (pugi::xml_node paragraph = cell.first_child(); paragraph;
         paragraph = paragraph.next_sibling()) {
        if (!Is(paragraph, "p") && !Is(paragraph, "h")) continue;
        if (!first) text += u'\n';
        first = false;
        AppendParagraph(paragraph, names, text);
        if (text.size() > kMaxCellCharacters) break;
    }
    return text;
}

// "PT14H30M05.5S", "P1DT2H", "-PT1H": a time value in seconds.
std::optional<double> DurationSeconds(QByteArrayView text) {
    const bool negative = text.startsWith('-');
    if (negative) text = text.sliced(1);
    if (!text.startsWith('P')) return std::nullopt;
    double seconds = 0;
    bool inTime = false;
    qsizetype start = 1;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == 'T' && i == start) {
            inTime = true;
            start = i + 1;
            continue;
        }
        if ((c >= '0' && c <= '9') || c == '.') continue;
        bool ok = false;
        const double number = text.sliced(start, i - start).toByteArray().toDouble(&ok);
        if (!ok || number < 0) return std::nullopt;
        if (c == 'D' && !inTime)
            seconds += number * 86400;
        else if (c == 'H' && inTime)
            seconds += number * 3600;
        else if (c == 'M' && inTime)
            seconds += number * 60;
        else if (c == 'S' && inTime)
            seconds += number;
        else
            return std::nullopt; // years and months have no fixed length
        start = i + 1;
    }
    if (start != text.size() || !std::isfinite(seconds)) return std::nullopt;
    return negative ? -seconds : seconds;
}

// The value of a cell as the .xlsx path gives it; where a format would decide there, the text
// the cell shows does: whether a date shows its time, and whether a time counts hours past 24.
QString OdsCellText(const pugi::xml_node cell, const OdsAttributes& names) {
    const QString shown = ShownText(cell, names);
    const QByteArray type = cell.attribute(names.valueType.c_str()).value();
    if (QByteArrayView(cell.attribute(names.calcValueType.c_str()).value()) == "error")
        return shown;
    if (type == "float" || type == "percentage" || type == "currency") {
        bool ok = false;
        const double value =
            QByteArray(cell.attribute(names.value.c_str()).value()).trimmed().toDouble(&ok);
        return ok ? ExcelNumberText(value) : shown;
    }
    if (type == "boolean") {
        const QByteArray value = QByteArray(cell.attribute(names.booleanValue.c_str()).value());
        if (value == "true" || value == "1") return QStringLiteral("WAHR");
        if (value == "false" || value == "0") return QStringLiteral("FALSCH");
        return shown;
    }
    if (type == "date") {
        const QDateTime when = QDateTime::fromString(
            QString::fromUtf8(cell.attribute(names.dateValue.c_str()).value()), Qt::ISODateWithMs);
        if (!when.isValid()) return shown;
        // Rounded to the second shown, which may well be the next day.
        const qint64 total = (when.time().msecsSinceStartOfDay() + 500) / 1000;
        const QDate date = when.date().addDays(total / 86400);
        const QTime time = QTime(0, 0).addSecs(int(total % 86400));
        const QString day = date.toString(QStringLiteral("dd.MM.yyyy"));
        const bool showsTime = shown.isEmpty() ? total % 86400 != 0 : shown.contains(u':');
        return showsTime ? day + u' ' + time.toString(QStringLiteral("hh:mm:ss")) : day;
    }
    if (type == "time") {
        const std::optional<double> seconds =
            DurationSeconds(cell.attribute(names.timeValue.c_str()).value());
        if (!seconds || std::fabs(*seconds) > 1e15) return shown;
        // Hours past a day are shown only by a format counting elapsed time ("254:24:00");
        // others show the time of day.
        const qsizetype digits =
            std::find_if_not(shown.cbegin(), shown.cend(), [](QChar c) { return c.isDigit(); }) -
            shown.cbegin();
        const bool elapsed = *seconds < 0 || shown.left(digits).toLongLong() >= 24;
        return FormattedNumberText(*seconds / 86400,
                                   elapsed ? NumberKind::Duration : NumberKind::Time, false);
    }
    // Texts as shown; a few writers give a formula's text result as a value only.
    const pugi::xml_attribute stringValue = cell.attribute(names.stringValue.c_str());
    return shown.isEmpty() && stringValue ? QString::fromUtf8(stringValue.value()) : shown;
}

bool IsRowGroup(const pugi::xml_node node) {
    return Is(node, "table-header-rows") || Is(node, "table-row-group") || Is(node, "table-rows");
}

// The table's rows in order, also those in (nested) groups; walked without recursion.
pugi::xml_node NextRow(pugi::xml_node node, const pugi::xml_node table) {
    do {
        if ((node == table || IsRowGroup(node)) && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != table && !node.next_sibling())
            node = node.parent();
        node = node == table ? pugi::xml_node() : node.next_sibling();
    } while (node && !Is(node, "table-row"));
    return node;
}

// A document saved with a password keeps content.xml encrypted; its manifest says so.
bool IsEncrypted(ZipPackageReader& package) {
    const QString name = QStringLiteral("META-INF/manifest.xml");
    XmlPart manifest;
    QString ignored;
    if (!package.Contains(name) || !manifest.Load(package, name, &ignored)) return false;
    for (const pugi::xml_node entry : manifest.Root().children()) {
        if (!Is(entry, "file-entry") || !Child(entry, "encryption-data")) continue;
        for (const pugi::xml_attribute attribute : entry.attributes())
            if (std::strcmp(LocalName(attribute.name()), "full-path") == 0 &&
                SamePartName(QString::fromUtf8(attribute.value()), QStringLiteral("content.xml")))
                return true;
    }
    return false;
}

ProtocolReadResult ParseOds(ZipPackageReader& package, const QString& fileName) {
    if (IsEncrypted(package)) return Failure(fileName, kEncrypted);
    XmlPart content;
    QString reason;
    if (!content.Load(package, QStringLiteral("content.xml"), &reason))
        return Failure(fileName, reason);
    const pugi::xml_node table =
        Child(Child(Child(content.Root(), "body"), "spreadsheet"), "table");
    if (!table) return Failure(fileName, kNoSheet);
    const OdsAttributes names(content.Root());

    // Repeats are never multiplied out: cells only into the protocol's columns, rows only until
    // the protocol ends (the trailing empty rows of a sheet come as one row repeated a million
    // times).
    ProtocolBuilder builder;
    ProtocolBuilder::Next next = ProtocolBuilder::Next::More;
    for (pugi::xml_node row = NextRow(table, table); row && next == ProtocolBuilder::Next::More;
         row = NextRow(row, table)) {
        QStringList cells(kProtocolColumns);
        qint64 column = 0;
        for (pugi::xml_node cell = row.first_child(); cell && column < kProtocolColumns;
             cell = cell.next_sibling()) {
            const bool covered = Is(cell, "covered-table-cell");
            if (!covered && !Is(cell, "table-cell")) continue;
            const qint64 end =
                std::min<qint64>(column + Repeats(cell, names.columnsRepeated), kProtocolColumns);
            // Cells a merged cell covers are empty, as in the other formats.
            const QString text = covered ? QString() : OdsCellText(cell, names);
            for (; column < end; ++column)
                cells[column] = text;
        }
        const qint64 repeats =
            std::min<qint64>(Repeats(row, names.rowsRepeated), kMaxProtocolRows + 1);
        for (qint64 i = 0; i < repeats && next == ProtocolBuilder::Next::More; ++i)
            next = builder.Add(cells);
    }
    return builder.Finish(fileName, next);
}

// OpenDocument names its kind in the part "mimetype"; a package without it still has content.xml
// and no package relationships. Nothing when the package is none of its kind.
std::optional<QByteArray> OpenDocumentType(ZipPackageReader& package) {
    if (package.Contains(QStringLiteral("mimetype")))
        if (const std::optional<QByteArray> type = package.Read(QStringLiteral("mimetype"), 256))
            return type->trimmed();
    if (package.Contains(QStringLiteral("content.xml")) &&
        !package.Contains(QStringLiteral("_rels/.rels")))
        return QByteArray();
    return std::nullopt;
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
