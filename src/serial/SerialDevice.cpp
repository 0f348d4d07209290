#include "SerialDevice.h"

qint32 BaudRateValue(TBaudRate rate, qint32 user) {
    static constexpr qint32 rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                       19200, 38400, 56000, 57600, 115200, 128000, 256000};
    if (rate >= br110 && rate <= br256000) return rates[rate];
    return user;
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
