#include "Standings.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <tuple>
#include <vector>

namespace {

// A run without a speed ranks below every run with one, a speed of 0 included.
double SpeedKey(const TRun& run) {
    return run.speedKmh >= 0 ? run.speedKmh : -1.0;
}

// Negative when a ranks before b, 0 when they share a place.
int CompareRank(const TRun& a, const TRun& b) {
    if (a.finalMs != b.finalMs) return a.finalMs < b.finalMs ? -1 : 1;
    const double speedA = SpeedKey(a), speedB = SpeedKey(b);
    if (speedA != speedB) return speedA > speedB ? -1 : 1;
    return 0;
}

bool Later(const TRun& a, const TRun& b) {
    return std::tie(a.day, a.heat, a.lane, a.id) > std::tie(b.day, b.heat, b.lane, b.id);
}

struct Racer {
    qsizetype latest = -1;    // the latest run that is not void
    qsizetype latestAny = -1; // the latest run, void or not
    qsizetype best = -1;      // the best valid run; of equal ones the first
    int runs = 0;
};

// Start numbers in numeric order, texts that are no number after them.
struct NumberKey {
    qint64 value;
    QString text;

    explicit NumberKey(const QString& number) : text(number) {
        bool ok = false;
        value = number.toLongLong(&ok);
        if (!ok) value = std::numeric_limits<qint64>::max();
    }
    bool operator<(const NumberKey& other) const {
        return std::tie(value, text) < std::tie(other.value, other.text);
    }
};

struct Item {
    const TRun* counted; // null without a place
    const TRun* shown;
    const Racer* racer;
    NumberKey number;
};

struct Group {
    QString classInfo;
    const TRun* first = nullptr; // the earliest run shown in the group
    std::vector<Item> items;
};

QString GroupTitle(const QString& classInfo) {
    if (classInfo.isEmpty()) return QStringLiteral("ohne Klasse");
    if (classInfo.startsWith(QStringLiteral("Klasse"), Qt::CaseInsensitive)) return classInfo;
    return QStringLiteral("Klasse ") + classInfo;
}

TStandingsEntry MakeEntry(const Item& item) {
    const TRun& shown = *item.shown;
    TStandingsEntry entry;
    entry.startNumber = shown.startNumber;
    entry.name = shown.name;
    entry.firstName = shown.firstName;
    entry.vehicle = shown.vehicle;
    entry.engine = shown.engine;
    entry.classInfo = shown.classInfo;
    entry.runs = item.racer->runs;
    entry.heat = shown.heat;
    entry.runId = shown.id;
    if (item.counted) {
        entry.time = shown.finalTime;
        entry.speed = shown.speed;
        entry.reaction = shown.reaction;
        entry.warnings = shown.warnings;
    } else {
        entry.reason = item.racer->latest >= 0 ? shown.InvalidReason() : QStringLiteral("ungültig");
    }
    return entry;
}

} // namespace

