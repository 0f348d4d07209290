#include "TvLadderSwitch.h"

#include "Monitor2.h"
#include "ladder/LadderRunner.h"
#include "race/RaceSequence.h"

#include <QAction>

TTvLadderSwitch::TTvLadderSwitch(const TLadderRunner& ladders, TRaceSequence& sequence,
                                 TFormMonitor2& tv, QObject* parent)
    : QObject(parent), ladders_(ladders), tv_(tv) {
    mTvLadder = new QAction(QStringLiteral("Ausscheidung auf TV"), this);
    mTvLadder->setShortcut(Qt::CTRL | Qt::Key_B);
    connect(mTvLadder, &QAction::triggered, this, &TTvLadderSwitch::Toggle);
    // Made after the runner: it has linked the heat or loaded the next pairing when these come.
    connect(&sequence, &TRaceSequence::CommandGiven, this, [this](TRaceCommand command) {
        if (command == TRaceCommand::Start) Started();
    });
    connect(&sequence, &TRaceSequence::DisplayReset, this, &TTvLadderSwitch::Reset);
    connect(&ladders, &TLadderRunner::LaddersChanged, this, &TTvLadderSwitch::Refresh);
    connect(&ladders, &TLadderRunner::LadderChanged, this, &TTvLadderSwitch::Refresh);
    connect(&ladders, &TLadderRunner::LanesChanged, this, &TTvLadderSwitch::Refresh);
}

std::optional<TPairingRef> TTvLadderSwitch::Marked() const {
    const std::optional<TPairingRef> inLanes = ladders_.InLanes();
    return inLanes ? inLanes : ladders_.Running();
}

const TLadder* TTvLadderSwitch::Current() const {
    const std::optional<TPairingRef> marked = Marked();
    const TLadder* ladder = ladders_.Ladder(marked ? marked->ladder : lastRun_);
    return ladder && ladder->active ? ladder : nullptr;
}

void TTvLadderSwitch::Show(const TLadder& ladder) {
    shown_ = ladder.id;
    tv_.ShowLadder(ladder, Marked());
}

void TTvLadderSwitch::Started() {
    const std::optional<TPairingRef> running = ladders_.Running();
    lastRun_ = running ? running->ladder : 0;
    tv_.ShowClocks();
}

void TTvLadderSwitch::Reset() {
    if (const TLadder* ladder = Current()) Show(*ladder);
}

void TTvLadderSwitch::Refresh() {
    if (!tv_.ShowsLadder()) return;
    const TLadder* ladder = ladders_.Ladder(shown_);
    if (ladder && ladder->active)
        Show(*ladder);
    else
        tv_.ShowClocks();
}

void TTvLadderSwitch::Toggle() {
    if (tv_.ShowsLadder()) {
        tv_.ShowClocks();
        return;
    }
    const TLadder* ladder = Current();
    // Before any of its heats: the ladder made last that is still run.
    const QList<TLadder>& made = ladders_.Ladders();
    for (auto it = made.rbegin(); !ladder && it != made.rend(); ++it)
        if (it->active) ladder = &*it;
    if (!ladder) return;
    Show(*ladder);
    if (!tv_.isVisible()) tv_.Show();
}
