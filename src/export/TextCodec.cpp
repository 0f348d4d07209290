#include "TextCodec.h"

#include <QHash>

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// Runs one whole conversion; false when iconv meets something it cannot convert.
bool Convert(const char* to, const char* from, const QByteArray& in, QByteArray& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return false;
    out.resize(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = size_t(in.size());
    char* outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == size_t(-1)) return false;
    out.resize(out.size() - qsizetype(outLeft));
    return true;
}

// The upper half of the code page. The five bytes it leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the control characters of the same number, as Windows reads them, so
// a file holding them is written back byte for byte.
const std::array<QChar, 128>& UpperHalf() {
    static const auto table = [] {
        std::array<QChar, 128> result;
        QByteArray one(1, '\0'), utf8;
        for (int i = 0; i < 128; ++i) {
            one[0] = char(0x80 + i);
            const QString decoded =
                Convert("UTF-8", "WINDOWS-1252", one, utf8) ? QString::fromUtf8(utf8) : QString();
            result[i] = decoded.size() == 1 ? decoded[0] : QChar(0x80 + i);
        }
        return result;
    }();
    return table;
}

const QHash<char16_t, char>& UpperHalfBytes() {
    static const auto bytes = [] {
        QHash<char16_t, char> result;
        for (int i = 0; i < 128; ++i)
            result.insert(UpperHalf()[i].unicode(), char(0x80 + i));
        return result;
    }();
    return bytes;
}

} // namespace

std::optional<QByteArray> ToWindows1252(const QString& text) {
    const QHash<char16_t, char>& upper = UpperHalfBytes();
    QByteArray out(text.size(), Qt::Uninitialized);
    char* next = out.data();
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            *next++ = char(c.unicode());
            continue;
        }
        const auto byte = upper.constFind(c.unicode());
        if (byte == upper.constEnd()) return std::nullopt;
        *next++ = *byte;
    }
    return out;
}

QString FromWindows1252(const QByteArray& bytes) {
    const std::array<QChar, 128>& upper = UpperHalf();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        *out++ = code < 0x80 ? QChar(code) : upper[code - 0x80];
    }
    return text;
}

bool IsValidUtf8(const QByteArray& bytes) {
    QByteArray ignored;
    return Convert("UTF-8", "UTF-8", bytes, ignored);
}

namespace {

// The iconv name of a Windows code page number; empty for Windows-1252 and unknown numbers.
QByteArray IconvName(int codePage) {
    switch (codePage) {
    case 10000: // Mac Roman, as Windows numbers it and as Excel for the Mac wrote it
    case 32768:
        return "MACINTOSH";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 1361:
        return "JOHAB";
    case 437:
    case 737:
    case 775:
    case 850:
    case 852:
    case 855:
    case 857:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
    case 10007:
        return "CP" + QByteArray::number(codePage);
    default:
        return {};
    }
}

} // namespace

QString FromCodePage(QByteArrayView bytes, int codePage) {
    const QByteArray name = IconvName(codePage);
    const char* utf16 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE";
    iconv_t cd = name.isEmpty() ? iconv_t(-1) : iconv_open(utf16, name.constData());
    if (cd == iconv_t(-1)) return FromWindows1252(bytes.toByteArray());
    // Room for two UTF-16 units a byte, more than any of these code pages makes.
    QString text(bytes.size() * 2, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char* out = reinterpret_cast<char*>(text.data());
    size_t outLeft = size_t(text.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1) || errno == E2BIG) break;
        // A byte the code page leaves open, or a double-byte character cut off at the end.
        const char16_t replacement = u'\uFFFD';
        std::memcpy(out, &replacement, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    text.resize(qsizetype(out - reinterpret_cast<char*>(text.data())) / 2);
    return text;
}
