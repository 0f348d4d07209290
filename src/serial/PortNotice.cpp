#include "PortNotice.h"

#include <cerrno>

QString PortNoticeText(const TPortCondition& condition) {
    if (condition.port == 0) return {};
    const QString port = ComPortDisplayName(condition.port, condition.product);
    QStringList lines;
    if (condition.openError == EACCES || condition.openError == EPERM) {
        lines << QStringLiteral("Kein Zugriff auf %1: Das Benutzerkonto muss zur Gruppe "
                                "„dialout“ gehören (danach neu anmelden).")
                     .arg(port);
    }
    // Whatever else held for the device is past while it is gone.
    if (condition.lost)
        return QStringLiteral("Lichtschranken getrennt (%1): Stopp von Hand mit F8/F9. "
                              "Rennuhr verbindet neu, sobald der Adapter wieder steckt.")
            .arg(port);
    if (condition.reconnected) {
        lines << QStringLiteral("Lichtschranken wieder verbunden (%1).").arg(port);
    }
    if (condition.latencyMs > kHighLatencyMs) {
        lines << QStringLiteral("%1 meldet die Lichtschranken nur alle %2 ms: Zeiten können "
                                "bis zu %2 ms zu spät sein.")
                     .arg(port)
                     .arg(condition.latencyMs);
    }
    if (condition.polled) {
        lines << QStringLiteral("%1 meldet Änderungen nicht von selbst: Rennuhr fragt die "
                                "Lichtschranken jede Millisekunde ab (Zeiten auf 1 ms genau).")
                     .arg(port);
    }
    if (condition.overflows > 0) {
        lines << QStringLiteral("%1 Lichtschranken-Meldungen kamen schneller, als Rennuhr sie "
                                "verarbeiten konnte, und wurden zusammengefasst.")
                     .arg(condition.overflows);
    }
    return lines.join(u'\n');
}
