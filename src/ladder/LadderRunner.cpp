#include "LadderRunner.h"

#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "race/RaceSequence.h"
#include "results/ResultsDatabase.h"
#include "results/VoidRuns.h"

#include <QPointer>
#include <QRandomGenerator>

#include <algorithm>
#include <tuple>

TLadderRunner::TLadderRunner(TResultsDatabase& results, Race& race, TRaceSequence& sequence,
                             const TProtocolModel& protocol, QObject* parent)
    : QObject(parent), results_(results), race_(race), protocol_(protocol) {
    // Once the runner is gone, the reset moves the numbers up again.
    sequence.SetNextNumbers(
        [runner = QPointer(this)] { return runner ? runner->ResetNumbers() : std::nullopt; });
    connect(&sequence, &TRaceSequence::CommandGiven, this,
            [this](TRaceCommand command, int, TCommandSource, qint64 ticks) {
                if (command == TRaceCommand::Start) Started(ticks);
            });
    connect(&sequence, &TRaceSequence::DisplayReset, this, &TLadderRunner::DisplayReset);
    connect(&results, &TResultsDatabase::RunAdded, this, &TLadderRunner::RunSeen);
    connect(&results, &TResultsDatabase::RunChanged, this, &TLadderRunner::RunSeen);
    connect(&results, &TResultsDatabase::VoidChanged, this,
            [this](const QList<qint64>& ids, bool voided, const QString& reason) {
                // Also a run of a day that is not in memory any more.
                Apply([&] {
                    for (TRuns& runs : heatRuns_)
                        for (TRun& run : runs)
                            if (ids.contains(run.id)) {
                                run.voided = voided;
                                run.voidReason = voided ? reason : QString();
                            }
                });
            });
    connect(&results, &TResultsDatabase::RunsReset, this, [this] {
        Apply([this] {
            for (const TRun& run : results_.Runs())
                Keep(run);
        });
    });
    connect(&results, &TResultsDatabase::LaddersReset, this, &TLadderRunner::ReadLadders);
    ReadLadders();
}

const TLadder* TLadderRunner::Ladder(qint64 id) const {
    for (const TLadder& ladder : ladders_)
        if (ladder.id == id) return &ladder;
    return nullptr;
}

TLadder* TLadderRunner::Find(qint64 id) {
    // Detaches: Apply compares with a copy taken before the change.
    for (TLadder& ladder : ladders_)
        if (ladder.id == id) return &ladder;
    return nullptr;
}

const TLadderPairing* TLadderRunner::Pairing(const TPairingRef& ref) const {
    const TLadder* ladder = Ladder(ref.ladder);
    return ladder ? ladder->Pairing(ref.round, ref.slot) : nullptr;
}

TLadderPairing* TLadderRunner::Find(const TPairingRef& ref) {
    TLadder* ladder = Find(ref.ladder);
    return ladder ? ladder->Pairing(ref.round, ref.slot) : nullptr;
}

const TLadder* TLadderRunner::LadderOf(const QString& classInfo) const {
    const QString key = race_.settings.Klass ? classInfo.trimmed() : QString();
    for (const TLadder& ladder : ladders_)
        if (ladder.day == results_.RaceDay() && ladder.classInfo == key) return &ladder;
    return nullptr;
}

// Runs and ladders -------------------------------------------------------------------------

bool TLadderRunner::Linked(qint64 startTicks) const {
    if (running_ && running_->pairing && running_->startTicks == startTicks) return true;
    for (const TLadder& ladder : ladders_)
        for (const TLadderPairing* pairing : ladder.Pairings())
            for (const TLadderHeat& heat : pairing->heats)
                if (heat.startTicks == startTicks) return true;
    return false;
}

void TLadderRunner::Keep(const TRun& run) {
    if (!Linked(run.startTicks)) return;
    TRuns& runs = heatRuns_[run.startTicks];
    const auto same =
        std::find_if(runs.begin(), runs.end(), [&](const TRun& kept) { return kept.id == run.id; });
    if (same != runs.end())
        *same = run;
    else
        runs.append(run);
}

TRuns TLadderRunner::HeatRuns(const TLadderHeat& heat) const {
    TRuns runs = heatRuns_.value(heat.startTicks);
    // Another boot's clock may have passed the same instant on another day.
    if (heat.day.isValid()) runs.removeIf([&](const TRun& run) { return run.day != heat.day; });
    return runs;
}

