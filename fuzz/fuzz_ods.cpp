// Feeds the OpenDocument spreadsheet reader. Input that starts like a zip file is read as it
// is; anything else is taken as content.xml, optionally followed by the byte 0x1E and the
// manifest, and zipped with the spreadsheet's mimetype first, so that mutations reach the XML.
#include "FuzzChecks.h"
#include "FuzzPackage.h"

#include "export/ExcelImport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.startsWith("PK")) {
        CheckImport(ParseExcelWorkbook(bytes, QStringLiteral("fuzz.ods")));
        return 0;
    }
    const qsizetype separator = bytes.indexOf('\x1e');
    QList<QPair<QByteArray, QByteArray>> parts = {
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
        {"content.xml", bytes.left(separator < 0 ? bytes.size() : separator)}};
    if (separator >= 0) parts.append({"META-INF/manifest.xml", bytes.mid(separator + 1)});
    const std::optional<QByteArray> package = StoredPackage(parts);
    if (!package) return 0;
    CheckImport(ParseExcelWorkbook(*package, QStringLiteral("fuzz.ods")));
    return 0;
}