TStandings BuildStandings(const TRuns& runs, bool Klass, bool ManyStart,
                          const QStringList& classList) {
    // One pass gathers each racer's latest and best run.
    QHash<QString, qsizetype> racerOf;
    racerOf.reserve(runs.size());
    std::vector<Racer> racers;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const TRun& run = runs[i];
        auto found = racerOf.constFind(run.startNumber);
        if (found == racerOf.cend()) {
            found = racerOf.insert(run.startNumber, qsizetype(racers.size()));
            racers.emplace_back();
        }
        Racer& racer = racers[size_t(*found)];
        if (racer.latestAny < 0 || Later(run, runs[racer.latestAny])) racer.latestAny = i;
        if (run.voided) continue;
        ++racer.runs;
        if (racer.latest < 0 || Later(run, runs[racer.latest])) racer.latest = i;
        if (run.Valid()) {
            const int rank = racer.best < 0 ? -1 : CompareRank(run, runs[racer.best]);
            if (rank < 0 || (rank == 0 && Later(runs[racer.best], run))) racer.best = i;
        }
    }

    // The racers by class; with classes off all in one group.
    QHash<QString, size_t> groupOf;
    std::vector<Group> groups;
    if (!Klass) groups.emplace_back();
    for (const Racer& racer : racers) {
        const TRun* counted = nullptr;
        if (ManyStart && racer.best >= 0) counted = &runs[racer.best];
        if (!ManyStart && racer.latest >= 0 && runs[racer.latest].Valid())
            counted = &runs[racer.latest];
        const TRun* shown =
            counted ? counted : &runs[racer.latest >= 0 ? racer.latest : racer.latestAny];
        size_t g = 0;
        if (Klass) {
            // A stray blank typed into the class cell must not open a class of its own.
            const QString classInfo = shown->classInfo.trimmed();
            auto found = groupOf.constFind(classInfo);
            if (found == groupOf.cend()) {
                found = groupOf.insert(classInfo, groups.size());
                groups.push_back({classInfo, shown, {}});
            }
            g = *found;
            if (Later(*groups[g].first, *shown)) groups[g].first = shown;
        }
        groups[g].items.push_back({counted, shown, &racer, NumberKey(shown->startNumber)});
    }

    // The operator's classes in their order, then the others as they first raced, no class last.
    QHash<QString, qsizetype> listed;
    for (qsizetype i = classList.size() - 1; i >= 0; --i)
        listed.insert(classList[i].trimmed(), i);
    auto position = [&](const Group& group) {
        return group.classInfo.isEmpty() ? classList.size() + 1
                                         : listed.value(group.classInfo, classList.size());
    };
    std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
        const qsizetype positionA = position(a), positionB = position(b);
        return positionA != positionB ? positionA < positionB : Later(*b.first, *a.first);
    });

    TStandings standings;
    standings.Klass = Klass;
    standings.ManyStart = ManyStart;
    for (Group& source : groups) {
        std::vector<Item>& items = source.items;
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            if (bool(a.counted) != bool(b.counted)) return bool(a.counted);
            if (a.counted) {
                const int rank = CompareRank(*a.counted, *b.counted);
                if (rank != 0) return rank < 0;
            }
            return a.number < b.number;
        });
        TStandingsGroup group;
        group.classInfo = source.classInfo;
        if (Klass) group.title = GroupTitle(group.classInfo);
        group.entries.reserve(qsizetype(items.size()));
        for (size_t i = 0; i < items.size(); ++i) {
            TStandingsEntry entry = MakeEntry(items[i]);
            if (items[i].counted) {
                const bool shared =
                    i > 0 && CompareRank(*items[i].counted, *items[i - 1].counted) == 0;
                entry.place = shared ? group.entries.back().place : int(i) + 1;
            }
            group.entries.append(std::move(entry));
        }
        standings.groups.append(std::move(group));
    }
    return standings;
}

QStringList StandingsHeader(bool Klass) {
    return {QStringLiteral("Platz"),
            QStringLiteral("St.Nr."),
            QStringLiteral("Name"),
            QStringLiteral("Vorname"),
            QStringLiteral("Roller"),
            QStringLiteral("Motor"),
            Klass ? QStringLiteral("Klasse") : QStringLiteral("Info"),
            QStringLiteral("Zeit"),
            QStringLiteral("Km/h"),
            QStringLiteral("RZ"),
            QStringLiteral("Starts"),
            QStringLiteral("Lauf")};
}

QStringList StandingsCells(const TStandingsEntry& entry) {
    QStringList cells(kStandingsColumns);
    if (entry.Placed()) cells[StColPlace] = QString::number(entry.place);
    cells[StColStartNr] = entry.startNumber;
    cells[StColName] = entry.name;
    cells[StColFirstName] = entry.firstName;
    cells[StColVehicle] = entry.vehicle;
    cells[StColEngine] = entry.engine;
    cells[StColClass] = entry.classInfo;
    cells[StColTime] =
        entry.Placed() ? entry.time + (entry.Marked() ? kWarningMark : QString()) : entry.reason;
    cells[StColSpeed] = entry.speed;
    cells[StColReaction] = entry.reaction;
    cells[StColRuns] = QString::number(entry.runs);
    if (entry.heat > 0) cells[StColHeat] = QString::number(entry.heat);
    return cells;
}