template <typename Change> void TLadderRunner::Apply(Change change) {
    const QList<TLadder> before = ladders_;
    change();
    for (TLadder& ladder : ladders_) {
        ladder.Evaluate([this](const TLadderHeat& heat) { return HeatRuns(heat); });
        const auto old = std::find_if(before.begin(), before.end(),
                                      [&](const TLadder& l) { return l.id == ladder.id; });
        if (old != before.end() && *old == ladder) continue;
        if (old == before.end() || old->ToRecord() != ladder.ToRecord())
            results_.StoreLadder(ladder.ToRecord());
        emit LadderChanged(ladder.id);
    }
    FollowLanes();
    if (const auto lanes = std::tuple(Running(), InLanes(), ready_); lanes != lanesTold_) {
        lanesTold_ = lanes;
        emit LanesChanged();
    }
}

void TLadderRunner::ReadLadders() {
    Apply([this] {
        ladders_.clear();
        for (const TLadderRecord& record : results_.Ladders()) {
            ladders_.append(TLadder::FromRecord(record));
            for (const TRun& run : record.runs)
                Keep(run);
        }
        // What the race day holds now is newer than what was read with the ladder.
        for (const TRun& run : results_.Runs())
            Keep(run);
        auto gone = [this](const std::optional<TPairingRef>& ref) {
            return ref && !Ladder(ref->ladder);
        };
        if (running_ && gone(running_->pairing)) running_->pairing.reset();
        for (std::optional<TPairingRef>* ref : {&loaded_, &chosen_, &ready_})
            if (gone(*ref)) ref->reset();
    });
    emit LaddersChanged();
    Present();
}

void TLadderRunner::RunSeen(const TRun& run) {
    if (!Linked(run.startTicks)) return;
    Apply([&] {
        const TRuns& kept = heatRuns_.value(run.startTicks);
        const bool wasVoid = std::any_of(kept.begin(), kept.end(),
                                         [&](const TRun& k) { return k.id == run.id && k.voided; });
        Keep(run);
        for (TLadder& ladder : ladders_)
            for (TLadderPairing* pairing : ladder.Pairings()) {
                if (pairing->heats.isEmpty() || pairing->heats.last().startTicks != run.startTicks)
                    continue;
                TLadderHeat& heat = pairing->heats.last();
                if (!heat.heat) { // its first run tells the heat's day and number
                    heat.day = run.day;
                    heat.heat = run.heat;
                }
                if (run.voided && !wasVoid)
                    reopened_ = TPairingRef{ladder.id, pairing->round, pairing->slot};
            }
    });
}

// Making and changing ladders --------------------------------------------------------------

QList<TLadderEntrant> TLadderRunner::Field(const QString& classInfo, TLadderSource source,
                                           quint32 drawSeed) const {
    const TRaceSettings& settings = race_.settings;
    const QString key = settings.Klass ? classInfo.trimmed() : QString();
    switch (source) {
    case TLadderSource::Standings:
        return FieldFromStandings(
            BuildStandings(results_.Runs(), settings.Klass, settings.ManyStart, {}), key);
    case TLadderSource::Protocol:
        return FieldFromProtocol(protocol_.Rows(), settings.Klass, key);
    case TLadderSource::Draw:
        return DrawField(FieldFromProtocol(protocol_.Rows(), settings.Klass, key), drawSeed);
    }
    return {};
}

quint32 TLadderRunner::NewDrawSeed() {
    return QRandomGenerator::global()->bounded(1u, 1000000u);
}

