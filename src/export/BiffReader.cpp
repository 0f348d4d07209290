#include "BiffReader.h"

#include "ExcelNumberFormat.h"
#include "LittleEndian.h"
#include "TextCodec.h"

#include <bit>
#include <optional>
#include <vector>

namespace {

enum : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRichString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kArray = 0x0221,
    kTable = 0x0236,
    kRk = 0x027E,
    kFormat = 0x041E,
    kSharedFormula = 0x04BC,
    kBof = 0x0809,
};

constexpr quint16 kBiff5 = 0x0500;
constexpr quint16 kBiff8 = 0x0600;
constexpr quint16 kGlobalsSubstream = 0x0005;
constexpr quint16 kWorksheetSubstream = 0x0010;

double F64(QByteArrayView bytes, qsizetype at) {
    return std::bit_cast<double>(U64(bytes, at));
}

double RkValue(quint32 rk) {
    double value =
        (rk & 2) ? double(qint32(rk) >> 2) : std::bit_cast<double>(quint64(rk & 0xFFFFFFFC) << 32);
    if (rk & 1) value /= 100;
    return value;
}

QString ErrorText(quint8 code) {
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#GETTING_DATA");
    }
}

QString BooleanText(bool value) {
    return value ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
}

struct Record {
    quint16 id = 0;
    QByteArrayView body;
};

class Records {
public:
    Records(QByteArrayView stream, qsizetype at) : stream_(stream), at_(at) {}

    // False at the end of the stream, and when a record runs past it (damaged).
    bool Next(Record* record) {
        if (at_ + 4 > stream_.size()) return false;
        const quint16 size = U16(stream_, at_ + 2);
        if (at_ + 4 + size > stream_.size()) return false;
        record->id = U16(stream_, at_);
        record->body = stream_.sliced(at_ + 4, size);
        at_ += 4 + size;
        return true;
    }

    // Long strings go on in CONTINUE records right after the one they start in.
    std::vector<QByteArrayView> WithContinues(QByteArrayView body) {
        std::vector<QByteArrayView> pieces = {body};
        for (;;) {
            const qsizetype at = at_;
            Record next;
            if (!Next(&next)) break;
            if (next.id != kContinue) {
                at_ = at;
                break;
            }
            pieces.push_back(next.body);
        }
        return pieces;
    }

private:
    QByteArrayView stream_;
    qsizetype at_;
};

// Reads across a record and its CONTINUE records. Characters split by a record boundary
// start the new record with a fresh flag byte saying whether they are one or two bytes wide.
class Pieces {
public:
    explicit Pieces(std::vector<QByteArrayView> pieces) : pieces_(std::move(pieces)) {}

    bool AtEnd() {
        while (at_ == pieces_[piece_].size() && piece_ + 1 < pieces_.size()) {
            ++piece_;
            at_ = 0;
        }
        return at_ == pieces_[piece_].size();
    }

    std::optional<quint32> Number(int bytes) {
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i) {
            if (AtEnd()) return std::nullopt;
            value |= quint32(quint8(pieces_[piece_][at_++])) << (8 * i);
        }
        return value;
    }

    bool Skip(quint64 count) {
        while (count > 0) {
            if (AtEnd()) return false;
            const quint64 step = std::min<quint64>(count, quint64(pieces_[piece_].size() - at_));
            at_ += qsizetype(step);
            count -= step;
        }
        return true;
    }

    // Bytes that go on in the next record as they are: BIFF5 has no flag bytes.
    std::optional<QByteArray> Bytes(quint32 count) {
        QByteArray bytes;
        while (count > 0) {
            if (AtEnd()) return std::nullopt;
            const quint32 take = std::min(count, quint32(pieces_[piece_].size() - at_));
            bytes += pieces_[piece_].sliced(at_, take);
            at_ += take;
            count -= take;
        }
        return bytes;
    }

    bool Characters(quint32 count, bool wide, QString* text) {
        text->reserve(qsizetype(count));
        while (count > 0) {
            if (at_ == pieces_[piece_].size()) {
                if (piece_ + 1 >= pieces_.size() || pieces_[piece_ + 1].isEmpty()) return false;
                ++piece_;
                at_ = 0;
                wide = pieces_[piece_][at_++] & 1;
            }
            const QByteArrayView rest = pieces_[piece_].sliced(at_);
            const quint32 available = quint32(rest.size() / (wide ? 2 : 1));
            if (available == 0) return false;
            const quint32 take = std::min(count, available);
            for (quint32 i = 0; i < take; ++i)
                text->append(wide ? QChar(U16(rest, 2 * i)) : QChar(quint8(rest[i])));
            at_ += qsizetype(take) * (wide ? 2 : 1);
            count -= take;
        }
        return true;
    }

    // A string with a 16-bit length; shared strings may carry formatting runs and phonetic
    // data, which are skipped.
    std::optional<QString> String(bool extended) {
        const std::optional<quint32> length = Number(2);
        const std::optional<quint32> flags = Number(1);
        if (!length || !flags) return std::nullopt;
        quint32 runs = 0;
        quint32 phonetic = 0;
        if (extended && (*flags & 0x08)) {
            const std::optional<quint32> n = Number(2);
            if (!n) return std::nullopt;
            runs = *n;
        }
        if (extended && (*flags & 0x04)) {
            const std::optional<quint32> n = Number(4);
            if (!n) return std::nullopt;
            phonetic = *n;
        }
        QString text;
        if (!Characters(*length, *flags & 0x01, &text)) return std::nullopt;
        if (!Skip(quint64(runs) * 4 + phonetic)) return std::nullopt;
        return text;
    }

