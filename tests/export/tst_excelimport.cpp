#include "TestMain.h"

#include "export/ExcelImport.h"
#include "export/ExcelNumberFormat.h"
#include "export/ZipPackage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define RENNUHR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RENNUHR_ASAN 1
#endif
#endif

namespace {

const QByteArray kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    "<Relationship Id=\"rId9\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>\n"
    "</Relationships>";

// Two worksheets; the workbook lists "sheet2.xml" first, so that one is the first worksheet.
const QByteArray kWorkbook =
    "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"\n"
    " xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">\n"
    "<x:sheets><x:sheet name=\"Liste\" sheetId=\"2\" rel:id=\"rIdB\"/><x:sheet name=\"Alt\" "
    "sheetId=\"1\" rel:id=\"rIdA\"/></x:sheets>\n"
    "</x:workbook>";

const QByteArray kSheetRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    "<Relationship Id=\"rIdA\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>\n"
    "<Relationship Id=\"rIdB\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"/xl/worksheets/sheet2.xml\"/>\n"
    "<Relationship Id=\"rIdS\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>\n"
    "<Relationship Id=\"rIdT\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>\n"
    "</Relationships>";

const QByteArray kSharedStrings =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n"
    "<si><t>St.Nr.</t></si><si><t>Name</t></si>\n"
    "<si><r><t>Mül</t></r><r><rPr><b/></rPr><t>ler</t></r><rPh><t>PHONETIC</t></rPh></si>\n"
    "<si><t xml:space=\"preserve\"> Zeile_x000D_Ende </t></si>\n"
    "</sst>";

QByteArray Sheet(const QByteArray& rows, const QByteArray& dimension = "A1:K3") {
    return "<worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><dimension ref=\"" +
           dimension + "\"/><sheetData>" + rows + "</sheetData></worksheet>";
}

QList<ZipPart> WorkbookParts(const QByteArray& sheet, const QByteArray& otherSheet = Sheet("")) {
    return {{"_rels/.rels", kWorkbookRels},
            {"xl/workbook.xml", kWorkbook},
            {"xl/_rels/workbook.xml.rels", kSheetRels},
            {"xl/sharedStrings.xml", kSharedStrings},
            {"xl/worksheets/sheet1.xml", otherSheet},
            {"xl/worksheets/sheet2.xml", sheet}};
}

QByteArray Workbook(const QByteArray& sheet, const QByteArray& otherSheet = Sheet("")) {
    return *BuildZipPackage(WorkbookParts(sheet, otherSheet));
}

QByteArray WithPart(QList<ZipPart> parts, const QString& name, const QByteArray& data) {
    for (ZipPart& part : parts)
        if (part.name == name) part.data = data;
    if (std::none_of(parts.cbegin(), parts.cend(),
                     [&](const ZipPart& p) { return p.name == name; }))
        parts.append({name, data});
    return *BuildZipPackage(parts);
}

// One cell A1 holding the number, with style 1 using the given number format: a built-in id
// or a format code of its own.
QByteArray StyledNumber(const QByteArray& format, const QByteArray& value, bool date1904) {
    bool builtIn = false;
    const int id = format.toInt(&builtIn);
    const QByteArray styles =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
        (builtIn ? QByteArray()
                 : "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"" +
                       QString::fromUtf8(format).toHtmlEscaped().toUtf8() + "\"/></numFmts>") +
        "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"" +
        QByteArray::number(builtIn ? id : 164) +
        "\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
    QList<ZipPart> parts =
        WorkbookParts(Sheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>" + value + "</v></c></row>"));
    parts.append({"xl/styles.xml", styles});
    QByteArray workbook = kWorkbook;
    if (date1904) workbook.replace("<x:sheets>", "<x:workbookPr date1904=\"true\"/><x:sheets>");
    return WithPart(parts, "xl/workbook.xml", workbook);
}

// Local and central directory header of a package entry.
std::pair<qsizetype, qsizetype> EntryHeaders(const QByteArray& zip, const QByteArray& name) {
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(zip.constData() + at); };
    std::pair<qsizetype, qsizetype> found{-1, -1};
    for (qsizetype at = 0; (at = zip.indexOf("PK", at)) >= 0 && at + 46 <= zip.size(); ++at) {
        if (zip.mid(at, 4) == "PK\x03\x04" && u16(at + 26) == name.size() &&
            zip.mid(at + 30, name.size()) == name)
            found.first = at;
        if (zip.mid(at, 4) == "PK\x01\x02" && u16(at + 28) == name.size() &&
            zip.mid(at + 46, name.size()) == name)
            found.second = at;
    }
    return found;
}

// --- a small BIFF8 and compound-file writer ------------------------------------------------

QByteArray Le16(int value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}
QByteArray Le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}
QByteArray F64(double value) {
    QByteArray bytes(8, '\0');
    qToLittleEndian<quint64>(std::bit_cast<quint64>(value), bytes.data());
    return bytes;
}

QByteArray Record(int id, const QByteArray& body) {
    return Le16(id) + Le16(int(body.size())) + body;
}
QByteArray Bof(int type, int version = 0x0600) {
    return Record(0x0809, Le16(version) + Le16(type) + QByteArray(12, '\0'));
}
const QByteArray kEof = Record(0x000A, {});

// A string with a 16-bit length, in one-byte characters where they all fit.
QByteArray UString(const QString& text) {
    const bool wide =
        std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    QByteArray bytes = Le16(int(text.size())) + char(wide ? 1 : 0);
    for (const QChar c : text)
        bytes += wide ? Le16(c.unicode()) : QByteArray(1, char(c.unicode()));
    return bytes;
}

QByteArray Cell(int id, int row, int column, int xf, const QByteArray& rest) {
    return Record(id, Le16(row) + Le16(column) + Le16(xf) + rest);
}
QByteArray Number(int row, int column, double value, int xf = 0) {
    return Cell(0x0203, row, column, xf, F64(value));
}
QByteArray Rk(int row, int column, quint32 rk, int xf = 0) {
    return Cell(0x027E, row, column, xf, Le32(rk));
}
QByteArray Label(int row, int column, const QString& text) {
    return Cell(0x0204, row, column, 0, UString(text));
}
QByteArray LabelSst(int row, int column, quint32 index) {
    return Cell(0x00FD, row, column, 0, Le32(index));
}
QByteArray BoolErr(int row, int column, int value, bool error) {
    return Cell(0x0205, row, column, 0, QByteArray(1, char(value)) + char(error ? 1 : 0));
}
// A formula record with its cached result and an empty expression.
QByteArray Formula(int row, int column, const QByteArray& result, int xf = 0) {
    return Cell(0x0006, row, column, xf, result + Le16(0) + Le32(0) + Le16(0));
}
// A result that is no number: 0 text (in the STRING record after it), 1 boolean, 2 error,
// 3 empty text.
QByteArray Special(int type, int value = 0) {
    return QByteArray(1, char(type)) + '\0' + char(value) + QByteArray(3, '\0') + Le16(0xFFFF);
}
QByteArray StringResult(const QString& text) {
    return Record(0x0207, UString(text));
}

// The shared strings, cut into records of at most `limit` bytes. Characters that go on in a
// CONTINUE record are written there two bytes wide, as Excel does for some texts.
QByteArray Sst(const QStringList& strings, qsizetype limit = 8224) {
    QList<QByteArray> pieces = {Le32(quint32(strings.size())) + Le32(quint32(strings.size()))};
    for (const QString& text : strings) {
        if (pieces.last().size() + 3 > limit) pieces.append(QByteArray());
        pieces.last() += Le16(int(text.size())) + '\0';
        bool wide = false;
        for (const QChar c : text) {
            if (pieces.last().size() + (wide ? 2 : 1) > limit) {
                pieces.append(QByteArray(1, '\1'));
                wide = true;
            }
            pieces.last() += wide ? Le16(c.unicode()) : QByteArray(1, char(c.unicode()));
        }
    }
    QByteArray records = Record(0x00FC, pieces.takeFirst());
    for (const QByteArray& piece : pieces)
        records += Record(0x003C, piece);
    return records;
}

