#include "Journal.h"

#include "BackgroundWriter.h"
#include "base/HighResTimer.h"

#include <QDir>

#include <algorithm>

const QString TJournal::kLine = QStringLiteral("Leitung");
const QString TJournal::kCommand = QStringLiteral("Befehl");
const QString TJournal::kResult = QStringLiteral("Ergebnis");
const QString TJournal::kWarning = QStringLiteral("Warnung");
const QString TJournal::kPort = QStringLiteral("Port");

TJournal::TJournal(TBackgroundWriter& writer, const THighResTimer& timeBase, FolderSource folder,
                   const QString& programTitle, QObject* parent)
    : QObject(parent), writer_(writer), timeBase_(timeBase), folder_(std::move(folder)),
      title_(programTitle) {
    connect(&writer_, &TBackgroundWriter::Written, this, &TJournal::Written);
}

const QStringList& TJournal::FieldNames() {
    static const QStringList names = {"Uhrzeit", "Ticks", "Art",      "Name",   "Quelle",
                                      "Bahn",    "Pegel", "Gefaltet", "St.Nr.", "RZ",
                                      "ZZ",      "Km/h",  "Zeit",     "Win",    "Text"};
    return names;
}

QByteArray TJournal::HeaderLine() {
    return FieldNames().join(u'\t').toUtf8() + '\n';
}

QString TJournal::FileName(const QString& folder, const QString& programTitle, QDate day) {
    return QDir(folder).filePath(programTitle + QStringLiteral("-Journal-") +
                                 day.toString(QStringLiteral("yyyy-MM-dd")) +
                                 QStringLiteral(".txt"));
}

QDateTime TJournal::Now() const {
    return clock_ ? clock_() : QDateTime::currentDateTime();
}

QDateTime TJournal::WallAt(qint64 ticks) const {
    // The instant was stamped earlier (a line event by the wait thread); the wall clock is
    // read now, so it is taken back by as much.
    return Now().addMSecs(-std::max<qint64>(0, TicksToMs(timeBase_.NowTicks() - ticks)));
}

QString TJournal::FilePath() const {
    if (!file_.isEmpty() && (heatRunning_ || Now().date() == day_)) return file_;
    return FileName(folder_ ? folder_() : QString(), title_, Now().date());
}

void TJournal::Open() {
    open_ = true;
    if (waiting_.isEmpty()) return;
    file_ = FilePath();
    day_ = Now().date();
    files_.insert(file_);
    writer_.Append(file_, std::exchange(waiting_, {}), HeaderLine(), false);
}

void TJournal::Record(QStringList fields, qint64 ticks, const QDateTime& at) {
    fields[JfTime] = at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    fields[JfTicks] = QString::number(ticks);
    // One event a line, one field a tab: a name typed with either must not split them.
    for (QString& field : fields)
        for (QChar& c : field)
            if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    const QByteArray line = fields.join(u'\t').toUtf8() + '\n';
    ++lines_;
    if (!open_) {
        waiting_ += line;
        return;
    }
    const QDate today = Now().date();
    if (file_.isEmpty() || (!heatRunning_ && today != day_)) {
        // The day that ended goes to the disk before the new one begins.
        Sync();
        file_ = FileName(folder_ ? folder_() : QString(), title_, today);
        day_ = today;
        files_.insert(file_);
    }
    writer_.Append(file_, line, HeaderLine(), false);
}

void TJournal::LineEvent(const TComLineEvent& event) {
    static constexpr struct {
        quint32 bit;
        const char* name;
        int lane;
    } lines[] = {{kModemCTS, "CTS", 0},
                 {kModemRLSD, "DCD", 1},
                 {kModemDSR, "DSR", 2},
                 {kModemRing, "RI", 0}};
    const QDateTime at = WallAt(event.ticks);
    for (const auto& line : lines) {
        if (!(event.changed & line.bit)) continue;
        QStringList fields(kJournalFields);
        fields[JfKind] = kLine;
        fields[JfName] = QLatin1String(line.name);
        if (line.lane) fields[JfLane] = QString::number(line.lane);
        fields[JfLevel] = event.status & line.bit ? QStringLiteral("1") : QStringLiteral("0");
        fields[JfFolded] = QString::number(FoldedPulses(event.folded, line.bit));
        // Without the driver's counters a pulse between two reads cannot be seen at all.
        if (!event.hasCounters) fields[JfText] = QStringLiteral("ohne Flankenzähler");
        Record(fields, event.ticks, at);
    }
}

void TJournal::Command(const QString& name, const QString& source, int lane,
                       const QString& startNumber, qint64 ticks, const QStringList& cells,
                       const QString& text) {
    QStringList fields(kJournalFields);
    fields[JfKind] = kCommand;
    fields[JfName] = name;
    fields[JfSource] = source;
    if (lane) fields[JfLane] = QString::number(lane);
    fields[JfStartNr] = startNumber;
    for (int i = 0; i < std::min<qsizetype>(cells.size(), 5); ++i)
        fields[JfReaction + i] = cells[i];
    fields[JfText] = text;
    Record(fields, ticks, WallAt(ticks));
}

void TJournal::Result(int lane, const QString& startNumber, qint64 ticks,
                      const QStringList& cells) {
    QStringList fields(kJournalFields);
    fields[JfKind] = kResult;
    fields[JfLane] = QString::number(lane);
    fields[JfStartNr] = startNumber;
    for (int i = 0; i < std::min<qsizetype>(cells.size(), 5); ++i)
        fields[JfReaction + i] = cells[i];
    Record(fields, ticks, WallAt(ticks));
}

void TJournal::Warning(int lane, const QString& startNumber, qint64 ticks, const QString& rule,
                       const QString& text) {
    QStringList fields(kJournalFields);
    fields[JfKind] = kWarning;
    fields[JfName] = rule;
    fields[JfLane] = QString::number(lane);
    fields[JfStartNr] = startNumber;
    fields[JfText] = text;
    Record(fields, ticks, WallAt(ticks));
}

void TJournal::Port(const QString& name, const QString& text) {
    QStringList fields(kJournalFields);
    fields[JfKind] = kPort;
    fields[JfName] = name;
    fields[JfText] = text;
    Record(fields, timeBase_.NowTicks(), Now());
}

void TJournal::Sync() {
    if (open_ && !file_.isEmpty()) writer_.Append(file_, {}, HeaderLine(), true);
}

void TJournal::Flush() {
    writer_.Drain();
}

void TJournal::Written(const QString& fileName, const FileWriteResult& result) {
    if (!files_.contains(fileName)) return; // the writer also writes the backup
    if (result.ok) {
        failureReported_ = false;
    } else if (!failureReported_) {
        failureReported_ = true;
        emit WriteFailed(QStringLiteral("Das Rennjournal kann nicht geschrieben werden; das "
                                        "Rennen geht weiter.\n") +
                         result.message);
    }
}
