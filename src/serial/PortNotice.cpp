#include "PortNotice.h"

#include <cerrno>

QString PortNoticeText(const TPortCondition& condition) {
    if (condition.port == 0) return {};
    // Short enough for the window's notice; the adapter's name is in the port list.
    const QString port = ComPortDisplayName(condition.port);
    // Whatever else held for the device is past while it is gone.
    if (condition.lost)
        return QStringLiteral("Lichtschranken getrennt (%1): Stopp von Hand mit F8/F9. "
                              "Neu verbunden wird von selbst.")
            .arg(port);
    // Most important first: the window shows the first line.
    QStringList lines;
    if (condition.openError == EACCES || condition.openError == EPERM)
        lines << QStringLiteral("Kein Zugriff auf %1: Das Benutzerkonto muss in die Gruppe "
                                "„dialout“ (danach neu anmelden).")
                     .arg(port);
    if (condition.latencyMs > kHighLatencyMs)
        lines << QStringLiteral("%1 meldet die Lichtschranken nur alle %2 ms: Zeiten bis zu "
                                "%2 ms zu spät.")
                     .arg(port)
                     .arg(condition.latencyMs);
    if (condition.polled)
        lines << QStringLiteral("%1 meldet Änderungen nicht von selbst: Abfrage jede "
                                "Millisekunde, Zeiten auf 1 ms genau.")
                     .arg(port);
    if (condition.overflows > 0)
        lines << QStringLiteral("%1 Lichtschranken-Meldungen kamen zu schnell und wurden "
                                "zusammengefasst.")
                     .arg(condition.overflows);
    if (condition.reconnected)
        lines << QStringLiteral("Lichtschranken wieder verbunden (%1).").arg(port);
    return lines.join(u'\n');
}