// Excel 5.0 and 95 (BIFF5) keep 8-bit texts in the workbook's code page, without flag bytes.
QByteArray ByteString(const QByteArray& bytes, int lengthBytes = 2) {
    return (lengthBytes == 1 ? QByteArray(1, char(bytes.size())) : Le16(int(bytes.size()))) + bytes;
}
QByteArray Label5(int row, int column, const QByteArray& bytes, int xf = 0) {
    return Cell(0x0204, row, column, xf, ByteString(bytes));
}
// A text with formatting runs: their count, then two bytes each.
QByteArray RichString5(int row, int column, const QByteArray& bytes) {
    return Cell(0x00D6, row, column, 0, ByteString(bytes) + '\2' + QByteArray(4, '\1'));
}
QByteArray StringResult5(const QByteArray& bytes) {
    return Record(0x0207, ByteString(bytes));
}
QByteArray Format5(int id, const QByteArray& code) {
    return Record(0x041E, Le16(id) + ByteString(code, 1));
}
QByteArray Xf5(int format) {
    return Record(0x00E0, Le16(0) + Le16(format) + QByteArray(12, '\0'));
}
QByteArray CodePage(int codePage) {
    return Record(0x0042, Le16(codePage));
}

struct XlsSheet {
    QByteArray records;
    int type = 0; // 0 worksheet, 2 chart sheet
};

// The workbook stream: globals (BOF, the given records, the sheet list, EOF), then the sheets.
QByteArray WorkbookStream(const QByteArray& globals, const QList<XlsSheet>& sheets,
                          int version = 0x0600) {
    // The sheet's name is "S": in BIFF8 with a flag byte, in BIFF5 without.
    const auto boundSheet = [version](quint32 at, int type) {
        return Record(0x0085, Le32(at) + '\0' + char(type) +
                                  (version == 0x0500 ? QByteArray("\1S") : QByteArray("\1\0S", 3)));
    };
    const QByteArray head = Bof(0x0005, version) + globals;
    const qsizetype start = head.size() + sheets.size() * boundSheet(0, 0).size() + kEof.size();
    QByteArray list;
    QByteArray bodies;
    for (const XlsSheet& sheet : sheets) {
        list += boundSheet(quint32(start + bodies.size()), sheet.type);
        bodies += Bof(sheet.type == 2 ? 0x0020 : 0x0010, version) + sheet.records + kEof;
    }
    return head + list + kEof + bodies;
}

QByteArray DirectoryEntry(const QString& name, int type, quint32 right, quint32 child,
                          quint32 start, quint32 size) {
    QByteArray entry;
    for (const QChar c : name)
        entry += Le16(c.unicode());
    entry.resize(64, '\0');
    entry += Le16(name.isEmpty() ? 0 : int(name.size() + 1) * 2) + char(type) + '\1';
    entry += Le32(0xFFFFFFFF) + Le32(right) + Le32(child) + QByteArray(36, '\0');
    return entry + Le32(start) + Le32(size) + Le32(0);
}

struct CompoundLayout {
    int sectorShift = 9;    // 12: version 4, with sectors of 4096 bytes
    bool miniStream = true; // false: small streams in ordinary sectors too, as some writers do
};

// A compound file with the streams in its root storage. The damage tests rely on the layout of
// small files: sector 0 holds the FAT, sector 1 the directory (root first, then the streams),
// then the mini FAT and the mini stream when a stream is under 4096 bytes, then the large
// streams one after the other. Files too large for one FAT sector get more, listed in the
// header and, beyond 109 of them, in DIFAT sectors at the end.
QByteArray Compound(const QList<std::pair<QString, QByteArray>>& streams,
                    CompoundLayout layout = {}) {
    constexpr quint32 kEnd = 0xFFFFFFFE;
    constexpr quint32 kFree = 0xFFFFFFFF;
    const int sectorSize = 1 << layout.sectorShift;
    const quint32 perSector = quint32(sectorSize / 4);
    const auto sectorsFor = [&](qsizetype bytes) {
        return quint32((bytes + sectorSize - 1) / sectorSize);
    };
    const auto inMini = [&](const QByteArray& data) {
        return layout.miniStream && !data.isEmpty() && data.size() < 4096;
    };

    // The mini stream and its FAT.
    QByteArray mini;
    QByteArray miniFat;
    std::vector<quint32> starts;
    for (const auto& [name, data] : streams) {
        if (!inMini(data)) {
            starts.push_back(kEnd);
            continue;
        }
        const quint32 first = quint32(mini.size() / 64);
        const quint32 count = quint32((data.size() + 63) / 64);
        for (quint32 i = 0; i < count; ++i)
            miniFat += Le32(i + 1 < count ? first + i + 1 : kEnd);
        mini += data;
        mini.resize(qsizetype(first + count) * 64, '\0');
        starts.push_back(first);
    }

    // Sector counts first: the FAT sectors come first and move everything after them.
    const quint32 directorySectors = sectorsFor((streams.size() + 1) * 128);
    quint32 dataSectors = directorySectors + sectorsFor(miniFat.size()) + sectorsFor(mini.size());
    for (const auto& [name, data] : streams)
        if (!inMini(data)) dataSectors += sectorsFor(data.size());
    const auto difatFor = [&](quint32 fatSectors) {
        return fatSectors <= 109 ? 0 : (fatSectors - 109 + perSector - 2) / (perSector - 1);
    };
    quint32 fatSectors = 1;
    while (fatSectors * perSector < fatSectors + dataSectors + difatFor(fatSectors))
        ++fatSectors;
    const quint32 difatSectors = difatFor(fatSectors);

    std::vector<quint32> fat(fatSectors, 0xFFFFFFFD);
    QByteArray sectors;
    const auto chain = [&](QByteArray data) -> quint32 {
        if (data.isEmpty()) return kEnd;
        const quint32 first = quint32(fat.size());
        const quint32 count = sectorsFor(data.size());
        for (quint32 i = 0; i < count; ++i)
            fat.push_back(i + 1 < count ? first + i + 1 : kEnd);
        data.resize(qsizetype(count) * sectorSize, '\0');
        sectors += data;
        return first;
    };
    QByteArray directory =
        DirectoryEntry("Root Entry", 5, 0xFFFFFFFF, streams.isEmpty() ? 0xFFFFFFFF : 1, 0, 0);
    directory.resize(qsizetype(directorySectors) * sectorSize, '\0'); // written below
    const quint32 directoryStart = chain(directory);
    const quint32 miniFatStart = chain(miniFat);
    const quint32 miniStart = chain(mini);
    for (qsizetype i = 0; i < streams.size(); ++i)
        if (!inMini(streams[i].second)) starts[size_t(i)] = chain(streams[i].second);

    directory = DirectoryEntry("Root Entry", 5, 0xFFFFFFFF, streams.isEmpty() ? 0xFFFFFFFF : 1,
                               miniStart, quint32(mini.size()));
    for (qsizetype i = 0; i < streams.size(); ++i)
        directory += DirectoryEntry(
            streams[i].first, 2, i + 1 < streams.size() ? quint32(i + 2) : 0xFFFFFFFF, 0xFFFFFFFF,
            starts[size_t(i)], quint32(streams[i].second.size()));
    while (directory.size() < qsizetype(directorySectors) * sectorSize)
        directory += DirectoryEntry({}, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0);
    sectors.replace(0, directory.size(), directory);

    // The DIFAT sectors list the FAT sectors the header has no room for.
    const quint32 difatStart = quint32(fat.size());
    QByteArray difat;
    for (quint32 d = 0; d < difatSectors; ++d) {
        fat.push_back(0xFFFFFFFC);
        for (quint32 i = 0; i < perSector - 1; ++i) {
            const quint32 listed = 109 + d * (perSector - 1) + i;
            difat += Le32(listed < fatSectors ? listed : kFree);
        }
        difat += Le32(d + 1 < difatSectors ? difatStart + d + 1 : kEnd);
    }
    QByteArray fatBytes;
    for (const quint32 next : fat)
        fatBytes += Le32(next);
    fatBytes.resize(qsizetype(fatSectors) * sectorSize, '\xFF');

    QByteArray header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += QByteArray(16, '\0') + Le16(0x3E) + Le16(layout.sectorShift == 12 ? 4 : 3) +
              Le16(0xFFFE) + Le16(layout.sectorShift) + Le16(6) + QByteArray(6, '\0');
    header += Le32(layout.sectorShift == 12 ? directorySectors : 0) + Le32(fatSectors) +
              Le32(directoryStart) + Le32(0) + Le32(4096);
    header += Le32(miniFatStart) + Le32(sectorsFor(miniFat.size())) +
              Le32(difatSectors ? difatStart : kEnd) + Le32(difatSectors);
    for (quint32 i = 0; i < 109; ++i)
        header += Le32(i < fatSectors ? i : kFree);
    header.resize(sectorSize, '\0');
    return header + fatBytes + sectors + difat;
}

