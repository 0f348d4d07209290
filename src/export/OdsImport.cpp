// OpenDocument spreadsheets (.ods): the first table of content.xml, as the workbook import
// reads its other formats.
#include "WorkbookImport.h"

#include "ExcelNumberFormat.h"

#include <QDateTime>

#include <cmath>
#include <string>
#include <string_view>

namespace workbook {
namespace {

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

} // namespace

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

std::optional<QByteArray> OpenDocumentType(ZipPackageReader& package) {
    if (package.Contains(QStringLiteral("mimetype")))
        if (const std::optional<QByteArray> type = package.Read(QStringLiteral("mimetype"), 256))
            return type->trimmed();
    if (package.Contains(QStringLiteral("content.xml")) &&
        !package.Contains(QStringLiteral("_rels/.rels")))
        return QByteArray();
    return std::nullopt;
}

} // namespace workbook
