#include "ResultsDatabase.h"

#include <QDir>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

namespace {

bool ByHeatAndLane(const TRun& a, const TRun& b) {
    return std::tie(a.heat, a.lane, a.id) < std::tie(b.heat, b.lane, b.id);
}

} // namespace

TResultsDatabase::TResultsDatabase(QObject* parent)
    : QObject(parent), raceDay_(QDate::currentDate()) {}

TResultsDatabase::~TResultsDatabase() {
    Close();
}

QString TResultsDatabase::FileName(const QString& folder, const QString& programTitle) {
    return QDir(folder).filePath(programTitle + QStringLiteral("-Ergebnisse.sqlite"));
}

QString TResultsDatabase::FailureText() {
    return QStringLiteral("Die Ergebnisdatenbank kann nicht geschrieben werden");
}

void TResultsDatabase::Open(const QString& fileName, QDate raceDay) {
    if (thread_.joinable()) return;
    fileName_ = fileName;
    if (raceDay.isValid() && raceDay != raceDay_) SwitchDay(raceDay);
    Op load;
    load.kind = Op::Load;
    load.day = openDay_ = raceDay_;
    Enqueue(load);
    thread_ = std::thread([this] { Work(); });
}

QString TResultsDatabase::Close() {
    if (!thread_.joinable()) return {};
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    thread_.join();
    Report();
    std::lock_guard lock(mutex_);
    const bool unwritten =
        std::any_of(ops_.begin(), ops_.end(), [](const Op& op) { return op.Writes(); });
    return unwritten ? FailureText() + QStringLiteral(": ") + lastFailure_.reason : QString();
}

void TResultsDatabase::Flush() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_ && !fresh_ && !retry_; });
    }
    Report();
}

void TResultsDatabase::RetryNow() {
    {
        std::lock_guard lock(mutex_);
        retry_ = true;
    }
    work_.notify_one();
}

void TResultsDatabase::SetRetryInterval(int ms) {
    std::lock_guard lock(mutex_);
    retryMs_ = ms;
}

void TResultsDatabase::Enqueue(Op op) {
    {
        std::lock_guard lock(mutex_);
        // A run or ladder changed again before it was written is written once, with its newest
        // state.
        Op** queued = op.kind == Op::Upsert        ? &queuedRuns_[op.run.id]
                      : op.kind == Op::LadderWrite ? &queuedLadders_[op.ladder.id]
                                                   : nullptr;
        if (queued && *queued) {
            (*queued)->run = std::move(op.run);
            (*queued)->ladder = std::move(op.ladder);
        } else {
            ops_.push_back(std::move(op));
            if (queued) *queued = &ops_.back();
        }
        fresh_ = true;
    }
    work_.notify_one();
}

// Worker side -----------------------------------------------------------------------------

void TResultsDatabase::Work() {
    TResultsFile file(fileName_);
    TResultsFile::Summary summary; // what the file held when it was opened
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto woken = [this] { return stop_ || retry_ || fresh_; };
        if (!woken()) {
            // Something that failed waits: it is tried again after a while.
            if (ops_.empty())
                work_.wait(lock, woken);
            else
                work_.wait_for(lock, std::chrono::milliseconds(retryMs_), woken);
        }
        const bool last = stop_;
        fresh_ = retry_ = false;
        if (!ops_.empty()) {
            std::deque<Op> ops;
            ops.swap(ops_);
            queuedRuns_.clear();
            queuedLadders_.clear();
            busy_ = true;
            lock.unlock();
            Attempt(file, summary, ops);
            lock.lock();
            busy_ = false;
            // What failed goes before what came meanwhile, so that the file sees the order given.
            for (auto it = ops.rbegin(); it != ops.rend(); ++it)
                ops_.push_front(std::move(*it));
            if (!reportPosted_) {
                reportPosted_ = true;
                QMetaObject::invokeMethod(this, &TResultsDatabase::Report, Qt::QueuedConnection);
            }
        }
        idle_.notify_all();
        if (last) break;
    }
}

void TResultsDatabase::Shift(Op& op, const TResultsFile::Summary& summary) {
    if (!op.provisional) return;
    op.provisional = false;
    // A session's ids -1, -2, … follow the file's highest; its heats follow the day's highest.
    if (op.run.id < 0) op.run.id = summary.maxId - op.run.id;
    op.run.heat += summary.heats.value(op.run.day);
    for (qint64& id : op.ids)
        if (id < 0) id = summary.maxId - id;
}

