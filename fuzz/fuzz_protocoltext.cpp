// Feeds arbitrary bytes to the protocol text reader. Besides crashes it checks that what the
// reader returns is well formed and that writing it and reading it back changes nothing more.
#include "export/ProtocolText.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const ProtocolReadResult first = ParseProtocolText(bytes, kHeader);
    if (!first.ok) {
        Check(first.rows.isEmpty() && !first.message.isEmpty());
        return 0;
    }
    Check(first.rows.size() >= 2);
    for (const QStringList& row : first.rows)
        Check(row.size() == kProtocolColumns);
    for (const QString& title : first.rows[0])
        Check(!title.trimmed().isEmpty());

    // The first write normalises (blank cells become " ", rows without a number go); after
    // that a file must survive any number of round trips unchanged.
    const QByteArray written = EncodeProtocolText(first.rows);
    const ProtocolReadResult second = ParseProtocolText(written, kHeader);
    Check(second.ok);
    Check(EncodeProtocolText(second.rows) == written);
    return 0;
}