private:
    std::vector<QByteArrayView> pieces_;
    size_t piece_ = 0;
    qsizetype at_ = 0;
};

struct Globals {
    BiffStatus status = BiffStatus::Damaged;
    bool biff5 = false;
    // Windows-1252 unless a CODEPAGE record says otherwise.
    int codePage = 1252;
    std::optional<quint32> sheetOffset;
    bool date1904 = false;
    std::vector<QString> strings;
    std::vector<NumberKind> xfKinds;

    // A cell or format text: BIFF8 stores Unicode behind a flag byte, BIFF5 8-bit text in the
    // code page, its length in `lengthBytes` bytes in front.
    std::optional<QString> Text(Pieces pieces, int lengthBytes) const {
        if (!biff5) return pieces.String(false);
        const std::optional<quint32> length = pieces.Number(lengthBytes);
        if (!length) return std::nullopt;
        const std::optional<QByteArray> bytes = pieces.Bytes(*length);
        if (!bytes) return std::nullopt;
        return FromCodePage(*bytes, codePage);
    }
};

Globals ReadGlobals(QByteArrayView stream, bool bookStream) {
    Globals globals;
    Records records(stream, 0);
    Record record;
    if (!records.Next(&record)) return globals;
    // BIFF2 to BIFF4 have BOF records of their own; BIFF5 and BIFF8 share one and differ in
    // its version field.
    if (record.id == 0x0009 || record.id == 0x0209 || record.id == 0x0409) {
        globals.status = BiffStatus::OldVersion;
        return globals;
    }
    if (record.id != kBof || record.body.size() < 4) return globals;
    const quint16 version = U16(record.body, 0);
    globals.biff5 = version == kBiff5 || (version != kBiff8 && bookStream);
    if (U16(record.body, 2) != kGlobalsSubstream) return globals;

    std::map<quint16, NumberKind> formats;
    std::vector<quint16> xfFormats;
    while (records.Next(&record)) {
        const QByteArrayView body = record.body;
        switch (record.id) {
        case kEof:
            globals.status = BiffStatus::Ok;
            globals.xfKinds.reserve(xfFormats.size());
            for (const quint16 id : xfFormats) {
                const auto custom = formats.find(id);
                globals.xfKinds.push_back(custom != formats.end() ? custom->second
                                                                  : BuiltInNumberFormatKind(id));
            }
            return globals;
        case kFilePass:
            // Everything after it is encrypted.
            globals.status = BiffStatus::Encrypted;
            return globals;
        case kDateMode:
            if (body.size() >= 2) globals.date1904 = U16(body, 0) == 1;
            break;
        case kCodePage:
            if (body.size() >= 2) globals.codePage = U16(body, 0);
            break;
        case kBoundSheet:
            // Chart sheets and macro sheets do not count as worksheets.
            if (body.size() >= 6 && !globals.sheetOffset && quint8(body[5]) == 0)
                globals.sheetOffset = U32(body, 0);
            break;
        case kXf:
            if (body.size() >= 4) xfFormats.push_back(U16(body, 2));
            break;
        case kFormat: {
            if (body.size() < 2) return globals;
            const std::optional<QString> code = globals.Text(Pieces({body.sliced(2)}), 1);
            if (!code) return globals;
            formats[U16(body, 0)] = NumberFormatKind(*code);
            break;
        }
        case kSst: {
            Pieces pieces(records.WithContinues(body));
            // The counts in front are not trusted: the strings are read as far as they go.
            if (!pieces.Skip(8)) return globals;
            while (!pieces.AtEnd()) {
                std::optional<QString> text = pieces.String(true);
                if (!text) return globals;
                globals.strings.push_back(std::move(*text));
            }
            break;
        }
        default:
            break;
        }
    }
    return globals;
}

} // namespace

