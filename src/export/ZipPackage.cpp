#include "ZipPackage.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <memory>

namespace {

const QString kDamaged = QStringLiteral("Die Datei ist beschädigt oder keine Office-Datei.");

} // namespace

ZipPackageReader::~ZipPackageReader() {
    if (archive_) zip_discard(archive_);
}

bool ZipPackageReader::Open(const QString& fileName) {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
    int code = 0;
    archive_ = zip_open(QFile::encodeName(fileName).constData(), ZIP_RDONLY, &code);
    if (archive_) return true;
    switch (code) {
    case ZIP_ER_NOENT:
        error_ = QStringLiteral("Die Datei existiert nicht.");
        break;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
        error_ = QStringLiteral("Die Datei kann nicht gelesen werden.");
        break;
    case ZIP_ER_MEMORY:
        error_ = QStringLiteral("Nicht genug Arbeitsspeicher.");
        break;
    default:
        error_ = kDamaged;
    }
    return false;
}

QStringList ZipPackageReader::Names() const {
    QStringList names;
    if (!archive_) return names;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(archive_, zip_uint64_t(i), ZIP_FL_ENC_GUESS))
            names.append(QString::fromUtf8(name));
    return names;
}

bool ZipPackageReader::Contains(const QString& name) const {
    return archive_ && zip_name_locate(archive_, name.toUtf8().constData(), ZIP_FL_ENC_GUESS) >= 0;
}

std::optional<QByteArray> ZipPackageReader::Read(const QString& name, qint64 maxBytes) {
    if (!archive_) return std::nullopt;
    const zip_int64_t index =
        zip_name_locate(archive_, name.toUtf8().constData(), ZIP_FL_ENC_GUESS);
    if (index < 0) {
        error_ = QStringLiteral("Der Teil %1 fehlt in der Datei.").arg(name);
        return std::nullopt;
    }
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(
        zip_fopen_index(archive_, zip_uint64_t(index), 0), &zip_fclose);
    if (!file) {
        error_ = kDamaged;
        return std::nullopt;
    }
    // The size in the directory may lie; the limit holds for what actually comes out.
    QByteArray data;
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            error_ = kDamaged;
            return std::nullopt;
        }
        if (got == 0) break;
        if (data.size() + got > maxBytes) {
            error_ = QStringLiteral("Die Datei ist zu groß für ein Protokoll.");
            return std::nullopt;
        }
        data.append(buffer, qsizetype(got));
    }
    return data;
}

std::optional<QByteArray> BuildZipPackage(const QList<ZipPart>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (!target) return std::nullopt;
    // The archive releases the source on close; keep it to read the result.
    zip_source_keep(target);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(target, &zip_source_free);

    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, nullptr);
    if (!archive) return std::nullopt;
    for (const ZipPart& part : parts) {
        // The parts outlive zip_close, so the buffers need not be copied.
        zip_source_t* source =
            zip_source_buffer(archive, part.data.constData(), zip_uint64_t(part.data.size()), 0);
        if (!source) {
            zip_discard(archive);
            return std::nullopt;
        }
        if (zip_file_add(archive, part.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return std::nullopt;
        }
    }
    if (zip_close(archive) < 0) {
        zip_discard(archive);
        return std::nullopt;
    }

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(target, &stat) < 0 || zip_source_open(target) < 0) return std::nullopt;
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t got = zip_source_read(target, bytes.data(), stat.size);
    zip_source_close(target);
    if (got != zip_int64_t(stat.size)) return std::nullopt;
    return bytes;
}

QString ResolvePartTarget(const QString& sourcePart, const QString& target) {
    if (target.startsWith(u'/')) return QDir::cleanPath(target.mid(1));
    const qsizetype slash = sourcePart.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : sourcePart.left(slash + 1);
    QString path = QDir::cleanPath(folder + target);
    // A target that climbs above the package root names no part.
    if (path.startsWith(QStringLiteral("../"))) path.clear();
    return path;
}

QString RelationshipsPartOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}
