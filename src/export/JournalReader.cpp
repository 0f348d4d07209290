#include "JournalReader.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <cstring>

namespace {

constexpr qint64 kPieceBytes = 64 * 1024;
// One line event changes at most the start contact and both lanes.
constexpr qsizetype kLinesPerEvent = 3;

bool IsHeatCommand(const QString& name) {
    return name == QStringLiteral("START") || name == QStringLiteral("STOPP") ||
           name == QStringLiteral("FEHLSTART") || name == QStringLiteral("ZURÜCKSETZEN");
}

int LineSlot(const QString& name) {
    if (name == QStringLiteral("CTS")) return 0;
    if (name == QStringLiteral("DCD")) return 1;
    if (name == QStringLiteral("DSR")) return 2;
    return 3;
}

QString CannotRead(const QString& fileName) {
    return QStringLiteral("Das Rennjournal kann nicht gelesen werden: ") + fileName;
}

QString NotAJournal(const QString& fileName) {
    return QStringLiteral("Die Datei ist kein Rennjournal: ") + fileName;
}

struct TLineScan {
    bool ok = false;
    bool cancelled = false;
    QString message;
    qint64 skipped = 0;
};

// Cuts the file into lines without ever holding more than one piece and one line. Each whole
// line after the header goes to take(), which returns false to stop.
TLineScan ScanLines(const QString& fileName, const TJournalReadControl& control,
                    const std::function<bool(const TJournalLine&)>& take) {
    TLineScan scan;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        scan.message = CannotRead(fileName);
        return scan;
    }
    const QByteArray header = TJournal::HeaderLine().chopped(1);
    const qint64 size = file.size(); // the day's file may still grow meanwhile
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    QByteArray partial;    // the start of a line that goes on in the next piece
    bool overlong = false; // the line under way is longer than a line may be
    bool headerSeen = false;
    qint64 done = 0;
    int percent = -1;
    // A whole line, without its line end; false when the scan ends here.
    auto line = [&](const char* bytes, qsizetype length) {
        if (overlong || partial.size() + length > kMaxJournalLineBytes) {
            overlong = false;
            partial.clear();
            if (!headerSeen) return false;
            ++scan.skipped;
            return true;
        }
        // Exactly as long as the line: a long day keeps a lot of them.
        QByteArray whole(partial.size() + length, Qt::Uninitialized);
        std::memcpy(whole.data(), partial.constData(), size_t(partial.size()));
        std::memcpy(whole.data() + partial.size(), bytes, size_t(length));
        partial.clear();
        if (!headerSeen) return headerSeen = whole == header;
        if (const std::optional<TJournalLine> parsed = TJournalLine::Parse(whole))
            return take(*parsed);
        ++scan.skipped;
        return true;
    };
    for (;;) {
        if (control.stopped && control.stopped()) {
            scan.cancelled = true;
            return scan;
        }
        const qint64 got = file.read(piece.data(), piece.size());
        if (got < 0) {
            scan.message = CannotRead(fileName);
            return scan;
        }
        if (got == 0) break;
        const char* at = piece.constData();
        const char* const end = at + got;
        while (at < end) {
            const char* lf = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
            if (!lf) {
                if (!overlong && partial.size() + (end - at) > kMaxJournalLineBytes) {
                    overlong = true;
                    partial.clear();
                } else if (!overlong) {
                    partial.append(at, end - at);
                }
                break;
            }
            if (!line(at, lf - at)) {
                // Either the header is wrong or the caller has all it takes.
                if (!headerSeen) {
                    scan.message = NotAJournal(fileName);
                    return scan;
                }
                scan.ok = true;
                return scan;
            }
            at = lf + 1;
        }
        done += got;
        const int now = size > 0 ? int(std::min<qint64>(100, done * 100 / size)) : 0;
        if (now != percent && control.progress) control.progress(now);
        percent = now;
    }
    if (!headerSeen) {
        scan.message = NotAJournal(fileName);
        return scan;
    }
    // A short unfinished line is the one being written; a long one is junk all the same.
    if (overlong) ++scan.skipped;
    if (percent != 100 && control.progress) control.progress(100);
    scan.ok = true;
    return scan;
}

