#include "ZipPackage.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <memory>

namespace {

const QString kDamaged = QStringLiteral("Die Datei ist beschädigt oder keine Office-Datei.");

QString OpenError(int code) {
    switch (code) {
    case ZIP_ER_NOENT:
        return QStringLiteral("Die Datei existiert nicht.");
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
        return QStringLiteral("Die Datei kann nicht gelesen werden.");
    case ZIP_ER_MEMORY:
        return QStringLiteral("Nicht genug Arbeitsspeicher.");
    default:
        return kDamaged;
    }
}

QString ComparedName(QString name) {
    name.replace(u'\\', u'/');
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    return name.toCaseFolded();
}

} // namespace

ZipPackageReader::~ZipPackageReader() {
    if (archive_) zip_discard(archive_);
}

bool ZipPackageReader::Open(const QString& fileName) {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
    int code = 0;
    archive_ = zip_open(QFile::encodeName(fileName).constData(), ZIP_RDONLY, &code);
    if (archive_) return IndexNames();
    error_ = OpenError(code);
    return false;
}

bool ZipPackageReader::Open(const QByteArray& bytes) {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
    bytes_ = bytes;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(bytes_.constData(), zip_uint64_t(bytes_.size()), 0, &error);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!archive_) zip_source_free(source);
    }
    error_ = OpenError(zip_error_code_zip(&error));
    zip_error_fini(&error);
    return archive_ && IndexNames();
}

bool ZipPackageReader::IndexNames() {
    index_.clear();
    error_.clear();
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name || QByteArrayView(name).endsWith('/')) continue;
        // Two parts of one name leave it open which one is meant.
        const QString key = ComparedName(QString::fromUtf8(name));
        if (index_.contains(key)) {
            error_ = kDamaged;
            zip_discard(archive_);
            archive_ = nullptr;
            index_.clear();
            return false;
        }
        index_.insert(key, zip_uint64_t(i));
    }
    return true;
}

qint64 ZipPackageReader::Locate(const QString& name) const {
    const auto found = index_.constFind(ComparedName(name));
    return found == index_.constEnd() ? -1 : qint64(*found);
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
    return archive_ && Locate(name) >= 0;
}

std::optional<QByteArray> ZipPackageReader::Read(const QString& name, qint64 maxBytes) {
    if (!archive_) return std::nullopt;
    const qint64 index = Locate(name);
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

bool SamePartName(const QString& a, const QString& b) {
    return ComparedName(a) == ComparedName(b);
}

QString RelationshipsPartOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}
