#include "TextCodec.h"

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

} // namespace

std::optional<QByteArray> ToWindows1252(const QString& text) {
    QByteArray out;
    if (!Convert("WINDOWS-1252", "UTF-8", text.toUtf8(), out)) return std::nullopt;
    return out;
}

QString FromWindows1252(const QByteArray& bytes) {
    // The upper half, decoded once; the unassigned 0x81, 0x8D, 0x8F, 0x90, 0x9D stay U+FFFD.
    static const auto upperHalf = [] {
        std::array<QChar, 128> table;
        QByteArray one(1, '\0'), utf8;
        for (int i = 0; i < 128; ++i) {
            one[0] = char(0x80 + i);
            const QString decoded =
                Convert("UTF-8", "WINDOWS-1252", one, utf8) ? QString::fromUtf8(utf8) : QString();
            table[i] = decoded.size() == 1 ? decoded[0] : QChar(0xFFFD);
        }
        return table;
    }();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        *out++ = code < 0x80 ? QChar(code) : upperHalf[code - 0x80];
    }
    return text;
}

bool IsValidUtf8(const QByteArray& bytes) {
    QByteArray ignored;
    return Convert("UTF-8", "UTF-8", bytes, ignored);
}