BiffSheet ReadBiffWorksheet(QByteArrayView workbook, int columns, bool bookStream) {
    BiffSheet sheet;
    const Globals globals = ReadGlobals(workbook, bookStream);
    if (globals.status != BiffStatus::Ok) {
        sheet.status = globals.status;
        return sheet;
    }
    if (!globals.sheetOffset) {
        sheet.status = BiffStatus::NoSheet;
        return sheet;
    }
    Records records(workbook, qsizetype(*globals.sheetOffset));
    Record record;
    if (!records.Next(&record) || record.id != kBof || record.body.size() < 4 ||
        U16(record.body, 2) != kWorksheetSubstream)
        return sheet;

    const auto set = [&](quint16 row, quint16 column, QString text) {
        if (column >= columns) return;
        QStringList& cells = sheet.rows[row];
        if (cells.isEmpty()) cells = QStringList(columns);
        cells[column] = std::move(text);
    };
    // Every cell record starts with its row and column.
    const auto setCell = [&](QByteArrayView body, QString text) {
        set(U16(body, 0), U16(body, 2), std::move(text));
    };
    const auto numberText = [&](double value, quint16 xf) {
        const NumberKind kind =
            xf < globals.xfKinds.size() ? globals.xfKinds[xf] : NumberKind::Number;
        return FormattedNumberText(value, kind, globals.date1904);
    };

    // Embedded charts bring substreams of their own, BOF to EOF, inside the sheet's.
    int depth = 0;
    // A formula with a text result leaves the text to the STRING record after it.
    std::optional<QByteArrayView> pendingFormula;
    while (records.Next(&record)) {
        const QByteArrayView body = record.body;
        if (record.id == kBof) {
            ++depth;
            continue;
        }
        if (record.id == kEof) {
            if (depth == 0) {
                sheet.status = BiffStatus::Ok;
                return sheet;
            }
            --depth;
            continue;
        }
        if (depth > 0) continue;
        if (record.id != kString && record.id != kSharedFormula && record.id != kArray &&
            record.id != kTable && record.id != kContinue)
            pendingFormula.reset();
        switch (record.id) {
        case kNumber:
            if (body.size() < 14) return sheet;
            setCell(body, numberText(F64(body, 6), U16(body, 4)));
            break;
        case kRk:
            if (body.size() < 10) return sheet;
            setCell(body, numberText(RkValue(U32(body, 6)), U16(body, 4)));
            break;
        case kMulRk: {
            if (body.size() < 6) return sheet;
            const quint16 row = U16(body, 0);
            const quint16 first = U16(body, 2);
            // Pairs of format and number, then the last column.
            for (qsizetype at = 4, column = first; at + 6 + 2 <= body.size() && column < columns;
                 at += 6, ++column)
                set(row, quint16(column), numberText(RkValue(U32(body, at + 2)), U16(body, at)));
            break;
        }
        case kLabelSst: {
            if (body.size() < 10) return sheet;
            const quint32 index = U32(body, 6);
            if (index >= globals.strings.size()) return sheet;
            setCell(body, globals.strings[index]);
            break;
        }
        case kLabel:
        case kRichString: {
            if (body.size() < 6) return sheet;
            std::vector<QByteArrayView> pieces = records.WithContinues(body);
            pieces[0] = body.sliced(6);
            std::optional<QString> text = globals.Text(Pieces(std::move(pieces)), 2);
            if (!text) return sheet;
            setCell(body, std::move(*text));
            break;
        }
        case kBoolErr:
            if (body.size() < 8) return sheet;
            setCell(body, body[7] ? ErrorText(quint8(body[6])) : BooleanText(body[6]));
            break;
        case kFormula:
            if (body.size() < 14) return sheet;
            if (U16(body, 12) != 0xFFFF) {
                setCell(body, numberText(F64(body, 6), U16(body, 4)));
                break;
            }
            // Not a number: the first byte says what the cached result is.
            switch (quint8(body[6])) {
            case 0:
                pendingFormula = body;
                setCell(body, QString());
                break;
            case 1:
                setCell(body, BooleanText(body[8]));
                break;
            case 2:
                setCell(body, ErrorText(quint8(body[8])));
                break;
            default:
                setCell(body, QString());
                break;
            }
            break;
        case kString:
            if (pendingFormula) {
                std::optional<QString> text = globals.Text(Pieces(records.WithContinues(body)), 2);
                if (!text) return sheet;
                setCell(*pendingFormula, std::move(*text));
                pendingFormula.reset();
            }
            break;
        default:
            break;
        }
    }
    return sheet;
}