// Builds the day line by line, as the file is read.
class TJournalDayBuilder {
public:
    explicit TJournalDayBuilder(const TJournalLimits& limits = {}) : limits_(limits) {}
    // False once the day holds all it may keep; the line is then not taken.
    bool Add(const TJournalLine& line);
    TJournalDay& Day() { return day_; }

private:
    void Keep(const TJournalLine& line) { day_.keptBytes += line.Bytes(); }

    TJournalLimits limits_;
    TJournalDay day_;
    qsizetype current_ = -1;             // the heat that takes the lines, by index
    QList<TJournalLine> unkept_;         // line events not kept, of the latest instant
    QHash<QString, qsizetype> resultOf_; // start number -> the latest heat with its result
    std::array<int, 4> lineEvents_{};    // of the current heat: CTS, DCD, DSR, others
    int heats_ = 0;
};

} // namespace

std::optional<TJournalLine> TJournalLine::Parse(const QByteArray& bytes) {
    if (bytes.size() > kMaxJournalLineBytes) return std::nullopt;
    TJournalLine line;
    int field = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\t') continue;
        if (field == kJournalFields) return std::nullopt;
        line.ends_[field++] = quint16(i);
    }
    if (field != kJournalFields) return std::nullopt;
    line.bytes_ = bytes;
    return line;
}

QString TJournalLine::operator[](int field) const {
    if (field < 0 || field >= kJournalFields || bytes_.isNull()) return {};
    const qsizetype begin = field ? ends_[field - 1] + 1 : 0;
    return QString::fromUtf8(bytes_.constData() + begin, ends_[field] - begin);
}

QStringList TJournalLine::Fields() const {
    QStringList fields;
    for (int field = 0; field < kJournalFields; ++field)
        fields.append((*this)[field]);
    return fields;
}

TJournalRead ReadJournal(const QString& fileName) {
    TJournalRead read;
    const TLineScan scan = ScanLines(fileName, {}, [&](const TJournalLine& line) {
        read.lines.append(line.Fields());
        return true;
    });
    read.ok = scan.ok;
    read.skipped = scan.skipped;
    read.message = scan.message;
    return read;
}

bool TJournalDayBuilder::Add(const TJournalLine& line) {
    if (day_.keptBytes + line.Bytes() > limits_.keptBytes) return false;
    QList<TJournalItem>& items = day_.items;
    TJournalHeat* heat = current_ >= 0 ? &items[current_].heat : nullptr;
    const QString kind = line[JfKind];
    const bool command = kind == TJournal::kCommand;
    const QString name = line[JfName];
    if (command && name == QStringLiteral("START")) {
        TJournalItem item;
        item.isHeat = true;
        TJournalHeat& started = item.heat;
        started.number = ++heats_;
        started.start = line;
        started.startTicks = line[JfTicks].toLongLong();
        const QStringList numbers = line[JfStartNr].split(u'/');
        started.startNumbers[1] = numbers.value(0).trimmed();
        started.startNumbers[2] = numbers.value(1).trimmed();
        // The contact edge that started it was written just before, at the same instant: kept
        // by the heat before, or not kept there because its line chattered.
        const QString ticks = line[JfTicks];
        if (heat) {
            QList<TJournalLine>& earlier = heat->events;
            while (!earlier.isEmpty() && earlier.last()[JfKind] == TJournal::kLine &&
                   earlier.last()[JfTicks] == ticks)
                started.events.prepend(earlier.takeLast());
        }
        if (!unkept_.isEmpty() && unkept_.last()[JfTicks] == ticks) {
            for (const TJournalLine& edge : unkept_)
                Keep(edge);
            started.events += unkept_;
            if (heat) heat->lineEventsLeftOut -= unkept_.size();
        }
        unkept_.clear();
        lineEvents_ = {};
        for (const TJournalLine& edge : started.events)
            ++lineEvents_[LineSlot(edge[JfName])];
        started.events.append(line);
        items.append(item);
        current_ = items.size() - 1;
    } else if (kind == TJournal::kPort ||
               (command && !IsHeatCommand(name) && line[JfStartNr].isEmpty())) {
        // The heat before goes on taking its lines after these.
        items.append({false, {}, line});
    } else if (command && !IsHeatCommand(name)) {
        const qsizetype edited = resultOf_.value(line[JfStartNr], -1);
        if (edited >= 0)
            items[edited].heat.edits.append(line);
        else
            items.append({false, {}, line}); // a row no heat of the day wrote
    } else if (kind == TJournal::kLine) {
        if (heat && ++lineEvents_[LineSlot(name)] <= limits_.lineEventsPerHeat) {
            heat->events.append(line);
        } else {
            if (heat) ++heat->lineEventsLeftOut;
            // Held only while a START may yet come at the same instant.
            if (!unkept_.isEmpty() && unkept_.last()[JfTicks] != line[JfTicks]) unkept_.clear();
            if (unkept_.size() < kLinesPerEvent) unkept_.append(line);
            return true;
        }
    } else if (heat) {
        heat->events.append(line);
        if (kind == TJournal::kResult) {
            heat->results.append(line);
            resultOf_.insert(line[JfStartNr], current_);
        } else if (kind == TJournal::kWarning) {
            ++heat->warnings;
        }
    } else {
        return true; // a result or warning before any heat has nothing to belong to
    }
    Keep(line);
    return true;
}

