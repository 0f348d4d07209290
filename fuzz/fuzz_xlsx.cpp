// Feeds the .xlsx reader. Input that starts like a zip file is read as it is; anything else is
// taken as package parts, each "name\n" followed by its bytes, separated by the byte 0x1E, and
// zipped first: mutations then reach the XML instead of failing the zip checksums. The parts
// are stored, not deflated, which keeps the runs fast.
#include "FuzzChecks.h"

#include "export/ExcelImport.h"

#include <zip.h>

#include <cstdint>
#include <optional>

namespace {

std::optional<QByteArray> StoredPackage(const QList<QPair<QByteArray, QByteArray>>& parts) {
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    if (!target) return std::nullopt;
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, nullptr);
    std::optional<QByteArray> bytes;
    if (archive) {
        bool added = true;
        for (const auto& [name, data] : parts) {
            zip_source_t* source =
                zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
            const zip_int64_t index =
                source ? zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) : -1;
            if (index < 0) {
                if (source) zip_source_free(source);
                added = false;
                break;
            }
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        }
        if (added && zip_close(archive) == 0) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_source_stat(target, &stat) == 0 && zip_source_open(target) == 0) {
                QByteArray out(qsizetype(stat.size), Qt::Uninitialized);
                if (zip_source_read(target, out.data(), stat.size) == zip_int64_t(stat.size))
                    bytes = out;
                zip_source_close(target);
            }
        } else {
            zip_discard(archive);
        }
    }
    zip_source_free(target);
    return bytes;
}

} // namespace

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
