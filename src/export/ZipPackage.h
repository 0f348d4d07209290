#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Office files are zip packages of XML parts. Reading is bounded per part, so a damaged or
// hostile file that claims gigabytes inside cannot take the program's memory. Part names are
// looked up as the package rules compare them: without regard to case, with a backslash taken
// for "/"; a package that holds one name twice is damaged.
class ZipPackageReader {
public:
    ZipPackageReader() = default;
    ~ZipPackageReader();
    ZipPackageReader(const ZipPackageReader&) = delete;
    ZipPackageReader& operator=(const ZipPackageReader&) = delete;

    bool Open(const QString& fileName);
    // The package held in memory; the bytes are kept while the reader lives.
    bool Open(const QByteArray& bytes);
    // Part names in the order the package stores them.
    QStringList Names() const;
    bool Contains(const QString& name) const;
    // Empty when the part is missing, damaged or larger than maxBytes; Error() says why.
    std::optional<QByteArray> Read(const QString& name, qint64 maxBytes);
    QString Error() const { return error_; }

private:
    bool IndexNames();
    qint64 Locate(const QString& name) const;

    struct zip* archive_ = nullptr;
    QByteArray bytes_;
    // Compared form of each part name -> its index in the archive.
    QHash<QString, quint64> index_;
    QString error_;
};

struct ZipPart {
    QString name;
    QByteArray data;
};

// The bytes of a deflated zip package holding the parts in the given order; empty on failure.
std::optional<QByteArray> BuildZipPackage(const QList<ZipPart>& parts);

// Resolves a relationship target against the folder of the part that names it
// ("worksheets/sheet1.xml" from "xl/workbook.xml" is "xl/worksheets/sheet1.xml").
QString ResolvePartTarget(const QString& sourcePart, const QString& target);
// Whether two part names name the same part, compared as the reader looks parts up.
bool SamePartName(const QString& a, const QString& b);
// The relationships part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
QString RelationshipsPartOf(const QString& part);