// Runs ops on the worker; what is left in ops afterwards failed and is to be tried again.
void TResultsDatabase::Attempt(TResultsFile& file, TResultsFile::Summary& summary,
                               std::deque<Op>& ops) {
    std::vector<Done> done;
    std::deque<Op> left;
    auto wrote = [&done](const FileWriteResult& result) {
        Done d;
        d.kind = Done::Wrote;
        d.result = result;
        done.push_back(std::move(d));
    };

    if (!file.IsOpen()) {
        std::optional<TResultsFile::Summary> read;
        if (file.Open() && !(read = file.ReadSummary())) file.Close();
        if (!file.IsOpen()) {
            for (Op& op : ops) {
                if (op.kind == Op::Read) {
                    Done d;
                    d.kind = Done::Read;
                    d.day = op.day;
                    d.error = file.Failure().reason;
                    done.push_back(std::move(d));
                } else {
                    left.push_back(std::move(op));
                }
            }
            wrote(file.Failure());
            ops.swap(left);
            Post(done);
            return;
        }
        summary = *read;
        Done d;
        d.kind = Done::Opened;
        d.summary = summary;
        done.push_back(std::move(d));
        // Nothing to write: that it opens is the news for a notice of a failure before.
        if (std::none_of(ops.begin(), ops.end(), [](const Op& op) { return op.Writes(); }))
            wrote(FileWriteResult(true, {}));
    }

    // Writes that follow each other go in one transaction: one sync for a heat's changes.
    std::vector<Op> batch;
    bool failed = false;
    // What failed is kept, and so is every write after it, in the order given.
    auto fail = [&] {
        file.Rollback();
        failed = true;
        wrote(file.Failure());
        for (Op& op : batch)
            left.push_back(std::move(op));
        batch.clear();
    };
    auto commit = [&] {
        if (batch.empty()) return;
        if (!file.Commit()) return fail();
        wrote(FileWriteResult(true, {}));
        batch.clear();
    };
    for (Op& op : ops) {
        Shift(op, summary);
        if (op.Writes()) {
            if (failed) {
                left.push_back(std::move(op));
                continue;
            }
            const bool begun = !batch.empty() || file.Begin();
            const Op& queued = batch.emplace_back(std::move(op));
            if (!begun || !Write(file, queued)) fail();
            continue;
        }
        commit();
        const std::optional<TRuns> runs = file.ReadDay(op.day);
        std::optional<TLadderRecords> ladders;
        if (op.kind == Op::Load && (!runs || !(ladders = file.ReadLadders(op.day)))) {
            left.push_back(std::move(op)); // the race day must come in: tried again
            continue;
        }
        Done d;
        d.kind = op.kind == Op::Load ? Done::Loaded : Done::Read;
        d.day = op.day;
        d.runs = runs.value_or(TRuns());
        d.ladders = ladders.value_or(TLadderRecords());
        if (!runs) d.error = file.Failure().reason;
        done.push_back(std::move(d));
    }
    commit();
    ops.swap(left);
    Post(done);
}

bool TResultsDatabase::Write(TResultsFile& file, const Op& op) {
    switch (op.kind) {
    case Op::Upsert:
        return file.Upsert(op.run);
    case Op::SetVoid:
        return file.SetVoid(op.ids, op.voided, op.reason);
    case Op::LadderWrite:
        return file.WriteLadder(op.ladder);
    case Op::LadderRemove:
        return file.RemoveLadder(op.ladder.id);
    case Op::Load:
    case Op::Read:
        break;
    }
    return false;
}

void TResultsDatabase::Post(std::vector<Done>& done) {
    std::lock_guard lock(mutex_);
    for (Done& d : done) {
        if (d.kind == Done::Wrote && !d.result.ok) lastFailure_ = d.result;
        done_.push_back(std::move(d));
    }
}

// Caller side -----------------------------------------------------------------------------