TJournalDay ReadJournalDay(const QString& fileName, const TJournalReadControl& control) {
    TJournalDayBuilder builder(control.limits);
    QString lastTime;
    bool cut = false;
    const TLineScan scan = ScanLines(fileName, control, [&](const TJournalLine& line) {
        cut = !builder.Add(line);
        if (!cut) lastTime = line[JfTime];
        return !cut;
    });
    TJournalDay day = std::move(builder.Day());
    day.ok = scan.ok;
    day.cancelled = scan.cancelled;
    day.message = scan.message;
    day.skipped = scan.skipped;
    if (cut) day.cutAfter = lastTime;
    return day;
}

TJournalLoader::TJournalLoader(QObject* parent) : QObject(parent) {
    thread_ = std::thread([this] { Run(); });
}

TJournalLoader::~TJournalLoader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        ++generation_;
    }
    work_.notify_one();
    thread_.join();
}

void TJournalLoader::Cancel() {
    ++generation_;
    loading_ = false;
}

void TJournalLoader::Load(const QString& fileName, const TJournalLimits& limits,
                          TJournalDay previous) {
    loading_ = true;
    Queue({++generation_, fileName, limits, std::move(previous)});
}

void TJournalLoader::Discard(TJournalDay day) {
    Queue({0, {}, {}, std::move(day)});
}

void TJournalLoader::Queue(Job job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    work_.notify_one();
}

void TJournalLoader::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job.previous = {};
        if (!job.fileName.isEmpty() && job.generation == generation_) Read(job);
        lock.lock();
    }
}

void TJournalLoader::Read(const Job& job) {
    const quint64 generation = job.generation;
    TJournalReadControl control;
    control.stopped = [this, generation] { return generation != generation_; };
    // Reports are queued to this object, which drops those of a load no longer wanted.
    control.progress = [this, generation](int percent) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, percent] {
                if (generation == generation_) emit Progress(percent);
            },
            Qt::QueuedConnection);
    };
    control.limits = job.limits;
    auto day = std::make_shared<TJournalDay>(ReadJournalDay(job.fileName, control));
    if (day->cancelled) return;
    QMetaObject::invokeMethod(
        this,
        [this, generation, day] {
            if (generation != generation_) {
                Discard(std::move(*day));
                return;
            }
            loading_ = false;
            emit Loaded(*day);
        },
        Qt::QueuedConnection);
}

QStringList JournalFiles(const QString& folder, const QString& programTitle) {
    const QDir dir(folder);
    QStringList names = dir.entryList({programTitle + QStringLiteral("-Journal-*.txt")},
                                      QDir::Files, QDir::Name | QDir::Reversed);
    QStringList files;
    for (const QString& name : names)
        files.append(dir.filePath(name));
    return files;
}
