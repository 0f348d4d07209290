#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// The compound file (OLE structured storage) that carries a legacy .xls workbook. Everything
// the file says about itself is checked before it is used: sector numbers, chain lengths and
// stream sizes, so a damaged or hostile file is refused instead of looping or over-allocating.
class CompoundFile {
public:
    // False when the bytes are no compound file or its tables are damaged.
    bool Open(QByteArrayView file);

    // A stream directly in the root storage; names compare without regard to case, as the
    // format wants. -1 when there is none.
    int FindStream(QStringView name) const;
    // The stream's bytes; empty when its chain is damaged.
    std::optional<QByteArray> ReadStream(int entry) const;

private:
    struct Entry {
        QString name;
        quint8 type = 0;
        quint32 left = 0;
        quint32 right = 0;
        quint32 child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    std::optional<QByteArray> Chain(quint32 start, std::optional<quint64> size) const;
    std::optional<QByteArray> MiniChain(quint32 start, quint64 size) const;
    bool CollectRootChildren();

    QByteArrayView file_;
    int sectorShift_ = 9;
    quint32 sectorCount_ = 0;
    quint32 miniCutoff_ = 4096;
    std::vector<quint32> fat_;
    std::vector<quint32> miniFat_;
    QByteArray miniStream_;
    std::vector<Entry> entries_;
    std::vector<int> rootChildren_;
};
