#include "JournalViewerModel.h"

#include "base/HighResTimer.h"

#include <QColor>
#include <QFont>
#include <QLocale>

namespace {

const QColor kWarned(0xFF, 0xD8, 0x90);
const QColor kEdited(0xC8, 0xDC, 0xFF);

// A child's internal id: its heat's row plus one; a top-level row has 0.
constexpr quintptr kTopLevel = 0;

QString ClockOf(const TJournalLine& line) {
    return line[JfTime].mid(11); // the day is the file's
}

QString LineName(const QString& name) {
    if (name == QStringLiteral("CTS")) return QStringLiteral("Ampel (CTS)");
    if (name == QStringLiteral("DCD")) return QStringLiteral("Bahn 1 (DCD)");
    if (name == QStringLiteral("DSR")) return QStringLiteral("Bahn 2 (DSR)");
    return name;
}

QString Cells(const TJournalLine& line) {
    static const char* const names[5] = {"RZ", "ZZ", "Km/h", "Zeit", "Win"};
    QStringList parts;
    for (int i = 0; i < 5; ++i)
        if (const QString cell = line[JfReaction + i]; !cell.isEmpty())
            parts << QLatin1String(names[i]) + u' ' + cell;
    return parts.join(QStringLiteral("   "));
}

QString EventText(const TJournalLine& line) {
    const QString kind = line[JfKind];
    if (kind == TJournal::kLine)
        return LineName(line[JfName]) + (line[JfLevel] == QStringLiteral("1")
                                             ? QStringLiteral(" ein")
                                             : QStringLiteral(" aus"));
    if (kind == TJournal::kCommand)
        return line[JfName] + QStringLiteral(" (") + line[JfSource] + u')';
    if (kind == TJournal::kResult) return QStringLiteral("Ergebnis");
    if (kind == TJournal::kWarning) return QStringLiteral("Warnung: ") + line[JfName];
    return QStringLiteral("Port ") + line[JfName];
}

QString Values(const TJournalLine& line) {
    const QString text = line[JfText];
    if (line[JfKind] == TJournal::kLine) {
        const int folded = line[JfFolded].toInt();
        // Whole pulses between two reads of the lines, which the levels alone do not show.
        QString values = folded == 1 ? QStringLiteral("1 Impuls dazwischen")
                         : folded    ? QStringLiteral("%1 Impulse dazwischen").arg(folded)
                                     : QString();
        if (!text.isEmpty()) values += (values.isEmpty() ? QString() : "; ") + text;
        return values;
    }
    const QString cells = Cells(line);
    if (cells.isEmpty()) return text;
    return text.isEmpty() ? cells : cells + QStringLiteral("   ") + text;
}

QString LeftOut(qint64 count) {
    return count == 1 ? QStringLiteral("1 Leitungsereignis nicht gezeigt")
                      : QStringLiteral("%1 Leitungsereignisse nicht gezeigt")
                            .arg(QLocale().toString(count));
}

QVariant LineData(const TJournalLine& line, qint64 startTicks, int column, int role) {
    if (role == Qt::BackgroundRole)
        return line[JfKind] == TJournal::kWarning ? QVariant(kWarned) : QVariant();
    if (role == Qt::ToolTipRole)
        return column == TJournalModel::ColValues ? Values(line) : QVariant();
    if (role != Qt::DisplayRole) return {};
    switch (column) {
    case TJournalModel::ColClock:
        return ClockOf(line);
    case TJournalModel::ColSinceStart:
        return startTicks ? TicksToText(line[JfTicks].toLongLong() - startTicks) : QString();
    case TJournalModel::ColEvent:
        return EventText(line);
    case TJournalModel::ColLane:
        return line[JfLane];
    case TJournalModel::ColStartNr:
        return line[JfStartNr];
    default:
        return Values(line);
    }
}

} // namespace

