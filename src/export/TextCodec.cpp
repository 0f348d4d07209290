#include "TextCodec.h"

#include <QHash>

#include <array>
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
