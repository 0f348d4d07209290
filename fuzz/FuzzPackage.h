#pragma once

// Zips parts for the package fuzzers. The parts are stored, not deflated, which keeps the runs
// fast and lets mutations reach the XML instead of failing the zip checksums.
#include <QByteArray>
#include <QList>
#include <QPair>

#include <zip.h>

#include <optional>

inline std::optional<QByteArray> StoredPackage(const QList<QPair<QByteArray, QByteArray>>& parts) {
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
