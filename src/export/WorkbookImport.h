#pragma once

// What the workbook readers share: the limits, the messages, the rows collected, and the XML of
// the zip-based formats. For the readers in this folder only.

#include "ProtocolText.h"
#include "ZipPackage.h"

#include <QString>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace workbook {

// Far above any participant list, low enough that a hostile file cannot exhaust memory.
inline constexpr qint64 kMaxPartBytes = 64 * 1024 * 1024;
inline constexpr qint64 kMaxWorkbookBytes = 64 * 1024 * 1024;
inline constexpr int kMaxColumnNumber = 16384;
// Excel's own limit for one cell.
inline constexpr qsizetype kMaxCellCharacters = 32767;
// 64 MB of text: one shared string used in every cell must not multiply into gigabytes.
inline constexpr qint64 kMaxImportedCharacters = 32 * 1024 * 1024;

inline const QString kNoWorkbook =
    QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (.xlsx oder "
                   ".xls) und keine OpenDocument-Tabelle (.ods).");
inline const QString kDamaged = QStringLiteral("Die Arbeitsmappe ist beschädigt.");
inline const QString kNoSheet = QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt.");
inline const QString kEncrypted =
    QStringLiteral("Die Arbeitsmappe ist mit einem Kennwort geschützt.");
inline const QString kOldVersion =
    QStringLiteral("Die Arbeitsmappe stammt aus einer Excel-Version vor Excel 5.0 und kann nicht "
                   "gelesen werden. Bitte in Excel als .xlsx speichern.");
inline const QString kTooMany =
    QStringLiteral("Die Tabelle hat zu viele Zeilen für ein Protokoll.");
inline const QString kCellTooLong =
    QStringLiteral("Eine Zelle der Tabelle enthält mehr als 32767 Zeichen.");
inline const QString kTooMuchText =
    QStringLiteral("Die Tabelle enthält zu viel Text für ein Protokoll.");
inline const QString kNoMemory = QStringLiteral("Nicht genug Arbeitsspeicher.");
inline const QString kTooLarge = QStringLiteral("Die Datei ist zu groß für ein Protokoll.");

inline ProtocolReadResult Failure(const QString& fileName, const QString& reason) {
    ProtocolReadResult result;
    result.message =
        QStringLiteral("Die Datei %1 kann nicht geladen werden.\n%2").arg(fileName, reason);
    return result;
}

inline bool IsStrayControl(QChar c) {
    return c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r';
}

// Collects sheet rows 1, 2, ... in order and ends before the first row (after row 1) whose
// column A is empty. It is also where every cell text passes, so the limits hold for both
// formats alike.
class ProtocolBuilder {
public:
    enum class Next { More, Done, TooMany, CellTooLong, TooMuchText };

    Next Add(QStringList cells) {
        for (QString& cell : cells) {
            if (std::any_of(cell.cbegin(), cell.cend(), IsStrayControl))
                cell.removeIf(IsStrayControl);
            if (cell.size() > kMaxCellCharacters) return Next::CellTooLong;
        }
        const bool emptyA = cells[0].isEmpty();
        if (rows_.isEmpty()) return Keep(std::move(cells), emptyA ? Next::Done : Next::More);
        if (emptyA) return Next::Done;
        if (rows_.size() >= kMaxProtocolRows) return Next::TooMany;
        return Keep(std::move(cells), Next::More);
    }

    ProtocolReadResult Finish(const QString& fileName, Next last) {
        switch (last) {
        case Next::TooMany:
            return Failure(fileName, kTooMany);
        case Next::CellTooLong:
            return Failure(fileName, kCellTooLong);
        case Next::TooMuchText:
            return Failure(fileName, kTooMuchText);
        default:
            break;
        }
        ProtocolReadResult result;
        result.ok = true;
        result.rows = rows_;
        // The table keeps at least one data row, and a header always.
        while (result.rows.size() < 2)
            result.rows.append(QStringList(kProtocolColumns));
        return result;
    }

private:
    Next Keep(QStringList cells, Next next) {
        for (const QString& cell : cells)
            characters_ += cell.size();
        if (characters_ > kMaxImportedCharacters) return Next::TooMuchText;
        rows_.append(std::move(cells));
        return next;
    }

    ProtocolRows rows_;
    qint64 characters_ = 0;
};

inline const char* LocalName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

inline bool Is(const pugi::xml_node node, const char* local) {
    return std::strcmp(LocalName(node.name()), local) == 0;
}

inline pugi::xml_node Child(const pugi::xml_node node, const char* local) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (Is(child, local)) return child;
    return {};
}

class XmlPart {
public:
    bool Load(ZipPackageReader& package, const QString& name, QString* reason) {
        std::optional<QByteArray> data = package.Read(name, kMaxPartBytes);
        if (!data) {
            *reason = package.Error();
            return false;
        }
        // Parsed in place: the sheet is held once, not twice.
        data_ = std::move(*data);
        const pugi::xml_parse_result parsed = document_.load_buffer_inplace(
            data_.data(), size_t(data_.size()), pugi::parse_default | pugi::parse_ws_pcdata);
        if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
        if (!parsed) {
            *reason = kDamaged;
            return false;
        }
        return true;
    }
    pugi::xml_node Root() const { return document_.document_element(); }

private:
    QByteArray data_;
    pugi::xml_document document_;
};

// An OpenDocument spreadsheet (.ods), from its zip package.
ProtocolReadResult ParseOds(ZipPackageReader& package, const QString& fileName);
// OpenDocument names its kind in the part "mimetype"; a package without it still has content.xml
// and no package relationships. Nothing when the package is none of its kind.
std::optional<QByteArray> OpenDocumentType(ZipPackageReader& package);

} // namespace workbook