void TJournalModel::SetDay(TJournalDay day) {
    beginResetModel();
    day_ = std::move(day);
    endResetModel();
}

TJournalDay TJournalModel::TakeDay() {
    beginResetModel();
    TJournalDay day = std::exchange(day_, {});
    endResetModel();
    return day;
}

QModelIndex TJournalModel::LastHeat() const {
    for (qsizetype row = day_.items.size() - 1; row >= 0; --row)
        if (day_.items[row].isHeat) return index(int(row), 0);
    return {};
}

QModelIndex TJournalModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : kTopLevel);
}

QModelIndex TJournalModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kTopLevel) return {};
    return createIndex(int(child.internalId() - 1), 0, kTopLevel);
}

int TJournalModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(day_.items.size());
    if (parent.internalId() != kTopLevel || parent.column() != 0) return 0;
    const TJournalItem& item = day_.items[parent.row()];
    if (!item.isHeat) return 0;
    const TJournalHeat& heat = item.heat;
    return int(heat.events.size() + heat.edits.size()) + (heat.lineEventsLeftOut ? 1 : 0);
}

int TJournalModel::columnCount(const QModelIndex&) const {
    return ColCount;
}

QVariant TJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (index.internalId() != kTopLevel)
        return ChildData(day_.items[index.internalId() - 1].heat, index.row(), index.column(),
                         role);
    const TJournalItem& item = day_.items[index.row()];
    return item.isHeat ? HeatData(item.heat, index.column(), role)
                       : LineData(item.line, 0, index.column(), role);
}

QVariant TJournalModel::HeatData(const TJournalHeat& heat, int column, int role) const {
    if (role == Qt::FontRole) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::BackgroundRole) {
        if (heat.warnings) return kWarned;
        return heat.edits.isEmpty() ? QVariant() : QVariant(kEdited);
    }
    if (role != Qt::DisplayRole) return {};
    switch (column) {
    case ColClock:
        return ClockOf(heat.start);
    case ColEvent:
        return QStringLiteral("Lauf %1: START (%2)").arg(heat.number).arg(heat.start[JfSource]);
    case ColStartNr:
        return heat.startNumbers[1] + QStringLiteral(" / ") + heat.startNumbers[2];
    case ColValues: {
        QStringList summary;
        for (const TJournalLine& result : heat.results) {
            const QString win = result[JfWin];
            summary << QStringLiteral("Bahn %1: %2%3")
                           .arg(result[JfLane], result[JfFinalTime],
                                win.isEmpty() ? QString() : u' ' + win);
        }
        if (heat.warnings) summary << QStringLiteral("%1 × Warnung").arg(heat.warnings);
        if (heat.lineEventsLeftOut) summary << LeftOut(heat.lineEventsLeftOut);
        if (!heat.edits.isEmpty()) summary << QStringLiteral("von Hand geändert");
        return summary.join(QStringLiteral("   "));
    }
    default:
        return {};
    }
}

QVariant TJournalModel::ChildData(const TJournalHeat& heat, int row, int column, int role) const {
    if (row < heat.events.size()) return LineData(heat.events[row], heat.startTicks, column, role);
    row -= int(heat.events.size());
    if (heat.lineEventsLeftOut && row-- == 0) {
        // Where the kept edges end: a line that chattered.
        if (role != Qt::DisplayRole || column != ColEvent) return {};
        return QStringLiteral("… ") + LeftOut(heat.lineEventsLeftOut);
    }
    const TJournalLine& edit = heat.edits[row];
    if (role == Qt::BackgroundRole) return kEdited;
    if (role == Qt::DisplayRole && column == ColEvent)
        return QStringLiteral("von Hand: ") + EventText(edit);
    return LineData(edit, 0, column, role);
}

QVariant TJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[ColCount] = {"Uhrzeit", "seit START", "Ereignis",
                                                 "Bahn",    "St.Nr.",     "Werte"};
    return QString::fromUtf8(titles[section]);
}
