#include "LiveAddress.h"

#include <QNetworkInterface>
#include <QPainter>

#include <qrencode.h>

#include <algorithm>
#include <memory>

namespace {

// Phones on the track's Wi-Fi reach private and link-local addresses; a public one only if
// the machine has no other, so those come second.
int Preference(const QHostAddress& address) {
    const quint32 ip = address.toIPv4Address();
    const bool privateUse =
        (ip >> 24) == 10 || (ip >> 20) == (172u << 4 | 1) || (ip >> 16) == (192u << 8 | 168);
    if (privateUse) return 0;
    if (address.isLinkLocal()) return 2;
    return 1;
}

} // namespace

QString LiveAddress(quint16 port, const QList<QHostAddress>& addresses) {
    const QHostAddress* best = nullptr;
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address.isLoopback()) continue;
        if (!best || Preference(address) < Preference(*best)) best = &address;
    }
    const QString host = best ? best->toString() : QStringLiteral("localhost");
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

QString LiveAddress(quint16 port) {
    QList<QHostAddress> addresses;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            addresses << entry.ip();
    }
    return LiveAddress(port, addresses);
}

bool IsRacerPageNumber(QStringView number) {
    return !number.isEmpty() && number.size() <= 4 &&
           std::all_of(number.begin(), number.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QImage QrCodeImage(const QString& text, int moduleSize) {
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || moduleSize < 1) return {};
    constexpr int kQuietZone = 4; // modules of white around the code, as readers expect
    const int modules = code->width + 2 * kQuietZone;
    QImage image(modules * moduleSize, modules * moduleSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + kQuietZone) * moduleSize, (y + kQuietZone) * moduleSize,
                                 moduleSize, moduleSize, Qt::black);
    return image;
}
