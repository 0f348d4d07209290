// Feeds the .xlsx reader. Input that starts like a zip file is read as it is; anything else is
// taken as package parts, each "name\n" followed by its bytes, separated by the byte 0x1E, and
// zipped first: mutations then reach the XML instead of failing the zip checksums.
#include "FuzzChecks.h"
#include "FuzzPackage.h"

#include "export/ExcelImport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.startsWith("PK")) {
        CheckImport(ParseExcelWorkbook(bytes, QStringLiteral("fuzz.xlsx")));
        return 0;
    }
    QList<QPair<QByteArray, QByteArray>> parts;
    for (const QByteArray& chunk : bytes.split('\x1e')) {
        const qsizetype newline = chunk.indexOf('\n');
        if (newline <= 0) continue;
        parts.append({chunk.left(newline), chunk.mid(newline + 1)});
    }
    // Names libzip refuses (twice the same) make no package.
    const std::optional<QByteArray> package = StoredPackage(parts);
    if (!package) return 0;
    CheckImport(ParseExcelWorkbook(*package, QStringLiteral("fuzz.xlsx")));
    return 0;
}