void TResultsDatabase::Report() {
    std::vector<Done> done;
    {
        std::lock_guard lock(mutex_);
        done.swap(done_);
        reportPosted_ = false;
    }
    for (const Done& d : done) {
        switch (d.kind) {
        case Done::Opened:
            Opened(d.summary);
            break;
        case Done::Loaded:
            Loaded(d.day, d.runs, d.ladders);
            break;
        case Done::Read:
            emit DayRead(d.day, d.runs, d.error);
            break;
        case Done::Wrote:
            emit Written(fileName_, d.result);
            if (d.result.ok) {
                failureReported_ = false;
            } else if (!failureReported_) {
                failureReported_ = true;
                emit WriteFailed(FailureText() + QStringLiteral(": ") + d.result.reason);
            }
            break;
        }
    }
}

void TResultsDatabase::Opened(const TResultsFile::Summary& summary) {
    if (fileRead_) return;
    fileRead_ = true;
    summary_ = summary;
    for (TRun& run : runs_) {
        run.id = FileId(run.id);
        run.heat += summary.heats.value(run.day);
    }
    if (heat_.number) {
        heat_.number += summary.heats.value(heat_.day);
        for (qint64& id : heat_.ids)
            id = FileId(id);
    }
    for (auto it = summary.heats.begin(); it != summary.heats.end(); ++it) {
        heatMax_[it.key()] += it.value();
        fileDays_.insert(it.key());
        days_.insert(it.key());
    }
    nextId_ = FileId(nextId_);
    nextLadderId_ = summary.maxLadderId + 1;
    // The file is read for the day given to Open; a heat may have begun on another since.
    if (raceDay_ != openDay_ && fileDays_.contains(raceDay_)) {
        Op load;
        load.kind = Op::Load;
        load.day = raceDay_;
        Enqueue(load);
    }
    emit RunsReset();
    emit DaysChanged();
}

void TResultsDatabase::Loaded(QDate day, const TRuns& runs, const TLadderRecords& ladders) {
    if (day != raceDay_) return;
    // A ladder stored here is newer than the file's; one of the day before stays in memory.
    for (const TLadderRecord& ladder : ladders)
        if (std::none_of(ladders_.begin(), ladders_.end(),
                         [&](const TLadderRecord& mine) { return mine.id == ladder.id; }))
            ladders_.append(ladder);
    std::sort(ladders_.begin(), ladders_.end(),
              [](const TLadderRecord& a, const TLadderRecord& b) { return a.id < b.id; });
    // What was recorded here is newer than what the file held when it was read.
    TRuns merged = runs;
    for (const TRun& mine : std::as_const(runs_)) {
        const auto same = std::find_if(merged.begin(), merged.end(),
                                       [&](const TRun& run) { return run.id == mine.id; });
        if (same != merged.end())
            *same = mine;
        else
            merged.append(mine);
    }
    std::sort(merged.begin(), merged.end(), ByHeatAndLane);
    runs_ = merged;
    emit RunsReset();
    emit LaddersReset();
}

qint64 TResultsDatabase::FileId(qint64 id) const {
    return fileRead_ && id < 0 ? summary_.maxId - id : id;
}

void TResultsDatabase::SwitchDay(QDate day) {
    raceDay_ = day;
    runs_.clear();
    heat_ = Heat();
    if (fileRead_ && fileDays_.contains(day)) {
        Op load;
        load.kind = Op::Load;
        load.day = day;
        Enqueue(load);
    }
    emit RunsReset();
}

const TRun* TResultsDatabase::Find(qint64 id) const {
    id = FileId(id);
    const auto found =
        std::find_if(runs_.begin(), runs_.end(), [id](const TRun& run) { return run.id == id; });
    return found == runs_.end() ? nullptr : &*found;
}

TRun* TResultsDatabase::Find(qint64 id) {
    // Detaches: a copy of the runs handed out must not change with the run.
    id = FileId(id);
    for (TRun& run : runs_)
        if (run.id == id) return &run;
    return nullptr;
}

std::optional<TRun> TResultsDatabase::Run(qint64 id) const {
    if (const TRun* run = Find(id)) return *run;
    return {};
}

QList<QDate> TResultsDatabase::Days() const {
    QList<QDate> days(days_.begin(), days_.end());
    std::sort(days.begin(), days.end());
    return days;
}

void TResultsDatabase::ReadDay(QDate day) {
    Op read;
    read.kind = Op::Read;
    read.day = day;
    Enqueue(read);
}

