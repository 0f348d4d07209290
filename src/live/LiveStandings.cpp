#include "LiveStandings.h"

#include "LiveJson.h"

#include <QJsonArray>

QByteArray LiveStandingsJson(const TStandings& standings, int version) {
    QJsonArray groups;
    for (const TStandingsGroup& group : standings.groups) {
        QJsonArray entries;
        for (const TStandingsEntry& entry : group.entries)
            entries.append(QJsonObject{{"place", entry.place},
                                       {"start", entry.startNumber},
                                       {"name", entry.name},
                                       {"firstName", entry.firstName},
                                       {"time", entry.time},
                                       {"speed", entry.speed},
                                       {"reaction", entry.reaction},
                                       {"runs", entry.runs},
                                       {"marked", entry.Marked()},
                                       {"reason", entry.reason}});
        groups.append(QJsonObject{{"title", standings.Klass ? group.title : QString()},
                                  {"entries", entries}});
    }
    return SafeJson({{"version", version},
                     {"classMode", standings.Klass},
                     {"bestRun", standings.ManyStart},
                     {"groups", groups}});
}
