#include "LiveJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

bool BlankRow(const QStringList& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const QString& cell) { return cell.trimmed().isEmpty(); });
}

QJsonObject LaneJson(const LiveLane& lane) {
    return {{"start", lane.startNumber},
            {"ready", lane.readyNumber},
            {"name", lane.name},
            {"running", lane.running},
            {"ms", lane.ms},
            {"clock", ClockText(lane.ms)},
            {"stopped", lane.stopped},
            {"time", lane.time},
            {"line", lane.line},
            {"winner", lane.winner},
            {"falseStart", lane.falseStart},
            {"void", lane.voided}};
}

} // namespace

QByteArray SafeJson(const QJsonObject& object) {
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    // Outside strings JSON has none of these characters, so they can be replaced bytewise.
    json.replace('&', "\\u0026").replace('<', "\\u003c").replace('>', "\\u003e");
    return json;
}

std::optional<int> TimeTextMs(const QString& text) {
    const QString trimmed = text.trimmed();
    const qsizetype comma = trimmed.indexOf(u',');
    if (comma <= 0 || trimmed.size() - comma - 1 != 3) return std::nullopt;
    bool secondsOk = false, msOk = false;
    const int seconds = trimmed.left(comma).toInt(&secondsOk);
    const int ms = trimmed.mid(comma + 1).toInt(&msOk);
    if (!secondsOk || !msOk || seconds < 0 || ms < 0 || seconds > 1000000) return std::nullopt;
    return seconds * 1000 + ms;
}

QString ClockText(int ms) {
    return QStringLiteral("%1,%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QList<ClassGroup> GroupByClass(const ProtocolRows& rows, const QStringList& classList) {
    QList<ClassGroup> groups;
    for (const QString& name : classList)
        if (std::none_of(groups.begin(), groups.end(),
                         [&](const ClassGroup& g) { return g.className == name; }))
            groups.append({name, {}});
    for (int r = 1; r < rows.size(); ++r) {
        if (BlankRow(rows[r])) continue;
        const QString name = rows[r].value(ColClass).trimmed();
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const ClassGroup& g) { return g.className == name; });
        if (group == groups.end()) {
            groups.append({name, {}});
            group = groups.end() - 1;
        }
        group->rows.append(r);
    }
    groups.removeIf([](const ClassGroup& g) { return g.rows.isEmpty(); });
    for (ClassGroup& group : groups)
        std::stable_sort(group.rows.begin(), group.rows.end(), [&](int a, int b) {
            const auto ta = TimeTextMs(rows[a].value(ColTime));
            const auto tb = TimeTextMs(rows[b].value(ColTime));
            if (ta && tb) return *ta < *tb;
            return ta.has_value() && !tb.has_value();
        });
    return groups;
}

QByteArray LiveStateJson(const LiveState& state) {
    QJsonArray callUp;
    for (const QStringList& pairing : state.callUp)
        callUp.append(QJsonObject{{"start", QJsonArray{pairing.value(0), pairing.value(1)}},
                                  {"name", QJsonArray{pairing.value(2), pairing.value(3)}},
                                  {"round", pairing.value(4)}});
    QJsonArray heats;
    for (const LiveHeat& heat : state.heats)
        heats.append(
            QJsonObject{{"at", heat.at},
                        {"lanes", QJsonArray{LaneJson(heat.lanes[0]), LaneJson(heat.lanes[1])}}});
    return SafeJson({{"title", state.title},
                     {"lanes", QJsonArray{LaneJson(state.lanes[0]), LaneJson(state.lanes[1])}},
                     {"heats", heats},
                     {"protocol", state.protocolVersion},
                     {"standings", state.standingsVersion},
                     {"racers", state.racersVersion},
                     {"ladder", state.ladderVersion},
                     {"ladders", state.ladders},
                     {"callup", callUp}});
}

QByteArray LiveProtocolJson(const LiveProtocol& protocol) {
    QList<int> columns;
    for (int c = 0; c < kProtocolColumns; ++c)
        if (protocol.visibleColumns.value(c, true)) columns << c;
    const QStringList header = protocol.rows.value(0);
    QJsonArray titles;
    for (int c : columns)
        titles.append(header.value(c));

    QList<ClassGroup> groups;
    if (protocol.classMode) {
        groups = GroupByClass(protocol.rows, protocol.classList);
    } else {
        ClassGroup all;
        for (int r = 1; r < protocol.rows.size(); ++r)
            if (!BlankRow(protocol.rows[r])) all.rows << r;
        groups.append(all);
    }
    QJsonArray groupsJson;
    for (const ClassGroup& group : groups) {
        QJsonArray rows;
        for (int r : group.rows) {
            QJsonArray cells;
            for (int c : columns)
                cells.append(protocol.rows[r].value(c));
            rows.append(cells);
        }
        groupsJson.append(QJsonObject{{"class", group.className}, {"rows", rows}});
    }
    return SafeJson({{"version", protocol.version},
                     {"classMode", protocol.classMode},
                     {"columns", titles},
                     {"groups", groupsJson}});
}
