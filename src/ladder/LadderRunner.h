#pragma once

#include "Ladder.h"
#include "LadderField.h"
#include "race/RaceCommand.h"

#include <QHash>
#include <QObject>

#include <optional>
#include <tuple>

class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
class TVoidRuns;
struct Race;
struct TLaneNumbers;

// A pairing of a ladder: the ladder's id, the round (one past the final: the race for third
// place) and the slot from the top.
struct TPairingRef {
    qint64 ladder = 0;
    int round = 0;
    int slot = 0;

    bool operator==(const TPairingRef&) const = default;
};

// Runs the race day's ladders with the heat: at the reset the next open pairing goes into the
// lanes instead of the numbers two up, "Bereit" shows the one after it, a START with a pairing's
// numbers in the lanes links that heat to the pairing, and the pairings follow the heats' runs in
// the results database, which also keeps every ladder.
//
// The next open pairing: of the active ladders' pairings that have two racers and no winner, the
// one farthest from its final first, so that a round of every class is run before the next and
// the finals come last (each ladder's race for third place before the finals); then by the
// ladder's creation, then from the top. A pairing the operator picks comes first.
//
// A winner is settled when a later heat of the same ladder starts; until then a joker, a void or
// its taking back changes who advances, and the ladder follows. When the pairing in the lanes is
// decided or changes while the clocks show zero, the lanes take the next one; a pairing reopened
// by a void goes back into the lanes for its re-run.
class TLadderRunner : public QObject {
    Q_OBJECT
public:
    TLadderRunner(TResultsDatabase& results, Race& race, TRaceSequence& sequence,
                  const TProtocolModel& protocol, QObject* parent = nullptr);

    // The ladders in the order they were made.
    const QList<TLadder>& Ladders() const { return ladders_; }
    const TLadder* Ladder(qint64 id) const;
    const TLadderPairing* Pairing(const TPairingRef& ref) const;
    // The race day's ladder of the class (empty without classes), or none.
    const TLadder* LadderOf(const QString& classInfo) const;

    // The field a new ladder of the class would get, to show before it is made.
    QList<TLadderEntrant> Field(const QString& classInfo, TLadderSource source,
                                quint32 drawSeed = 0) const;
    // A number for a new draw, 1 … 999999: short enough to be printed and typed in again.
    static quint32 NewDrawSeed();
    // Makes the class's ladder (without classes: the one ladder) and loads its first pairing when
    // the clocks show zero. Returns why it cannot be made, in German, or empty.
    QString Create(const QString& classInfo, TLadderSource source, bool thirdPlace,
                   quint32 drawSeed = 0);
    // Its runs stay in the results database.
    void Remove(qint64 ladder);
    // A ladder that is not active stays as it is: the reset passes it by, and its pairings can
    // be neither loaded nor changed.
    void SetActive(qint64 ladder, bool active);
    // Until the race for third place has run or a racer of it was marked as not started; from
    // 4 places on.
    bool CanSetThirdPlace(qint64 ladder) const;
    bool SetThirdPlace(qint64 ladder, bool on);

    // The pairing has two racers and no winner, its ladder is active, and its heat is not on the
    // clocks: it can be loaded, its lanes swapped and a racer marked as not started.
    bool CanChange(const TPairingRef& ref) const;
    // Into the lanes at once when the clocks show zero; else it is "Bereit" and the reset loads it.
    bool Load(const TPairingRef& ref);
    bool SwapLanes(const TPairingRef& ref);
    // "nicht angetreten": the opponent advances. Taken back until a later heat settles it.
    bool CanSetNoShow(const TPairingRef& ref, int seed, bool noShow) const;
    bool SetNoShow(const TPairingRef& ref, int seed, bool noShow);
    // The runs of the pairing's latest heat that its re-run declares void; none when it cannot
    // be run again: settled by a later heat, its ladder resting, a clock running, or nothing
    // left to void.
    TRuns RerunRuns(const TPairingRef& ref) const;

    // The pairing whose heat is on the clocks, from its START to the reset.
    std::optional<TPairingRef> Running() const;
    // The pairing whose numbers the lanes hold: the one loaded, else an open one.
    std::optional<TPairingRef> InLanes() const;
    // The pairing "Bereit" shows: the one the reset loads.
    std::optional<TPairingRef> Ready() const { return ready_; }
    // The runnable pairings of the active ladders, in the order they are run.
    QList<TPairingRef> Order() const;

signals:
    // A ladder was made or removed, or the race day's came in.
    void LaddersChanged();
    // Its pairings, runs, places or settings changed.
    void LadderChanged(qint64 ladder);
    // Running, InLanes or Ready changed.
    void LanesChanged();

private:
    struct Heat {
        std::optional<TPairingRef> pairing; // none: the heat belongs to no pairing
        qint64 startTicks = 0;
    };

    TLadder* Find(qint64 id);
    TLadderPairing* Find(const TPairingRef& ref);
    // Applies a change, works out the ladders anew, stores and tells what changed, and lets the
    // lanes follow.
    template <typename Change> void Apply(Change change);
    void ReadLadders();
    void Keep(const TRun& run);
    bool Linked(qint64 startTicks) const;
    TRuns HeatRuns(const TLadderHeat& heat) const;

    void Started(qint64 startTicks);
    void DisplayReset();
    void RunSeen(const TRun& run);
    std::optional<TLaneNumbers> ResetNumbers();

    bool Runnable(const TPairingRef& ref) const;
    std::optional<TPairingRef> First(const std::optional<TPairingRef>& except = {}) const;
    int Number(const TPairingRef& ref, int lane) const;
    bool AtRest() const;
    bool LanesHold(const TPairingRef& ref) const;
    // The runnable pairing whose numbers the lanes hold, in either lane.
    std::optional<TPairingRef> PairingInLanes() const;
    bool AnyToRun() const;
    void PutInLanes(const TPairingRef& ref);
    // With the clocks at zero, the lanes take the first pairing unless they hold one to run.
    void Present();
    void FollowLanes();

    TResultsDatabase& results_;
    Race& race_;
    const TProtocolModel& protocol_;
    QList<TLadder> ladders_;
    QHash<qint64, TRuns> heatRuns_; // the runs of the ladders' heats, by START
    std::optional<Heat> running_;
    std::optional<TPairingRef> loaded_; // put into the lanes by this runner
    int loadedNumbers_[3] = {};         // as they went in
    std::optional<TPairingRef> chosen_; // picked by the operator while a heat was on the clocks
    std::optional<TPairingRef> ready_;
    std::optional<TPairingRef> reopened_; // by a void just now
    // Running, InLanes and Ready as LanesChanged last told them.
    std::tuple<std::optional<TPairingRef>, std::optional<TPairingRef>, std::optional<TPairingRef>>
        lanesTold_;
};

// Runs the pairing again: its latest heat's runs (lanes: 0 both, 1 or 2 one) are declared void
// with the reason, which opens the pairing, and the runner puts it back into the lanes. The last
// heat goes the way of Strg+U, so the clocks are cleared first when they still show it.
bool RerunPairing(const TLadderRunner& ladders, TVoidRuns& voider, const TPairingRef& ref,
                  int lanes, const QString& reason, TCommandSource source);