QString TLadderRunner::Create(const QString& classInfo, TLadderSource source, bool thirdPlace,
                              quint32 drawSeed) {
    // The ladder's number must follow those in the file, and what is not kept is not run.
    if (!results_.HasReadFile())
        return QStringLiteral("Die Ergebnisdatenbank kann nicht gelesen werden; ohne sie wird "
                              "keine Ausscheidung angelegt.");
    if (LadderOf(classInfo))
        return race_.settings.Klass
                   ? QStringLiteral("Die Klasse %1 hat heute schon eine Ausscheidung.")
                         .arg(classInfo.trimmed())
                   : QStringLiteral("Heute gibt es schon eine Ausscheidung.");
    const QList<TLadderEntrant> field = Field(classInfo, source, drawSeed);
    if (const QString problem = FieldProblem(field); !problem.isEmpty()) return problem;
    TLadder ladder(field, thirdPlace);
    ladder.day = results_.RaceDay();
    ladder.classInfo = race_.settings.Klass ? classInfo.trimmed() : QString();
    ladder.createdAt = QDateTime::currentDateTime();
    ladder.source = LadderSourceName(source);
    ladder.drawSeed = source == TLadderSource::Draw ? qint64(drawSeed) : -1;
    ladder.id = results_.StoreLadder(ladder.ToRecord());
    Apply([&] { ladders_.append(ladder); });
    emit LaddersChanged();
    Present();
    return {};
}

void TLadderRunner::Remove(qint64 id) {
    if (!Ladder(id)) return;
    results_.RemoveLadder(id);
    Apply([&] {
        ladders_.removeIf([id](const TLadder& ladder) { return ladder.id == id; });
        if (running_ && running_->pairing && running_->pairing->ladder == id)
            running_->pairing.reset();
        for (std::optional<TPairingRef>* ref : {&loaded_, &chosen_, &ready_})
            if (*ref && (*ref)->ladder == id) ref->reset();
    });
    emit LaddersChanged();
}

void TLadderRunner::SetActive(qint64 id, bool active) {
    if (!Ladder(id)) return;
    Apply([&] { Find(id)->active = active; });
    if (active) Present();
}

bool TLadderRunner::CanSetThirdPlace(qint64 id) const {
    const TLadder* ladder = Ladder(id);
    if (!ladder || ladder->rounds.size() < 2) return false;
    const std::optional<TLadderPairing>& third = ladder->thirdPlaceRace;
    return !third || (third->heats.isEmpty() && !third->noShow && !third->settled);
}

bool TLadderRunner::SetThirdPlace(qint64 id, bool on) {
    if (!Ladder(id)) return false;
    if (!CanSetThirdPlace(id)) return Ladder(id)->ThirdPlace() == on;
    Apply([&] { Find(id)->SetThirdPlace(on); });
    return Ladder(id)->ThirdPlace() == on;
}

bool TLadderRunner::Runnable(const TPairingRef& ref) const {
    const TLadder* ladder = Ladder(ref.ladder);
    const TLadderPairing* pairing = Pairing(ref);
    return ladder && ladder->active && pairing && pairing->Runnable();
}

std::optional<TPairingRef> TLadderRunner::Running() const {
    return running_ ? running_->pairing : std::nullopt;
}

bool TLadderRunner::CanChange(const TPairingRef& ref) const {
    return Runnable(ref) && Running() != ref;
}

bool TLadderRunner::Load(const TPairingRef& ref) {
    if (!CanChange(ref)) return false;
    Apply([&] {
        if (AtRest()) {
            PutInLanes(ref);
        } else {
            chosen_ = ref;
        }
    });
    return true;
}

bool TLadderRunner::SwapLanes(const TPairingRef& ref) {
    if (!CanChange(ref)) return false;
    Apply([&] { Find(ref)->swapped = !Find(ref)->swapped; });
    return true;
}

bool TLadderRunner::CanSetNoShow(const TPairingRef& ref, int seed, bool noShow) const {
    const TLadderPairing* pairing = Pairing(ref);
    if (!pairing || pairing->PlaceOf(seed) < 0) return false;
    if (noShow) return CanChange(ref);
    return pairing->noShow == seed && !pairing->settled && Ladder(ref.ladder)->active &&
           Running() != ref;
}

bool TLadderRunner::SetNoShow(const TPairingRef& ref, int seed, bool noShow) {
    if (!CanSetNoShow(ref, seed, noShow)) return false;
    Apply([&] { Find(ref)->noShow = noShow ? seed : 0; });
    return true;
}

TRuns TLadderRunner::RerunRuns(const TPairingRef& ref) const {
    const TLadder* ladder = Ladder(ref.ladder);
    const TLadderPairing* pairing = Pairing(ref);
    // A settled winner stays whatever its runs become: voiding them would reopen nothing.
    if (!ladder || !ladder->active || !pairing || pairing->settled || pairing->noShow ||
        pairing->HasBye() || race_.heat.Racing())
        return {};
    TRuns runs;
    for (const std::optional<TRun>& run : pairing->runs)
        if (run && !run->voided) runs.append(*run);
    return runs;
}

