#include "SerialDevice.h"

#include <cstring>

qint32 BaudRateValue(TBaudRate rate, qint32 user) {
    static constexpr qint32 rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                       19200, 38400, 56000, 57600, 115200, 128000, 256000};
    if (rate >= br110 && rate <= br256000) return rates[rate];
    return user;
}

QString ComPortDeviceName(int port) {
    if (port >= 1 && port <= 4) return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    if (port >= 5 && port <= 12) return QStringLiteral("/dev/ttyUSB%1").arg(port - 5);
    if (port >= 13 && port <= 16) return QStringLiteral("/dev/ttyACM%1").arg(port - 13);
    return {};
}

QString ComPortDisplayName(int port) {
    const QString device = ComPortDeviceName(port);
    if (device.isEmpty()) return {};
    return QStringLiteral("COM%1 (%2)").arg(port).arg(device.mid(5));
}

int ComPortNumber(const QString& name) {
    QString text = name.trimmed();
    if (text.startsWith(QLatin1String("/dev/"))) {
        for (int port = 1; port <= kComPortCount; ++port)
            if (ComPortDeviceName(port) == text) return port;
        return 0;
    }
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) text = text.mid(3);
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= kComPortCount ? port : 0;
}

QString SystemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r: the text may live in the buffer or elsewhere.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    if (!text || !*text) return QString::number(error);
    return QString::fromLocal8Bit(text);
}