int TResultsDatabase::BeginHeat(const QDateTime& startedAt, qint64 startTicks) {
    const QDate day = startedAt.date();
    if (day != raceDay_) SwitchDay(day);
    heat_ = Heat();
    heat_.day = day;
    heat_.number = heatMax_.value(day) + 1;
    heat_.startedAt = startedAt;
    heat_.startTicks = startTicks;
    return heat_.number;
}

std::optional<TRun> TResultsDatabase::HeatRun(int lane) const {
    if (lane < 1 || lane > 2 || !heat_.ids[lane]) return {};
    return Run(heat_.ids[lane]);
}

TRuns TResultsDatabase::LatestRuns(const QString& startNumber) const {
    TRuns latest;
    for (const TRun& run : runs_) {
        if (run.startNumber != startNumber) continue;
        if (!latest.isEmpty() && run.heat > latest.first().heat) latest.clear();
        if (latest.isEmpty() || run.heat == latest.first().heat) latest.append(run);
    }
    return latest;
}

void TResultsDatabase::Store(TRun run) {
    const bool lane = run.lane == 1 || run.lane == 2;
    if (run.id == 0 && lane) run.id = heat_.ids[run.lane];
    if (run.id == 0) {
        if (!heat_.number || !lane) return;
        run.day = heat_.day;
        run.heat = heat_.number;
        run.startedAt = heat_.startedAt;
        run.startTicks = heat_.startTicks;
        run.id = heat_.ids[run.lane] = fileRead_ ? nextId_++ : nextId_--;
        heatMax_[run.day] = std::max(heatMax_.value(run.day), run.heat);
        runs_.insert(std::upper_bound(runs_.begin(), runs_.end(), run, ByHeatAndLane), run);
        emit RunAdded(run);
        if (!days_.contains(run.day)) {
            days_.insert(run.day);
            emit DaysChanged();
        }
    } else {
        TRun* stored = Find(run.id);
        if (!stored) return;
        // Which heat and lane a run belongs to never changes.
        run.id = stored->id;
        run.day = stored->day;
        run.heat = stored->heat;
        run.startedAt = stored->startedAt;
        run.startTicks = stored->startTicks;
        run.lane = stored->lane;
        if (run == *stored) return;
        *stored = run;
        emit RunChanged(run);
    }
    Op op;
    op.provisional = !fileRead_;
    op.run = std::move(run);
    Enqueue(std::move(op));
}

void TResultsDatabase::SetVoid(const QList<qint64>& ids, bool voided, const QString& reason) {
    QList<qint64> fileIds;
    for (const qint64 id : ids) {
        fileIds.append(FileId(id));
        if (TRun* run = Find(id)) {
            run->voided = voided;
            run->voidReason = voided ? reason : QString();
            emit RunChanged(*run);
        }
    }
    Op op;
    op.kind = Op::SetVoid;
    op.provisional = !fileRead_;
    op.ids = fileIds;
    op.voided = voided;
    op.reason = reason;
    Enqueue(op);
    emit VoidChanged(fileIds, voided, reason);
}

void TResultsDatabase::Void(const QList<qint64>& ids, const QString& reason) {
    SetVoid(ids, true, reason);
}

void TResultsDatabase::Unvoid(const QList<qint64>& ids) {
    SetVoid(ids, false, {});
}

qint64 TResultsDatabase::StoreLadder(TLadderRecord ladder) {
    const auto stored = std::find_if(ladders_.begin(), ladders_.end(),
                                     [&](const TLadderRecord& l) { return l.id == ladder.id; });
    if (ladder.id == 0) {
        // Its number must follow what the file holds, so a ladder is only made once it is read.
        if (!fileRead_) return 0;
        ladder.id = nextLadderId_++;
        ladders_.append(ladder);
    } else if (stored == ladders_.end()) {
        return 0;
    } else {
        if (*stored == ladder) return ladder.id;
        *stored = ladder;
    }
    Op op;
    op.kind = Op::LadderWrite;
    op.ladder = ladder;
    op.ladder.runs.clear(); // those are the runs table's
    Enqueue(std::move(op));
    return ladder.id;
}

void TResultsDatabase::RemoveLadder(qint64 id) {
    const auto stored = std::find_if(ladders_.begin(), ladders_.end(),
                                     [&](const TLadderRecord& l) { return l.id == id; });
    if (stored == ladders_.end()) return;
    ladders_.erase(stored);
    Op op;
    op.kind = Op::LadderRemove;
    op.ladder.id = id;
    Enqueue(std::move(op));
}
