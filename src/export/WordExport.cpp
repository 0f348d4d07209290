#include "WordExport.h"

#include "SaveBytes.h"
#include "ZipPackage.h"

#include <QFileInfo>
#include <QLocale>

#include <pugixml.hpp>

#include <algorithm>
#include <sstream>

namespace {

const char* const kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const kOfficeDocumentType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr qint64 kMaxTemplatePart = 64 * 1024 * 1024;
constexpr qint64 kMaxTemplateTotal = 256 * 1024 * 1024;

const char* const kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "</Types>";

const char* const kPackageRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/>"
    "</Relationships>";

// A plain A4 page with 2 cm margins.
const char* const kPlainDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:body><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
    "<w:pgMar w:top=\"1134\" w:right=\"1134\" w:bottom=\"1134\" w:left=\"1134\" w:header=\"709\" "
    "w:footer=\"709\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";

QString WithoutControls(const QString& text) {
    QString clean = text;
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const char16_t c = clean[i].unicode();
        // XML 1.0 cannot carry these; lone surrogates would not survive UTF-8, pairs do.
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF)
            clean[i] = u' ';
        else if (clean[i].isHighSurrogate() && i + 1 < clean.size() &&
                 clean[i + 1].isLowSurrogate())
            ++i;
        else if (clean[i].isSurrogate())
            clean[i] = QChar(0xFFFD);
    }
    return clean;
}

QString LocalName(const char* name) {
    const QString full = QString::fromUtf8(name);
    return full.mid(full.indexOf(u':') + 1);
}

// Builds WordprocessingML with whatever prefix the document binds to the namespace.
class Writer {
public:
    explicit Writer(QString prefix) : prefix_(std::move(prefix)) {}

    pugi::xml_node Add(pugi::xml_node parent, const char* name) const {
        return parent.append_child(Name(name).constData());
    }
    pugi::xml_node AddBefore(pugi::xml_node parent, pugi::xml_node before, const char* name) const {
        return before ? parent.insert_child_before(Name(name).constData(), before)
                      : Add(parent, name);
    }
    void Set(pugi::xml_node node, const char* attribute, const char* value) const {
        node.append_attribute(Name(attribute).constData()) = value;
    }
    pugi::xml_node Property(pugi::xml_node parent, const char* name, const char* value) const {
        pugi::xml_node node = Add(parent, name);
        if (value) Set(node, "val", value);
        return node;
    }
    void Run(pugi::xml_node paragraph, const QString& text, bool bold) const {
        if (text.isEmpty()) return;
        pugi::xml_node run = Add(paragraph, "r");
        if (bold) Add(Add(run, "rPr"), "b");
        pugi::xml_node t = Add(run, "t");
        // Leading and trailing blanks (a cell holding one space) must stay.
        t.append_attribute("xml:space") = "preserve";
        t.text().set(WithoutControls(text).toUtf8().constData());
    }

private:
    QByteArray Name(const char* local) const {
        return prefix_.isEmpty() ? QByteArray(local) : prefix_.toUtf8() + ':' + local;
    }
    QString prefix_;
};

void Borders(const Writer& w, pugi::xml_node parent) {
    pugi::xml_node borders = w.Add(parent, "tblBorders");
    for (const char* edge : {"top", "left", "bottom", "right", "insideH", "insideV"}) {
        pugi::xml_node border = w.Property(borders, edge, "single");
        w.Set(border, "sz", "4");
        w.Set(border, "space", "0");
        w.Set(border, "color", "auto");
    }
}

void AppendContent(const Writer& w, pugi::xml_node body, pugi::xml_node before,
                   const WordDocumentContent& content) {
    w.Run(w.AddBefore(body, before, "p"), content.eventTitle, false);
    w.Run(w.AddBefore(body, before, "p"), QStringLiteral("Datum: ") + GermanLongDate(content.date),
          false);
    w.AddBefore(body, before, "p");

    QList<int> columns;
    for (int column = 0; column < kProtocolColumns; ++column)
        if (content.visibleColumns.value(column, true)) columns.append(column);
    if (columns.isEmpty() || content.rows.isEmpty()) return;

    pugi::xml_node table = w.AddBefore(body, before, "tbl");
    pugi::xml_node properties = w.Add(table, "tblPr");
    pugi::xml_node width = w.Add(properties, "tblW");
    w.Set(width, "w", "5000");
    w.Set(width, "type", "pct");
    Borders(w, properties);
    // Column widths share the text width of an A4 page by the longest text of each column,
    // so that "Vorname" does not break while "Win" stays narrow.
    QList<qsizetype> longest(columns.size(), 4);
    for (const QStringList& row : content.rows)
        for (qsizetype i = 0; i < columns.size(); ++i)
            longest[i] =
                std::max(longest[i], std::min<qsizetype>(row.value(columns[i]).size(), 40));
    qsizetype total = 0;
    for (const qsizetype length : longest)
        total += length + 4;
    QList<QByteArray> widths;
    pugi::xml_node grid = w.Add(table, "tblGrid");
    for (const qsizetype length : longest) {
        widths.append(QByteArray::number(9638 * (length + 4) / total));
        w.Set(w.Add(grid, "gridCol"), "w", widths.last().constData());
    }

    for (qsizetype r = 0; r < content.rows.size(); ++r) {
        pugi::xml_node row = w.Add(table, "tr");
        // The header row repeats on every page of a long protocol.
        if (r == 0) w.Add(w.Add(row, "trPr"), "tblHeader");
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const int column = columns[i];
            pugi::xml_node cell = w.Add(row, "tc");
            pugi::xml_node cellWidth = w.Add(w.Add(cell, "tcPr"), "tcW");
            w.Set(cellWidth, "w", widths[i].constData());
            w.Set(cellWidth, "type", "dxa");
            // Every cell needs a paragraph, even an empty one.
            w.Run(w.Add(cell, "p"), content.rows[r].value(column), r == 0);
        }
    }
    // A table must not be the last thing before the section properties.
    w.AddBefore(body, before, "p");
}