// --- OpenDocument spreadsheets ----------------------------------------------------------------

const QByteArray kOdsNamespaces =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\"";

// content.xml with the given rows as its first table; a second table follows.
QByteArray OdsContent(const QByteArray& rows, const QByteArray& namespaces = kOdsNamespaces) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content " + namespaces +
           " office:version=\"1.3\"><office:body><office:spreadsheet>"
           "<table:table table:name=\"Liste\"><table:table-column "
           "table:number-columns-repeated=\"11\"/>" +
           rows +
           "</table:table><table:table table:name=\"Andere\"><table:table-row><table:table-cell "
           "office:value-type=\"string\"><text:p>falsch</text:p></table:table-cell>"
           "</table:table-row></table:table></office:spreadsheet></office:body>"
           "</office:document-content>";
}

const QByteArray kOdsManifest =
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
    "<manifest:file-entry manifest:full-path=\"/\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
    "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
    "</manifest:manifest>";

QList<ZipPart> OdsParts(const QByteArray& content) {
    return {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"META-INF/manifest.xml", kOdsManifest},
            {"content.xml", content},
            {"Thumbnails/thumbnail.png", QByteArray("\x89PNG").repeated(50)}};
}

QByteArray Ods(const QByteArray& rows) {
    return *BuildZipPackage(OdsParts(OdsContent(rows)));
}

QByteArray OdsRow(const QByteArray& cells, const QByteArray& attributes = {}) {
    return "<table:table-row" + attributes + ">" + cells + "</table:table-row>";
}
QByteArray OdsText(const QByteArray& paragraphs, const QByteArray& attributes = {}) {
    return "<table:table-cell office:value-type=\"string\"" + attributes + ">" + paragraphs +
           "</table:table-cell>";
}
QByteArray OdsString(const QByteArray& text) {
    return OdsText("<text:p>" + text + "</text:p>");
}
// A cell with a value of the given type and the text it shows.
QByteArray OdsValue(const QByteArray& type, const QByteArray& attribute, const QByteArray& value,
                    const QByteArray& shown) {
    return "<table:table-cell office:value-type=\"" + type + "\" office:" + attribute + "=\"" +
           value + "\"><text:p>" + shown + "</text:p></table:table-cell>";
}
QByteArray OdsNumber(const QByteArray& value, const QByteArray& shown = {}) {
    return OdsValue("float", "value", value, shown.isEmpty() ? value : shown);
}

QByteArray junkOf(int size) {
    return QByteArray(size, '\x5A');
}

QByteArray Xls(const QByteArray& globals, const QByteArray& sheet) {
    return Compound({{"Workbook", WorkbookStream(globals, {{sheet}})}});
}

#ifndef RENNUHR_ASAN
// Reads the file in a child process whose address space may grow by no more than `headroom`:
// a reader that sizes anything by the range a sheet claims runs out of memory there.
bool ReadsWithin(const QString& path, qint64 headroom, qsizetype rows) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        alarm(60);
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + rlim_t(headroom);
        const rlimit bound = {limit, limit};
        if (pages == 0 || setrlimit(RLIMIT_AS, &bound) != 0) _exit(2);
        const ProtocolReadResult result = ReadExcelWorkbook(path);
        _exit(result.ok && result.rows.size() == rows ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
#endif

class Files {
public:
    QString Write(const QByteArray& bytes, const QString& name = "liste.xlsx") {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
        return path;
    }

private:
    QTemporaryDir dir_;
};

QStringList Row(std::initializer_list<QString> cells) {
    QStringList row(cells);
    while (row.size() < kProtocolColumns)
        row.append(QString());
    return row;
}

ProtocolRows Read(const QString& path) {
    const ProtocolReadResult result = ReadExcelWorkbook(path);
    if (!result.ok) qWarning() << result.message;
    return result.rows;
}

} // namespace