// The heat --------------------------------------------------------------------------------

void TLadderRunner::Started(qint64 startTicks) {
    Apply([&] {
        running_ = Heat{PairingInLanes(), startTicks};
        if (!running_->pairing) return;
        const TPairingRef ref = *running_->pairing;
        TLadderPairing* pairing = Find(ref);
        // Numbers typed the other way round: the pairing runs as the lanes hold it.
        if (Number(ref, 1) != race_.heat.Lane(1).startNumber) pairing->swapped = !pairing->swapped;
        // Whoever advanced so far in this ladder stays, whatever a joker does now.
        for (TLadderPairing* other : Find(ref.ladder)->Pairings())
            if (other != pairing && other->Decided() && !other->HasBye()) other->settled = true;
        TLadderHeat heat;
        heat.startTicks = startTicks;
        pairing->heats.append(heat);
        loaded_ = ref;
        loadedNumbers_[1] = race_.heat.Lane(1).startNumber;
        loadedNumbers_[2] = race_.heat.Lane(2).startNumber;
        if (chosen_ == ref) chosen_.reset();
    });
}

void TLadderRunner::DisplayReset() {
    Apply([this] {
        // A heat abandoned before either lane stopped has no runs: it was never run.
        if (running_ && running_->pairing && !heatRuns_.contains(running_->startTicks))
            if (TLadderPairing* pairing = Find(*running_->pairing);
                pairing && !pairing->heats.isEmpty() &&
                pairing->heats.last().startTicks == running_->startTicks)
                pairing->heats.removeLast();
        running_.reset();
    });
}

std::optional<TLaneNumbers> TLadderRunner::ResetNumbers() {
    std::optional<TPairingRef> next = chosen_ && Runnable(*chosen_) ? chosen_ : First();
    if (!next) return std::nullopt;
    const std::optional<TPairingRef> after = First(next);
    TLaneNumbers numbers;
    for (int lane = 1; lane <= 2; ++lane) {
        numbers.start[lane] = Number(*next, lane);
        if (after) numbers.ready[lane] = Number(*after, lane);
    }
    loaded_ = next;
    loadedNumbers_[1] = numbers.start[1];
    loadedNumbers_[2] = numbers.start[2];
    chosen_.reset();
    ready_ = after;
    return numbers;
}

// The lanes -------------------------------------------------------------------------------