QString WordPrefix(const pugi::xml_node root) {
    for (const pugi::xml_attribute attribute : root.attributes()) {
        const QString name = QString::fromUtf8(attribute.name());
        if (QByteArray(attribute.value()) != kWordNamespace) continue;
        if (name == QStringLiteral("xmlns")) return QString();
        if (name.startsWith(QStringLiteral("xmlns:"))) return name.mid(6);
    }
    return QStringLiteral("w");
}

std::optional<QByteArray> FillDocument(const QByteArray& xml, const WordDocumentContent& content) {
    pugi::xml_document document;
    if (!document.load_buffer(xml.constData(), size_t(xml.size()),
                              pugi::parse_default | pugi::parse_declaration |
                                  pugi::parse_ws_pcdata))
        return std::nullopt;
    const pugi::xml_node root = document.document_element();
    if (LocalName(root.name()) != QStringLiteral("document")) return std::nullopt;
    pugi::xml_node body;
    for (pugi::xml_node child : root.children())
        if (LocalName(child.name()) == QStringLiteral("body")) body = child;
    if (!body) return std::nullopt;
    // The content goes after the template's own text, before its last section properties.
    pugi::xml_node before = body.last_child();
    while (before && before.type() != pugi::node_element)
        before = before.previous_sibling();
    if (before && LocalName(before.name()) != QStringLiteral("sectPr")) before = pugi::xml_node();
    AppendContent(Writer(WordPrefix(root)), body, before, content);

    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    const std::string text = out.str();
    return QByteArray(text.data(), qsizetype(text.size()));
}

QString MainDocumentPart(ZipPackageReader& package) {
    const std::optional<QByteArray> rels =
        package.Read(QStringLiteral("_rels/.rels"), kMaxTemplatePart);
    pugi::xml_document document;
    if (rels && document.load_buffer(rels->constData(), size_t(rels->size())))
        for (pugi::xml_node relation : document.document_element().children())
            if (QByteArray(relation.attribute("Type").value()) == kOfficeDocumentType)
                return ResolvePartTarget(QString(),
                                         QString::fromUtf8(relation.attribute("Target").value()));
    return QString();
}

std::optional<QByteArray> FromTemplate(const WordDocumentContent& content, QString* reason) {
    ZipPackageReader package;
    if (!package.Open(content.templatePath)) {
        *reason = package.Error();
        return std::nullopt;
    }
    const QString main = MainDocumentPart(package);
    const QString damaged = QStringLiteral("Die Vorlage ist kein Word-Dokument (.docx).");
    if (main.isEmpty() || !package.Contains(main)) {
        *reason = damaged;
        return std::nullopt;
    }
    QList<ZipPart> parts;
    qint64 total = 0;
    for (const QString& name : package.Names()) {
        if (name.endsWith(u'/')) continue;
        std::optional<QByteArray> data = package.Read(name, kMaxTemplatePart);
        if (!data || (total += data->size()) > kMaxTemplateTotal) {
            *reason = data ? QStringLiteral("Die Vorlage ist zu groß.") : package.Error();
            return std::nullopt;
        }
        if (SamePartName(name, main)) {
            data = FillDocument(*data, content);
            if (!data) {
                *reason = damaged;
                return std::nullopt;
            }
        } else if (name == QStringLiteral("[Content_Types].xml")) {
            // A template saved as .dotx would make the result a template too.
            data->replace("wordprocessingml.template.main+xml",
                          "wordprocessingml.document.main+xml");
        }
        parts.append({name, *data});
    }
    return BuildZipPackage(parts);
}

} // namespace

QString GermanLongDate(const QDate& date) {
    return QLocale(QLocale::German, QLocale::Germany)
        .toString(date, QStringLiteral("dddd, d. MMMM yyyy"));
}

QString WordTemplateName() {
    return QStringLiteral("Protokollvorlage.docx");
}

std::optional<QByteArray> WordDocumentBytes(const WordDocumentContent& content, QString* error) {
    QString reason;
    std::optional<QByteArray> bytes;
    if (!content.templatePath.isEmpty() && QFileInfo(content.templatePath).isFile()) {
        bytes = FromTemplate(content, &reason);
        if (!bytes) {
            if (error)
                *error = QStringLiteral("Die Vorlage %1 kann nicht verwendet werden.\n%2")
                             .arg(content.templatePath, reason);
            return std::nullopt;
        }
        return bytes;
    }
    const std::optional<QByteArray> document = FillDocument(kPlainDocument, content);
    if (document)
        bytes = BuildZipPackage({{QStringLiteral("[Content_Types].xml"), kContentTypes},
                                 {QStringLiteral("_rels/.rels"), kPackageRelationships},
                                 {QStringLiteral("word/document.xml"), *document}});
    if (!bytes && error) *error = QStringLiteral("Das Word-Dokument kann nicht erstellt werden.");
    return bytes;
}

FileWriteResult WriteWordDocument(const QString& fileName, const WordDocumentContent& content) {
    QString error;
    const std::optional<QByteArray> bytes = WordDocumentBytes(content, &error);
    if (!bytes) return {false, error};
    return SaveFileBytes(fileName, *bytes);
}