class ExcelImportTest : public QObject {
    Q_OBJECT
private slots:
    void cellKinds() {
        Files files;
        const QString path = files.Write(Workbook(
            Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c "
                  "r=\"C1\"/></row>\n"
                  "<row r=\"2\"><c r=\"A2\"><v>7</v></c><c r=\"B2\" t=\"s\"><v>2</v></c><c "
                  "r=\"C2\" t=\"inlineStr\"><is><t>Anna</t></is></c>\n"
                  " <c r=\"D2\" t=\"b\"><v>1</v></c><c r=\"E2\"><v>12.345</v></c><c "
                  "r=\"F2\"><v>1234567</v></c><c r=\"G2\"><v>-0.5</v></c>\n"
                  " <c r=\"H2\" t=\"str\"><f>A2*2</f><v>x_y</v></c><c r=\"I2\" "
                  "t=\"e\"><v>#DIV/0!</v></c><c r=\"J2\"><v>1E+20</v></c>\n"
                  " <c r=\"K2\" t=\"s\"><v>3</v></c><c r=\"L2\"><v>99</v></c></row>\n"
                  "<row r=\"3\"><c><v>0.1</v></c><c t=\"b\"><v>0</v></c><c "
                  "r=\"D3\"><f>SUM(A1)</f></c><c><v>3</v></c></row>")));
        QVERIFY(!path.isEmpty());
        const ProtocolRows rows = Read(path);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name"}));
        QCOMPARE(rows[1], Row({"7", "Müller", "Anna", "WAHR", "12,345", "1234567", "-0,5", "x_y",
                               "#DIV/0!", "1E+20", " Zeile\rEnde "}));
        // Cells without a reference follow the one before; a formula without a value is empty.
        QCOMPARE(rows[2], Row({"0,1", "FALSCH", "", "", "3"}));
    }

    void protocolLength() {
        Files files;
        // A2 empty: the header alone, and the table keeps one blank data row.
        ProtocolRows rows = Read(files.Write(
            Workbook(Sheet(
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Nr</t></is></c></row>\n"
                "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>ohne Nummer</t></is></c></row>\n"
                "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>")),
            "a2.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({})}));

        // A1 empty: the first sheet row still becomes the header, nothing after it is read,
        // and blank titles stay blank.
        rows = Read(files.Write(
            Workbook(
                Sheet("<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t>Name</t></is></c></row>\n"
                      "<row r=\"2\"><c r=\"A2\"><v>1</v></c></row>")),
            "a1.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"", "Name"}), Row({})}));

        // A row the file leaves out is an empty row: the protocol ends before it.
        rows = Read(files.Write(Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>\n"
                                               "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row><row "
                                               "r=\"4\"><c r=\"A4\"><v>4</v></c></row>")),
                                "luecke.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({"1"}), Row({"2"})}));

        // An empty sheet: an empty header and one blank row.
        rows = Read(files.Write(Workbook(Sheet("")), "leer.xlsx"));
        QCOMPARE(rows, ProtocolRows({Row({}), Row({})}));
    }

    void hugeClaimedRange() {
        Files files;
        // The used range claims the whole sheet and a styled cell sits in its last row.
        QByteArray rowsXml;
        for (int r = 1; r <= 200; ++r)
            rowsXml += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) +
                       "\"><v>" + QByteArray::number(r) + "</v></c></row>";
        rowsXml +=
            "<row r=\"1048576\" s=\"1\" customFormat=\"1\"><c r=\"XFD1048576\"><v>1</v></c></row>";
        const QString xlsx = files.Write(Workbook(Sheet(rowsXml, "A1:XFD1048576")));

        // An .xls whose DIMENSIONS record claims far more rows than the format holds and all
        // 256 columns, with a cell in the format's last row and column.
        QByteArray records =
            Record(0x0200, Le32(0) + Le32(0x7FFFFFFF) + Le16(0) + Le16(256) + Le16(0));
        for (int r = 0; r < 200; ++r)
            records += Rk(r, 0, quint32(r + 1) << 2 | 2);
        records += Number(65535, 255, 1);
        const QString xls = files.Write(Xls({}, records), "gross.xls");

        // Whatever the sheet claims, a few hundred rows need no more than a few megabytes. (The
        // address sanitizer reserves address space of its own, so no such limit can hold there.)
#ifndef RENNUHR_ASAN
        constexpr qint64 kHeadroom = 128 * 1024 * 1024;
        QVERIFY(ReadsWithin(xlsx, kHeadroom, 200));
        QVERIFY(ReadsWithin(xls, kHeadroom, 200));
#endif
        for (const QString& path : {xlsx, xls}) {
            const ProtocolRows rows = Read(path);
            QCOMPARE(rows.size(), 200);
            QCOMPARE(rows.last()[0], QString("200"));
        }
    }

    void xlsxNumberFormats_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const QByteArray& format, const QByteArray& value,
                            const QString& text, bool date1904 = false) {
            QTest::newRow(name) << format << value << date1904 << text;
        };
        row("date 14", "14", "40520", "08.12.2010");
        row("date and time 22", "22", "40520.5", "08.12.2010 12:00:00");
        row("time 21", "21", "0.6320138888888889", "15:10:06");
        row("duration 46", "46", "10.6", "254:24:00");
        row("duration [hh]:mm", "[hh]:mm", "10.6", "254:24:00");
        row("duration [mm]:ss", "[mm]:ss", "0.5", "12:00:00");
        row("time of day of a long time", "h:mm:ss", "10.6", "14:24:00");
        row("code dd/mm/yyyy", "dd/mm/yyyy", "40520", "08.12.2010");
        row("locale and month name", "[$-407]d. mmmm yyyy", "40520", "08.12.2010");
        row("month alone", "mmmm", "40520", "08.12.2010");
        row("minutes and seconds", "mm:ss.0", "0.000694444", "00:01:00");
        row("am and pm", "h:mm AM/PM", "0.75", "18:00:00");
        row("date and time code", "dd.mm.yyyy hh:mm", "40520.25", "08.12.2010 06:00:00");
        row("east asian date 57", "57", "40520", "08.12.2010");
        row("letters in quotes", "0.0\" d\"", "12.5", "12,5");
        row("escaped letters", "0\\h\\s", "3", "3");
        row("colour and condition", "[Red][<0]-0.00;0.00", "-1.5", "-1,5");
        row("general", "0", "40520", "40520");
        row("1904 system", "14", "39058", "08.12.2010", true);
        row("day 59", "14", "59", "28.02.1900");
        row("day 60 that never was", "14", "60", "29.02.1900");
        row("day 61", "14", "61", "01.03.1900");
        row("before the first day", "14", "-1", "-1");
        row("rounded into the next day", "22", "40520.999999", "09.12.2010 00:00:00");
    }

    void xlsxNumberFormats() {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, value);
        QFETCH(bool, date1904);
        QFETCH(QString, text);
        Files files;
        const ProtocolRows rows = Read(files.Write(StyledNumber(format, value, date1904)));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0], text);
    }

    void xlsCellValues() {
        const QString longTitle = "Name des Fahrers, lang genug für drei Teile";
        const QByteArray globals = Record(0x041E, Le16(164) + UString("dd.mm.yyyy hh:mm")) +
                                   Record(0x00E0, Le16(0) + Le16(0) + QByteArray(16, '\0')) +
                                   Record(0x00E0, Le16(0) + Le16(14) + QByteArray(16, '\0')) +
                                   Record(0x00E0, Le16(0) + Le16(46) + QByteArray(16, '\0')) +
                                   Record(0x00E0, Le16(0) + Le16(164) + QByteArray(16, '\0')) +
                                   Sst({"St.Nr.", longTitle, "Ümit"}, 40);
        const QByteArray mulRk =
            Record(0x00BD, Le16(1) + Le16(4) + Le16(0) + Le32(1234 << 2 | 3) + Le16(1) +
                               Le32(40520 << 2 | 2) + Le16(2) + Le32(1060 << 2 | 3) + Le16(6));
        const QByteArray sheet =
            LabelSst(0, 0, 0) + LabelSst(0, 1, 1) + Label(0, 2, "Vorname") +
            // Row 2: start number, shared and own texts, a text formula, numbers by format,
            // formula results, a boolean.
            Rk(1, 0, 7 << 2 | 2) + LabelSst(1, 1, 2) + Label(1, 2, "Łukasz") +
            Formula(1, 3, Special(0)) + Record(0x04BC, QByteArray(10, '\0')) +
            StringResult("Vespa") + mulRk + Number(1, 7, 40520.5, 3) + Formula(1, 8, F64(3.5)) +
            Formula(1, 9, Special(1, 1)) + BoolErr(1, 10, 0, false) + Number(1, 11, 99) +
            // Row 3: a formula in column A, errors, a text formula whose text never comes.
            Formula(2, 0, F64(8)) + BoolErr(2, 1, 0x07, true) + Formula(2, 2, Special(2, 0x2A)) +
            Formula(2, 3, Special(0)) + Number(2, 4, 1) + StringResult("verirrt") +
            Formula(2, 5, Special(3)) + Rk(2, 6, 0x40040000) +
            // Row 4: an empty text result in column A ends the protocol.
            Formula(3, 0, Special(3)) + Rk(4, 0, 9 << 2 | 2);
        Files files;
        const ProtocolRows rows = Read(files.Write(Xls(globals, sheet), "werte.xls"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], Row({"St.Nr.", longTitle, "Vorname"}));
        QCOMPARE(rows[1], Row({"7", "Ümit", "Łukasz", "Vespa", "12,34", "08.12.2010", "254:24:00",
                               "08.12.2010 12:00:00", "3,5", "WAHR", "FALSCH"}));
        QCOMPARE(rows[2], Row({"8", "#DIV/0!", "#N/A", "", "1", "", "2,5"}));

        // Days counted from 1904.
        const QByteArray days1904 = Record(0x0022, Le16(1)) + globals;
        const ProtocolRows dates =
            Read(files.Write(Xls(days1904, Rk(0, 0, 39058 << 2 | 2, 1)), "1904.xls"));
        QCOMPARE(dates.value(0).value(0), QString("08.12.2010"));
    }

    void xls95Cells() {
        // Excel 95 in the code page of Central Europe: 8-bit texts, a rich text, a text formula,
        // dates by built-in and own formats, numbers and a boolean.
        const QByteArray globals =
            CodePage(1250) + Format5(164, "dd.mm.yyyy hh:mm") + Xf5(0) + Xf5(14) + Xf5(164);
        const QByteArray sheet =
            Label5(0, 0, "St.Nr.") + Label5(0, 1, "Name") + RichString5(0, 2, "Vorname") +
            Rk(1, 0, 7 << 2 | 2) + Label5(1, 1, "W\xB3odarczyk") + RichString5(1, 2, "\xA3ukasz") +
            Formula(1, 3, Special(0)) + StringResult5("Simson") + Number(1, 4, 40520, 1) +
            Number(1, 5, 40520.25, 2) + BoolErr(1, 6, 1, false) + Number(1, 7, 12.5) +
            Label5(2, 0, "8") + Label5(2, 1, QByteArray(255, 'x'));
        Files files;
        const ProtocolRows rows = Read(files.Write(
            Compound({{"Book", WorkbookStream(globals, {{sheet}}, 0x0500)}}), "verein95.xls"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name", "Vorname"}));
        QCOMPARE(rows[1], Row({"7", "Włodarczyk", "Łukasz", "Simson", "08.12.2010",
                               "08.12.2010 06:00:00", "WAHR", "12,5"}));
        QCOMPARE(rows[2], Row({"8", QString(255, u'x')}));
    }

    void xls95CodePages_data() {
        QTest::addColumn<QByteArray>("globals");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("none: Windows-1252")
            << QByteArray() << QByteArray("M\xFCller \x80") << "Müller €";
        QTest::newRow("1252") << CodePage(1252) << QByteArray("Gro\xDF") << "Groß";
        QTest::newRow("Windows, as Excel numbers it")
            << CodePage(0x8001) << QByteArray("Gro\xDF") << "Groß";
        QTest::newRow("1250") << CodePage(1250) << QByteArray("\xA3ukasz") << "Łukasz";
        QTest::newRow("437") << CodePage(437) << QByteArray("M\x81ller") << "Müller";
        QTest::newRow("850") << CodePage(850) << QByteArray("\x99zt\x81rk") << "Öztürk";
        QTest::newRow("Mac Roman") << CodePage(10000) << QByteArray("M\x9Fller") << "Müller";
        QTest::newRow("Mac Roman, as Excel numbers it")
            << CodePage(0x8000) << QByteArray("\x80rger") << "Ärger";
    }

    void xls95CodePages() {
        QFETCH(QByteArray, globals);
        QFETCH(QByteArray, name);
        QFETCH(QString, text);
        Files files;
        const QByteArray stream = WorkbookStream(
            globals, {{Label5(0, 0, name) + Formula(0, 1, Special(0)) + StringResult5(name)}},
            0x0500);
        const ProtocolRows rows = Read(files.Write(Compound({{"Book", stream}}), "codepage.xls"));
        QCOMPARE(rows.value(0).value(0), text);
        QCOMPARE(rows.value(0).value(1), text);
    }

    // The records decide the version, whatever the stream is called.
    void xlsStreamNames_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray biff8 = WorkbookStream({}, {{Label(0, 0, "Nr")}});
        const QByteArray biff5 = WorkbookStream({}, {{Label5(0, 0, "Nr")}}, 0x0500);
        QTest::newRow("WORKBOOK") << Compound({{"WORKBOOK", biff8}});
        QTest::newRow("Excel 97 as BOOK") << Compound({{"BOOK", biff8}});
        QTest::newRow("Excel 97 as Book") << Compound({{"Book", biff8}});
        QTest::newRow("Excel 95 as Workbook") << Compound({{"Workbook", biff5}});
        QTest::newRow("Excel 95 as book") << Compound({{"book", biff5}});
        // Saved for Excel 97 and 95 at once: the newer is read.
        QTest::newRow("both") << Compound(
            {{"Book", WorkbookStream({}, {{Label5(0, 0, "alt")}}, 0x0500)}, {"Workbook", biff8}});
        // A BOF that names no version: the old stream name says Excel 95.
        QTest::newRow("no version in Book")
            << Compound({{"Book", WorkbookStream({}, {{Label5(0, 0, "Nr")}}, 0)}});
    }

    void xlsStreamNames() {
        QFETCH(QByteArray, bytes);
        Files files;
        const ProtocolRows rows = Read(files.Write(bytes, "name.xls"));
        QCOMPARE(rows.value(0).value(0), QString("Nr"));
    }

    // Compound files other readers open, though their writers took liberties.
    void compoundFileLiberties_data() {
        QTest::addColumn<QByteArray>("bytes");
        const auto patched = [](QByteArray bytes, qsizetype at, const QByteArray& with) {
            return bytes.replace(at, with.size(), with);
        };
        const QByteArray small = WorkbookStream({}, {{Label(0, 0, "Nr") + Rk(1, 0, 5 << 2 | 2)}});
        const QByteArray large = small + QByteArray(5000, '\0');
        // Directory entry 1 (the stream) starts at 1024 + 128: name length at 64, links at 68,
        // 72 and 76, size at 120.
        const QByteArray file = Compound({{"Workbook", small}});
        QTest::newRow("name length without its zero") << patched(file, 1152 + 64, Le16(16));
        QTest::newRow("zeros for no link") << patched(file, 1152 + 68, Le32(0) + Le32(0) + Le32(0));
        QTest::newRow("unused entry in the tree")
            << patched(patched(file, 1152 + 72, Le32(2)), 1280 + 68, Le32(0x5A5A5A5A));
        QTest::newRow("size beyond the chain") << patched(
            Compound({{"Workbook", large}}), 1152 + 120, Le32(quint32(large.size() + 700)));
        QTest::newRow("FAT sectors counted, not listed") << patched(file, 44, Le32(2));
        QTest::newRow("small stream in ordinary sectors")
            << Compound({{"Workbook", small}}, {9, false});
        QTest::newRow("version 4, 4096-byte sectors")
            << Compound({{"Workbook", small}, {"Gross", large}}, {12, true});
        // Over 7 MB need more FAT sectors than the header lists.
        QTest::newRow("DIFAT sectors")
            << Compound({{"Workbook", small + QByteArray(7500000, '\0')}});
    }

    void compoundFileLiberties() {
        QFETCH(QByteArray, bytes);
        Files files;
        const ProtocolRows rows = Read(files.Write(bytes, "frei.xls"));
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({"5"})}));
    }

    void xlsChartsAndDrawings() {
        const QByteArray junk(40, '\x5A');
        const QByteArray globals = Record(0x00EB, junk) + Record(0x003C, junk);
        const XlsSheet chartSheet{Record(0x1002, junk) + Label(0, 0, "Diagrammblatt"), 2};
        // A drawing, then an embedded chart with a substream of its own, then records that
        // only newer programs know, then more cells.
        const XlsSheet sheet{
            Record(0x0200, QByteArray(14, '\0')) + Label(0, 0, "Nr") + Record(0x00EC, junk) +
            Record(0x005D, junk) + Bof(0x0020) + Label(0, 0, "im Diagramm") + Record(0x1002, junk) +
            kEof + Record(0x0867, junk) + Rk(1, 0, 5 << 2 | 2) + Label(1, 1, "nach dem Diagramm")};
        Files files;
        // Small workbooks live in the compound file's mini stream, large ones in its sectors.
        for (const qsizetype padding : {0, 5000}) {
            const QByteArray stream =
                WorkbookStream(globals, {chartSheet, sheet}) + QByteArray(padding, '\0');
            const ProtocolRows rows =
                Read(files.Write(Compound({{"Workbook", stream}}), "diagramm.xls"));
            QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({"5", "nach dem Diagramm"})}));
        }
    }

    void textLimits() {
        Files files;
        const auto reason = [&](const QByteArray& bytes, const QString& name) {
            const ProtocolReadResult result = ReadExcelWorkbook(files.Write(bytes, name));
            return result.ok ? QString() : result.message.section(u'\n', 1);
        };
        const auto xlsx = [](const QString& text, int rows) {
            QByteArray sheet;
            for (int r = 1; r <= rows; ++r)
                sheet += "<row r=\"" + QByteArray::number(r) + "\">" +
                         QByteArray("<c t=\"s\"><v>0</v></c>").repeated(kProtocolColumns) +
                         "</row>";
            return WithPart(WorkbookParts(Sheet(sheet)), "xl/sharedStrings.xml",
                            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                            "main\"><si><t>" +
                                text.toUtf8() + "</t></si></sst>");
        };
        const auto xls = [](const QString& text, int rows) {
            QByteArray sheet;
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < kProtocolColumns; ++c)
                    sheet += LabelSst(r, c, 0);
            return Xls(Sst({text}, 60000), sheet);
        };
        const QString tooLong = "Eine Zelle der Tabelle enthält mehr als 32767 Zeichen.";
        const QString tooMuch = "Die Tabelle enthält zu viel Text für ein Protokoll.";
        // One string of a million characters in every cell of a thousand rows.
        QCOMPARE(reason(xlsx(QString(1000000, u'x'), 1000), "bombe.xlsx"), tooLong);
        QCOMPARE(reason(xls(QString(40000, u'x'), 10), "bombe.xls"), tooLong);
        // Excel's longest cell text is still a cell, but a thousand of them are no protocol.
        const ProtocolReadResult longest =
            ReadExcelWorkbook(files.Write(xlsx(QString(32767, u'x'), 1)));
        QVERIFY(longest.ok);
        QCOMPARE(longest.rows[0][10].size(), 32767);
        QCOMPARE(reason(xlsx(QString(32767, u'x'), 100), "viel.xlsx"), tooMuch);
        QCOMPARE(reason(xls(QString(32767, u'x'), 100), "viel.xls"), tooMuch);
    }

    void controlCharacters() {
        Files files;
        ProtocolRows rows = Read(files.Write(Workbook(
            Sheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>N_x0000_r</t></is></c></row>"
                  "<row r=\"2\"><c r=\"A2\" t=\"str\"><v>1\x1b</v></c><c r=\"B2\" "
                  "t=\"inlineStr\"><is><t>Zeile_x000A_zwei\tdrei_x0007_</t></is></c></row>"))));
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({"1", "Zeile\nzwei\tdrei"})}));

        rows = Read(
            files.Write(Xls({}, Label(0, 0, QString::fromLatin1("N\0r", 3)) + Label(1, 0, "\x01") +
                                    Label(1, 1,
                                          "A\x7f\x1b"
                                          "B\r\nC\t")),
                        "steuer.xls"));
        // A column A that holds nothing but a control character is empty.
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({})}));
        rows = Read(files.Write(Xls({}, Label(0, 0, "Nr") + Label(1, 0, "1\x02") +
                                            Label(1, 1,
                                                  "A\x7f\x1b"
                                                  "B\r\nC\t")),
                                "steuer.xls"));
        QCOMPARE(rows, ProtocolRows({Row({"Nr"}), Row({"1", "AB\r\nC\t"})}));
    }

    void damagedPartsNotRead() {
        QList<ZipPart> parts = WorkbookParts(
            Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
                  "<row r=\"2\"><c r=\"A2\"><v>7</v></c><c r=\"B2\" t=\"s\"><v>2</v></c></row>"));
        parts.append({"xl/drawings/drawing1.xml", QByteArray("<xdr:wsDr/>").repeated(20)});
        parts.append({"docProps/core.xml", QByteArray("<cp:coreProperties/>").repeated(20)});
        const QByteArray good = *BuildZipPackage(parts);
        // The checksum of a part, in its local and its central header.
        const auto badCrc = [](QByteArray zip, const QByteArray& name) {
            const auto [local, central] = EntryHeaders(zip, name);
            if (local < 0 || central < 0) return QByteArray();
            return zip.replace(local + 14, 2, "\xDE\xAD").replace(central + 16, 2, "\xDE\xAD");
        };
        Files files;
        for (const QByteArray part : {"xl/drawings/drawing1.xml", "docProps/core.xml"}) {
            const ProtocolRows rows = Read(files.Write(badCrc(good, part), "bild.xlsx"));
            QCOMPARE(rows, ProtocolRows({Row({"St.Nr."}), Row({"7", "Müller"})}));
        }
        // What the import reads must be sound.
        const ProtocolReadResult strings =
            ReadExcelWorkbook(files.Write(badCrc(good, "xl/sharedStrings.xml"), "text.xlsx"));
        QVERIFY(!strings.ok);
        QVERIFY2(strings.message.contains("beschädigt"), qPrintable(strings.message));
    }

    void odsCells() {
        const QByteArray header =
            OdsRow(OdsString("St.Nr.") + OdsString("Name") + OdsString("Vorname") +
                   "<table:table-cell/>" + OdsString("Zeit"));
        const QByteArray participant = OdsRow(
            OdsNumber("7") + OdsString("M<text:span text:style-name=\"T1\">ü</text:span>ller") +
            OdsText("<text:p>Anna</text:p><office:annotation><text:p>Notiz</text:p>"
                    "</office:annotation>") +
            OdsValue("percentage", "value", "0.5", "50 %") + OdsNumber("12.345", "12,35") +
            OdsValue("currency", "value", "-1.5", "-1,50 €") +
            OdsValue("date", "date-value", "2010-12-08", "08.12.10") +
            OdsValue("date", "date-value", "2010-12-08T14:30:00", "08.12.2010 14:30") +
            OdsValue("time", "time-value", "PT14H30M00S", "14:30:00") +
            OdsValue("boolean", "boolean-value", "true", "WAHR") +
            "<table:table-cell table:formula=\"of:=1/0\" office:value-type=\"float\" "
            "office:value=\"0\" calcext:value-type=\"error\"><text:p>#DIV/0!</text:p>"
            "</table:table-cell>" +
            OdsString("zu weit rechts"));
        const QByteArray more =
            OdsRow(OdsNumber("8") + OdsValue("time", "time-value", "PT254H24M00S", "254:24:00") +
                   OdsValue("time", "time-value", "PT254H24M00S", "14:24:00") +
                   OdsValue("date", "date-value", "2010-12-08T12:00:00", "08.12.2010") +
                   OdsValue("date", "date-value", "2010-12-08T23:59:59.7", "09.12.2010 00:00") +
                   OdsValue("time", "time-value", "-PT1H", "-01:00:00") +
                   OdsValue("boolean", "boolean-value", "false", "FALSCH") +
                   // No type: the text shown; a string result given as a value only.
                   "<table:table-cell><text:p>ohne Typ</text:p></table:table-cell>"
                   "<table:table-cell office:value-type=\"string\" office:string-value=\"Wert\"/>" +
                   OdsValue("float", "value", "kaputt", "kaputt"));
        Files files;
        const ProtocolRows rows = Read(
            files.Write(Ods(header + participant + more + OdsRow(OdsString(""))), "liste.ods"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name", "Vorname", "", "Zeit"}));
        QCOMPARE(rows[1], Row({"7", "Müller", "Anna", "0,5", "12,345", "-1,5", "08.12.2010",
                               "08.12.2010 14:30:00", "14:30:00", "WAHR", "#DIV/0!"}));
        QCOMPARE(rows[2], Row({"8", "254:24:00", "14:24:00", "08.12.2010", "09.12.2010 00:00:00",
                               "-01:00:00", "FALSCH", "ohne Typ", "Wert", "kaputt"}));

        // Prefixes of the document's own choosing; the extension does not matter either.
        QByteArray content =
            OdsContent(OdsRow(OdsString("Nr")) +
                           OdsRow(OdsValue("date", "date-value", "2010-12-08", "08.12.10")),
                       "NAMESPACES")
                .replace("office:", "o:")
                .replace("table:", "t:")
                .replace("text:", "x:");
        content.replace("NAMESPACES", QByteArray(kOdsNamespaces)
                                          .replace("xmlns:office=", "xmlns:o=")
                                          .replace("xmlns:table=", "xmlns:t=")
                                          .replace("xmlns:text=", "xmlns:x="));
        QCOMPARE(Read(files.Write(*BuildZipPackage(OdsParts(content)), "liste.xlsx")),
                 ProtocolRows({Row({"Nr"}), Row({"08.12.2010"})}));
    }

    void odsTexts() {
        Files files;
        const auto cell = [&](const QByteArray& paragraphs) {
            const ProtocolRows rows = Read(files.Write(Ods(OdsRow(OdsText(paragraphs))), "t.ods"));
            return rows.value(0).value(0);
        };
        QCOMPARE(cell("<text:p>Zwei<text:s text:c=\"2\"/>Leer<text:tab/>Tab</text:p>"),
                 QString("Zwei  Leer\tTab"));
        QCOMPARE(cell("<text:p>Zeile<text:line-break/>zwei</text:p><text:p>drei</text:p>"),
                 QString("Zeile\nzwei\ndrei"));
        QCOMPARE(cell("<text:p><text:a xlink:href=\"x\"><text:span>Verlinkt</text:span></text:a>"
                      "<text:note><text:note-body><text:p>Fußnote</text:p></text:note-body>"
                      "</text:note></text:p>"),
                 QString("Verlinkt"));
        // White space of the XML itself collapses; <text:s/> stays.
        QCOMPARE(cell("<text:p>\n  Groß  \n  <text:s/>Klein</text:p>"), QString("Groß  Klein"));
        QCOMPARE(cell("<text:p>a&amp;b<![CDATA[<c>]]></text:p>"), QString("a&b<c>"));
    }

    void odsRepeatsAndLimits() {
        Files files;
        const auto read = [&](const QByteArray& rows) {
            return ReadExcelWorkbook(files.Write(Ods(rows), "wdh.ods"));
        };
        // Three rows in groups, the last repeated; a row of cells repeated across the sheet, a
        // merged cell and the covered cells beside it; then a million empty rows, as saved.
        const QByteArray everyColumn = "<table:table-cell table:number-columns-repeated=\"16384\" "
                                       "office:value-type=\"float\" office:value=\"1\">"
                                       "<text:p>1</text:p></table:table-cell>";
        ProtocolReadResult result =
            read("<table:table-header-rows>" + OdsRow(OdsString("Nr") + OdsString("Name")) +
                 "</table:table-header-rows><table:table-row-group><table:table-row-group>" +
                 OdsRow(OdsNumber("1") + "<table:table-cell table:number-columns-repeated=\"2\"/>" +
                        "<table:table-cell table:number-columns-spanned=\"2\" "
                        "office:value-type=\"string\"><text:p>breit</text:p></table:table-cell>"
                        "<table:covered-table-cell/>" +
                        OdsString("danach")) +
                 "</table:table-row-group></table:table-row-group><table:table-rows>" +
                 OdsRow(OdsNumber("2"), " table:number-rows-repeated=\"2\"") +
                 "</table:table-rows>" + OdsRow(everyColumn) +
                 OdsRow("<table:table-cell table:number-columns-repeated=\"1024\"/>",
                        " table:number-rows-repeated=\"1048571\""));
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(result.rows,
                 ProtocolRows({Row({"Nr", "Name"}), Row({"1", "", "", "breit", "", "danach"}),
                               Row({"2"}), Row({"2"}), QStringList(kProtocolColumns, "1")}));

        // A participant repeated a million times is no protocol, and is not multiplied out.
        result = read(OdsRow(OdsString("Nr")) +
                      OdsRow(OdsNumber("1"), " table:number-rows-repeated=\"1048575\""));
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains("zu viele Zeilen"), qPrintable(result.message));
        // Nor is a space repeated two billion times.
        result = read(OdsRow(OdsText("<text:p>a<text:s text:c=\"2000000000\"/></text:p>")));
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains("mehr als 32767 Zeichen"), qPrintable(result.message));

        // Nesting far deeper than any document: neither the rows nor the text recurse.
        const int depth = 100000;
        result =
            read(OdsRow(OdsString("Nr")) + QByteArray("<table:table-row-group>").repeated(depth) +
                 OdsRow(OdsText("<text:p>" + QByteArray("<text:span>").repeated(depth) + "tief" +
                                QByteArray("</text:span>").repeated(depth) + "</text:p>")) +
                 QByteArray("</table:table-row-group>").repeated(depth));
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(result.rows, ProtocolRows({Row({"Nr"}), Row({"tief"})}));
    }

    void odsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QList<ZipPart> encrypted = OdsParts(QByteArray("\x13\x97\xC4\x01").repeated(100));
        encrypted[1].data =
            QByteArray(kOdsManifest)
                .replace("manifest:media-type=\"text/xml\"/>",
                         "manifest:media-type=\"text/xml\"><manifest:encryption-data "
                         "manifest:checksum-type=\"SHA1/1K\" "
                         "manifest:checksum=\"x\"/></manifest:file-entry>");
        QTest::newRow("password") << *BuildZipPackage(encrypted) << "Kennwort";
        QList<ZipPart> text = OdsParts(OdsContent({}));
        text[0].data = "application/vnd.oasis.opendocument.text";
        QTest::newRow("text document") << *BuildZipPackage(text) << "keine OpenDocument-Tabelle";
        QTest::newRow("broken content")
            << *BuildZipPackage(OdsParts("<office:document-content><office:body>")) << "beschädigt";
        QTest::newRow("no table")
            << *BuildZipPackage(OdsParts(
                   OdsContent({}).replace("table:table ", "x ").replace("</table:table>", "</x>")))
            << "kein Tabellenblatt";
        QList<ZipPart> missing = OdsParts({});
        missing.removeAt(2);
        QTest::newRow("no content") << *BuildZipPackage(missing) << "content.xml fehlt";
    }

    void odsRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Files files;
        const ProtocolReadResult result = ReadExcelWorkbook(files.Write(bytes, "tabelle.ods"));
        QVERIFY(!result.ok);
        QVERIFY(result.rows.isEmpty());
        QVERIFY2(result.message.section(u'\n', 1).contains(reason), qPrintable(result.message));
    }

    void packageNames() {
        const QByteArray sheet = Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>2</v></c></row>");
        Files files;
        // Part names in another case than the relationships give them, and Windows paths.
        for (const bool backslashes : {false, true}) {
            QList<ZipPart> parts = WorkbookParts(sheet);
            for (ZipPart& part : parts) {
                if (part.name.startsWith("xl/")) part.name = "XL/" + part.name.mid(3);
                part.name.replace("workbook.xml", "Workbook.XML");
                if (backslashes) part.name.replace(u'/', u'\\');
            }
            const ProtocolRows rows = Read(files.Write(*BuildZipPackage(parts), "namen.xlsx"));
            QCOMPARE(rows.value(0).value(0), QString("Müller"));
        }
    }

    void refusedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QString damaged = "beschädigt";
        const QString noWorkbook = "keine Excel-Arbeitsmappe";
        const QString password = "Kennwort";
        const QString old = "vor Excel 5.0";
        const QByteArray good = Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
        QTest::newRow("text") << QByteArray("St.Nr.\tName\t\r\n1\tMeier\t\r\n") << noWorkbook;
        QTest::newRow("empty") << QByteArray() << noWorkbook;
        QTest::newRow("truncated zip") << good.left(good.size() / 2) << damaged;
        QTest::newRow("zip without workbook")
            << *BuildZipPackage({{"word/document.xml", "<document/>"}}) << noWorkbook;
        QTest::newRow("broken sheet xml") << Workbook("<worksheet><sheetData><row>") << damaged;
        QTest::newRow("row given twice")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1\"/>"))
            << damaged;
        QTest::newRow("shared string out of range")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>77</v></c></row>")) << damaged;
        QTest::newRow("number that is none")
            << Workbook(Sheet("<row r=\"1\"><c r=\"A1\"><v>sieben</v></c></row>")) << damaged;

        // Damaged entries and names in the package.
        const auto patched = [](QByteArray bytes, qsizetype at, const QByteArray& with) {
            return at < 0 ? QByteArray() : bytes.replace(at, with.size(), with);
        };
        const auto [sheetLocal, sheetCentral] = EntryHeaders(good, "xl/worksheets/sheet2.xml");
        QTest::newRow("entry with a wrong CRC")
            << patched(patched(good, sheetLocal + 14, "\xDE\xAD"), sheetCentral + 16, "\xDE\xAD")
            << damaged;
        QTest::newRow("entry with broken deflate data")
            << patched(good, sheetLocal + 30 + 24, "\xFF\xFF\xFF\xFF") << damaged;
        const auto [relsLocal, relsCentral] = EntryHeaders(good, "xl/_rels/workbook.xml.rels");
        QTest::newRow("damaged relationships")
            << patched(patched(good, relsLocal + 14, "\xDE\xAD"), relsCentral + 16, "\xDE\xAD")
            << damaged;
        QList<ZipPart> twice = WorkbookParts(Sheet(""));
        twice.append({"xl/worksheets/sheet3.xml", Sheet("")});
        QTest::newRow("one name twice")
            << BuildZipPackage(twice)->replace("sheet3.xml", "sheet2.xml") << damaged;
        twice.last().name = "xl/worksheets/Sheet2.xml";
        QTest::newRow("one name in two cases") << *BuildZipPackage(twice) << damaged;

        // Legacy workbooks.
        const XlsSheet cells{Label(0, 0, "Nr")};
        QTest::newRow("old binary header only")
            << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0", 12) << damaged;
        QTest::newRow("xls with password")
            << Xls(Record(0x002F, Le16(1) + QByteArray(52, '\x11')), cells.records) << password;
        QTest::newRow("xlsx with password")
            << Compound({{"EncryptionInfo", "\x04\0\x04\0"}, {"EncryptedPackage", junkOf(200)}})
            << password;
        QTest::newRow("Excel 4") << Record(0x0409, Le16(0) + Le16(0x0010)) + Label(0, 0, "Nr") +
                                        kEof
                                 << old;
        QTest::newRow("only a chart sheet")
            << Compound({{"Workbook", WorkbookStream({}, {{Label(0, 0, "Nr"), 2}})}})
            << "kein Tabellenblatt";
        QTest::newRow("other document") << Compound({{"WordDocument", junkOf(100)}}) << noWorkbook;
        QTest::newRow("record cut short")
            << Compound({{"Workbook", WorkbookStream({}, {cells}).chopped(2)}}) << damaged;
        QTest::newRow("shared string beyond the table") << Xls({}, LabelSst(0, 0, 5)) << damaged;

        // Damaged compound files. The large workbook takes sectors 2 to 11, the small one
        // keeps its mini FAT in sector 2.
        const QByteArray large =
            Compound({{"Workbook", WorkbookStream({}, {cells}) + QByteArray(5000, '\0')}});
        QTest::newRow("FAT chain in a circle") << patched(large, 512 + 4 * 3, Le32(2)) << damaged;
        QTest::newRow("FAT chain leaves the file")
            << patched(large, 512 + 4 * 3, Le32(100000)) << damaged;
        QTest::newRow("stream larger than the file")
            << patched(large, 1024 + 128 + 120, Le32(0x7FFFFFFF)) << damaged;
        QTest::newRow("directory in a circle")
            << patched(large, 1024 + 128 + 72, Le32(1)) << damaged;
        QTest::newRow("more FAT sectors than the file has")
            << patched(large, 44, Le32(50000)) << damaged;
        QTest::newRow("header alone") << large.left(512) << damaged;
        const QByteArray small = Compound({{"Workbook", WorkbookStream({}, {cells})}});
        QTest::newRow("mini chain in a circle") << patched(small, 1536, Le32(0)) << damaged;
    }

    void refusedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(!bytes.isEmpty() || QByteArray(QTest::currentDataTag()) == "empty");
        Files files;
        const QString path = files.Write(bytes);
        const ProtocolReadResult result = ReadExcelWorkbook(path);
        QVERIFY(!result.ok);
        QVERIFY(result.rows.isEmpty());
        QVERIFY2(result.message.startsWith("Die Datei " + path + " kann nicht geladen werden.\n"),
                 qPrintable(result.message));
        QVERIFY2(result.message.section(u'\n', 1).contains(reason), qPrintable(result.message));
    }

    void missingFile() {
        const ProtocolReadResult result = ReadExcelWorkbook("/nicht/da.xlsx");
        QVERIFY(!result.ok);
        QVERIFY(result.message.contains("Die Datei existiert nicht."));
    }

    void legacyWorkbook() {
        // Saved by a spreadsheet program in the old binary format: header, three participants
        // (start numbers as numbers, one with decimals), then a row without start number.
        const QString path = QFINDTESTDATA("data/teilnehmer.xls");
        QVERIFY(!path.isEmpty());
        const ProtocolRows rows = Read(path);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], Row({"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Klasse"}));
        QCOMPARE(rows[1], Row({"7", "Müller", "Anna", "Vespa", "50", "2"}));
        QCOMPARE(rows[2], Row({"8", "Öztürk", "Ümit", "Simson", "", "1"}));
        QCOMPARE(rows[3], Row({"9", "Groß", "", "", "", "", "", "", "", "12,345"}));
    }

    void numberTexts() {
        QCOMPARE(ExcelNumberText(7), QString("7"));
        QCOMPARE(ExcelNumberText(-12), QString("-12"));
        QCOMPARE(ExcelNumberText(12.5), QString("12,5"));
        QCOMPARE(ExcelNumberText(0.1 + 0.2), QString("0,3"));
        QCOMPARE(ExcelNumberText(123456789012.0), QString("123456789012"));
        QCOMPARE(ExcelNumberText(-0.0), QString("0"));
    }
};
RENNUHR_TEST(ExcelImportTest);

#include "tst_excelimport.moc"
