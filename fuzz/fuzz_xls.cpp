// Feeds the .xls reader. Input that starts like a compound file goes through the whole
// import; anything else is taken as the workbook stream itself, so that mutations reach the
// BIFF records without first having to keep a compound file intact.
#include "FuzzChecks.h"

#include "export/BiffReader.h"
#include "export/ExcelImport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.startsWith(QByteArrayView("\xD0\xCF\x11\xE0", 4))) {
        CheckImport(ParseExcelWorkbook(bytes, QStringLiteral("fuzz.xls")));
        return 0;
    }
    const BiffSheet sheet = ReadBiffWorksheet(bytes, kProtocolColumns);
    for (const auto& [row, cells] : sheet.rows)
        Check(row <= 0xFFFF && cells.size() == kProtocolColumns);
    return 0;
}
