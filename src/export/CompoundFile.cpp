#include "CompoundFile.h"

#include "LittleEndian.h"

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kNoEntry = 0xFFFFFFFF;
constexpr int kHeaderFatEntries = 109;
constexpr int kEntryBytes = 128;
constexpr int kMiniSectorShift = 6;
constexpr quint8 kUnusedEntry = 0;
constexpr quint8 kStreamEntry = 2;
constexpr quint8 kRootEntry = 5;

std::vector<quint32> Words(QByteArrayView bytes) {
    std::vector<quint32> words(size_t(bytes.size() / 4));
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = U32(bytes, qsizetype(i * 4));
    return words;
}

} // namespace

bool CompoundFile::Open(QByteArrayView file) {
    *this = CompoundFile();
    if (file.size() < 512 || file.first(8) != QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return false;
    if (U16(file, 28) != 0xFFFE || U16(file, 32) != kMiniSectorShift) return false;
    sectorShift_ = U16(file, 30);
    if (sectorShift_ != 9 && sectorShift_ != 12) return false;
    const qsizetype sectorSize = qsizetype(1) << sectorShift_;
    file_ = file;
    // A last sector cut short still counts; its missing bytes read as zeros.
    sectorCount_ =
        file.size() > sectorSize ? quint32((file.size() - 1) / sectorSize) : 0; // header excluded
    miniCutoff_ = U32(file, 56);

    // The FAT's own sectors: the first 109 listed in the header, the rest in the DIFAT chain.
    // Some writers count more than they list; the list ends at the first free entry then.
    const quint32 fatSectorCount = U32(file, 44);
    if (fatSectorCount > sectorCount_) return false;
    std::vector<quint32> fatSectors;
    bool listEnded = false;
    const auto list = [&](quint32 sector) {
        listEnded = listEnded || sector == kFreeSector;
        if (!listEnded) fatSectors.push_back(sector);
    };
    for (int i = 0; i < kHeaderFatEntries && fatSectors.size() < fatSectorCount; ++i)
        list(U32(file, 76 + 4 * i));
    std::vector<bool> seen(sectorCount_);
    for (quint32 difat = U32(file, 68); !listEnded && fatSectors.size() < fatSectorCount;) {
        if (difat >= sectorCount_ || seen[difat]) return false;
        seen[difat] = true;
        const qsizetype at = (qsizetype(difat) + 1) << sectorShift_;
        const std::vector<quint32> words =
            Words(file.sliced(at, std::min(sectorSize, file.size() - at)));
        for (size_t i = 0; i + 1 < words.size() && fatSectors.size() < fatSectorCount; ++i)
            list(words[i]);
        difat = words.empty() ? kEndOfChain : words.back();
    }
    for (const quint32 sector : fatSectors) {
        if (sector >= sectorCount_) return false;
        const qsizetype at = (qsizetype(sector) + 1) << sectorShift_;
        QByteArray data = file.sliced(at, std::min(sectorSize, file.size() - at)).toByteArray();
        data.resize(sectorSize, '\0');
        for (const quint32 word : Words(data)) {
            if (fat_.size() >= sectorCount_) break;
            fat_.push_back(word);
        }
    }

    const std::optional<QByteArray> directory = Chain(U32(file, 48), std::nullopt);
    if (!directory) return false;
    const bool version3 = sectorShift_ == 9;
    for (qsizetype at = 0; at + kEntryBytes <= directory->size(); at += kEntryBytes) {
        const QByteArrayView bytes = QByteArrayView(*directory).sliced(at, kEntryBytes);
        Entry entry;
        // The name ends at its zero; the length beside it, which some writers give without
        // that zero, is not needed.
        for (int i = 0; i < 32; ++i) {
            const char16_t c = U16(bytes, 2 * i);
            if (c == 0) break;
            entry.name += QChar(c);
        }
        entry.type = quint8(bytes[66]);
        entry.left = U32(bytes, 68);
        entry.right = U32(bytes, 72);
        entry.child = U32(bytes, 76);
        entry.start = U32(bytes, 116);
        // Version 3 files may leave garbage in the high half of the size.
        entry.size = version3 ? U32(bytes, 120) : U64(bytes, 120);
        entries_.push_back(std::move(entry));
    }
    if (entries_.empty() || entries_[0].type != kRootEntry) return false;

    // Small streams live in the root entry's mini stream, cut into 64-byte sectors.
    if (entries_[0].size > 0) {
        std::optional<QByteArray> mini = Chain(entries_[0].start, entries_[0].size);
        if (!mini) return false;
        miniStream_ = std::move(*mini);
        const std::optional<QByteArray> miniFat = Chain(U32(file, 60), std::nullopt);
        if (!miniFat) return false;
        miniFat_ = Words(*miniFat);
    }
    return CollectRootChildren();
}

// Follows a sector chain through the FAT. Without a size the chain runs to its end marker;
// with one it stops there, and at an end marker that comes early (the size some writers give
// is larger than what they wrote). Every sector may appear once: a chain that comes back to
// itself is damaged, however the FAT was made.
std::optional<QByteArray> CompoundFile::Chain(quint32 start, std::optional<quint64> size) const {
    const qsizetype sectorSize = qsizetype(1) << sectorShift_;
    if (size && *size > quint64(sectorCount_) * quint64(sectorSize)) return std::nullopt;
    QByteArray data;
    if (size) data.reserve(qsizetype(*size));
    std::vector<bool> seen(sectorCount_);
    for (quint32 sector = start;;) {
        if (size && quint64(data.size()) >= *size) break;
        if (sector == kEndOfChain) break;
        if (sector >= sectorCount_ || seen[sector]) return std::nullopt;
        seen[sector] = true;
        const qsizetype at = (qsizetype(sector) + 1) << sectorShift_;
        qsizetype take = std::min(sectorSize, file_.size() - at);
        if (size) take = std::min<qsizetype>(take, qsizetype(*size) - data.size());
        data.append(file_.sliced(at, take));
        if (size && take < sectorSize && quint64(data.size()) < *size)
            data.append(std::min<qsizetype>(sectorSize - take, qsizetype(*size) - data.size()),
                        '\0');
        sector = sector < fat_.size() ? fat_[sector] : kNoEntry;
    }
    return data;
}

std::optional<QByteArray> CompoundFile::MiniChain(quint32 start, quint64 size) const {
    constexpr qsizetype kMiniSector = qsizetype(1) << kMiniSectorShift;
    if (size > quint64(miniStream_.size())) return std::nullopt;
    const size_t sectors = size_t((miniStream_.size() + kMiniSector - 1) / kMiniSector);
    QByteArray data;
    data.reserve(qsizetype(size));
    std::vector<bool> seen(sectors);
    for (quint32 sector = start; quint64(data.size()) < size && sector != kEndOfChain;) {
        if (sector >= sectors || seen[sector]) return std::nullopt;
        seen[sector] = true;
        const qsizetype at = qsizetype(sector) * kMiniSector;
        const qsizetype take =
            std::min({kMiniSector, miniStream_.size() - at, qsizetype(size) - data.size()});
        data.append(miniStream_.constData() + at, take);
        sector = sector < miniFat_.size() ? miniFat_[sector] : kNoEntry;
    }
    return data;
}

// The root's children form a tree through their left and right links; a link that leaves the
// directory or meets an entry twice makes the directory damaged. Some writers leave zeros for
// "no entry" (the root is nobody's sibling), and unused entries have no links to follow.
bool CompoundFile::CollectRootChildren() {
    std::vector<bool> seen(entries_.size());
    std::vector<quint32> pending = {entries_[0].child};
    while (!pending.empty()) {
        const quint32 id = pending.back();
        pending.pop_back();
        if (id == kNoEntry || id == 0) continue;
        if (id >= entries_.size() || seen[id]) return false;
        seen[id] = true;
        const Entry& entry = entries_[id];
        if (entry.type == kUnusedEntry) continue;
        if (entry.type == kStreamEntry) rootChildren_.push_back(int(id));
        pending.push_back(entry.left);
        pending.push_back(entry.right);
    }
    return true;
}

int CompoundFile::FindStream(QStringView name) const {
    for (const int id : rootChildren_)
        if (entries_[size_t(id)].name.compare(name, Qt::CaseInsensitive) == 0) return id;
    return -1;
}

std::optional<QByteArray> CompoundFile::ReadStream(int entry) const {
    if (entry < 0 || size_t(entry) >= entries_.size()) return std::nullopt;
    const Entry& stream = entries_[size_t(entry)];
    if (stream.size == 0) return QByteArray();
    // Some writers keep small streams in ordinary sectors too and have no mini stream at all.
    if (stream.size < miniCutoff_ && !miniStream_.isEmpty())
        return MiniChain(stream.start, stream.size);
    return Chain(stream.start, stream.size);
}
