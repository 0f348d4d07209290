// Linux names the serial ports after their driver: ttyS for the UARTs, ttyUSB and ttyACM for
// USB adapters; what the adapter is comes from sysfs.
#include "SerialDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

QString ReadSysfsText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

} // namespace

QString ComPortDeviceName(int port) {
    if (port >= 1 && port <= 4) return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    if (port >= 5 && port <= 12) return QStringLiteral("/dev/ttyUSB%1").arg(port - 5);
    if (port >= 13 && port <= 16) return QStringLiteral("/dev/ttyACM%1").arg(port - 13);
    return {};
}

QString ComPortDisplayName(int port, const QString& product) {
    const QString device = ComPortDeviceName(port);
    if (device.isEmpty()) return {};
    const QString name = device.mid(5);
    if (product.isEmpty()) return QStringLiteral("COM%1 (%2)").arg(port).arg(name);
    return QStringLiteral("COM%1 (%2, %3)").arg(port).arg(name, product);
}

bool IsUsbSerialDevice(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

QString SysfsProductName(const QString& root, const QString& ttyName) {
    // The tty's device is the USB interface (ttyACM) or a port below it (ttyUSB); the
    // product string belongs to the USB device one or two levels up.
    const QString devices = QDir(root).filePath(QStringLiteral("devices"));
    QString folder =
        QFileInfo(QDir(root).filePath(QStringLiteral("class/tty/") + ttyName + "/device"))
            .canonicalFilePath();
    for (int level = 0; level < 4 && folder.startsWith(devices); ++level) {
        const QString product = ReadSysfsText(folder + QStringLiteral("/product"));
        if (!product.isEmpty()) return product;
        folder = QFileInfo(folder).path();
    }
    return {};
}

int SysfsLatencyTimer(const QString& root, const QString& ttyName) {
    bool ok = false;
    const int ms = ReadSysfsText(QDir(root).filePath(QStringLiteral("class/tty/") + ttyName +
                                                     QStringLiteral("/device/latency_timer")))
                       .toInt(&ok);
    return ok && ms >= 0 ? ms : -1;
}

QString SystemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r: the text may live in the buffer or elsewhere.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    if (!text || !*text) return QString::number(error);
    return QString::fromLocal8Bit(text);
}