QList<TPairingRef> TLadderRunner::Order() const {
    using Key = std::tuple<int, int, int, int>;
    QList<std::pair<Key, TPairingRef>> keyed;
    for (int index = 0; index < ladders_.size(); ++index) {
        const TLadder& ladder = ladders_[index];
        if (!ladder.active) continue;
        const int finalRound = int(ladder.rounds.size()) - 1;
        for (const TLadderPairing* pairing : ladder.Pairings()) {
            if (!pairing->Runnable()) continue;
            // The race for third place counts as the final's round, before the finals.
            const bool third = pairing->round > finalRound;
            const int fromFinal = third ? 0 : finalRound - pairing->round;
            const int final = !third && fromFinal == 0;
            keyed.append({Key(-fromFinal, final, index, pairing->slot),
                          TPairingRef{ladder.id, pairing->round, pairing->slot}});
        }
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<TPairingRef> order;
    for (const auto& [key, ref] : keyed)
        order.append(ref);
    return order;
}

std::optional<TPairingRef> TLadderRunner::First(const std::optional<TPairingRef>& except) const {
    for (const TPairingRef& ref : Order())
        if (ref != except) return ref;
    return std::nullopt;
}

bool TLadderRunner::AnyToRun() const {
    return !Order().isEmpty();
}

int TLadderRunner::Number(const TPairingRef& ref, int lane) const {
    const TLadder* ladder = Ladder(ref.ladder);
    const TLadderPairing* pairing = Pairing(ref);
    const TLadderEntrant* racer = pairing ? ladder->Entrant(pairing->LaneSeed(lane)) : nullptr;
    return racer ? racer->startNumber.toInt() : 0;
}

bool TLadderRunner::AtRest() const {
    // The clocks show zero: the reset tells while START is still closed.
    const THeatModel& heat = race_.heat;
    return !heat.Racing() && !heat.ShowsResult(1) && !heat.ShowsResult(2);
}

bool TLadderRunner::LanesHold(const TPairingRef& ref) const {
    return Number(ref, 1) == race_.heat.Lane(1).startNumber &&
           Number(ref, 2) == race_.heat.Lane(2).startNumber;
}

std::optional<TPairingRef> TLadderRunner::InLanes() const {
    return loaded_ && LanesHold(*loaded_) ? loaded_ : PairingInLanes();
}

std::optional<TPairingRef> TLadderRunner::PairingInLanes() const {
    if (loaded_ && Runnable(*loaded_) && LanesHold(*loaded_)) return loaded_;
    const int lanes[3] = {0, race_.heat.Lane(1).startNumber, race_.heat.Lane(2).startNumber};
    for (const TPairingRef& ref : Order())
        if ((Number(ref, 1) == lanes[1] && Number(ref, 2) == lanes[2]) ||
            (Number(ref, 1) == lanes[2] && Number(ref, 2) == lanes[1]))
            return ref;
    return std::nullopt;
}

void TLadderRunner::PutInLanes(const TPairingRef& ref) {
    for (int lane = 1; lane <= 2; ++lane) {
        loadedNumbers_[lane] = Number(ref, lane);
        race_.heat.SetStartNumber(lane, loadedNumbers_[lane]);
    }
    loaded_ = ref;
    if (chosen_ == ref) chosen_.reset();
}

void TLadderRunner::Present() {
    if (!AtRest() || PairingInLanes()) return;
    if (const std::optional<TPairingRef> first = First()) {
        Apply([&] { PutInLanes(*first); });
    }
}

void TLadderRunner::FollowLanes() {
    const std::optional<TPairingRef> reopened = std::exchange(reopened_, std::nullopt);
    if (!AnyToRun()) { // the heats go on by the numbers, as without a ladder
        // "Bereit" showed a pairing that is gone: the reset would load it as typed numbers.
        if (std::exchange(ready_, std::nullopt))
            for (int lane = 1; lane <= 2; ++lane)
                race_.heat.SetReadyNumber(lane, race_.heat.Lane(lane).startNumber + 2);
        return;
    }
    if (AtRest()) {
        if (reopened && Runnable(*reopened)) {
            PutInLanes(*reopened); // the re-run
        } else if (loaded_ && race_.heat.Lane(1).startNumber == loadedNumbers_[1] &&
                   race_.heat.Lane(2).startNumber == loadedNumbers_[2]) {
            // What was loaded was decided by a joker or a no-show, swapped, or another racer came
            // in; numbers the operator typed stay.
            if (!Runnable(*loaded_)) {
                if (const std::optional<TPairingRef> next = First()) PutInLanes(*next);
            } else if (!LanesHold(*loaded_)) {
                PutInLanes(*loaded_);
            }
        }
    }
    // "Bereit": what the reset loads; with the clocks at zero, the one after the lanes' pairing.
    std::optional<TPairingRef> except;
    if (AtRest())
        except = PairingInLanes();
    else if (race_.heat.Racing())
        except = Running();
    ready_ = chosen_ && Runnable(*chosen_) ? chosen_ : First(except);
    for (int lane = 1; lane <= 2; ++lane)
        race_.heat.SetReadyNumber(lane, ready_ ? Number(*ready_, lane)
                                               : race_.heat.Lane(lane).startNumber + 2);
}

bool RerunPairing(const TLadderRunner& ladders, TVoidRuns& voider, const TPairingRef& ref,
                  int lanes, const QString& reason, TCommandSource source) {
    TRuns runs = ladders.RerunRuns(ref);
    if (lanes) runs.removeIf([lanes](const TRun& run) { return run.lane != lanes; });
    if (runs.isEmpty()) return false;
    const TVoidRuns::LastHeat last = voider.Last();
    const bool lastHeat = std::all_of(runs.begin(), runs.end(), [&](const TRun& run) {
        return run.lane >= 1 && run.lane <= 2 && last.runs[run.lane] &&
               last.runs[run.lane]->id == run.id;
    });
    if (lastHeat) {
        voider.VoidLastHeat(lanes, reason, source);
    } else {
        for (const TRun& run : runs)
            voider.VoidRun(run, reason, source);
    }
    return true;
}
