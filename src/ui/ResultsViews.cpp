#include "ResultsViews.h"

#include "LadderDialog.h"
#include "LadderWindow.h"
#include "Monitor2.h"
#include "StandingsWindow.h"
#include "TvLadderSwitch.h"
#include "VoidDialog.h"
#include "ladder/LadderCallUp.h"
#include "ladder/LadderRunner.h"
#include "live/LiveFeed.h"
#include "live/LiveResults.h"
#include "protocol/ProtocolModel.h"
#include "race/Race.h"
#include "results/ResultsDatabase.h"
#include "results/VoidRuns.h"
#include "slips/TimeSlips.h"

#include <QAction>
#include <QInputDialog>

TResultsViews::TResultsViews(Race& race, TRaceSequence& sequence, TResultsDatabase& results,
                             TProtocolModel& protocol, TJournalRecorder& journal, TFormMonitor2& tv,
                             TLiveResults& live, TTimeSlips& slips,
                             std::function<QStringList()> classList, QWidget* window)
    : QObject(window), race_(race), results_(results), tv_(tv), live_(live), protocol_(protocol),
      slips_(slips), classList_(std::move(classList)), window_(window) {
    Voider = new TVoidRuns(results, protocol, race, sequence, journal, this);
    mWertung = new QAction(QStringLiteral("Wertung"), this);
    mWertung->setShortcut(Qt::CTRL | Qt::Key_W);
    mUngueltig = new QAction(QStringLiteral("Lauf ungültig"), this);
    mUngueltig->setShortcut(Qt::CTRL | Qt::Key_U);
    mAusscheidung = new QAction(QStringLiteral("Ausscheidung"), this);
    mAusscheidung->setShortcut(Qt::CTRL | Qt::Key_L);
    connect(mWertung, &QAction::triggered, this, &TResultsViews::ShowStandings);
    connect(mAusscheidung, &QAction::triggered, this, &TResultsViews::ShowLadders);
    connect(mUngueltig, &QAction::triggered, this, [this] { VoidLastHeat(TCommandSource::Key); });

    // The standings follow every run; the page and the TV get them as they are.
    for (auto changed : {&TResultsDatabase::RunAdded, &TResultsDatabase::RunChanged})
        connect(&results, changed, this, &TResultsViews::StandingsChanged);
    connect(&results, &TResultsDatabase::RunsReset, this, &TResultsViews::StandingsChanged);
    connect(&results, &TResultsDatabase::VoidChanged, this, &TResultsViews::StandingsChanged);
    connect(Voider, &TVoidRuns::RunVoided, this, [this](const TRun& run, bool voided) {
        if (TLiveFeed* feed = live_.Feed()) feed->LaneVoided(run.startTicks, run.lane, voided);
    });
    live_.SetStandingsSource([this] { return Current(); });
    live_.SetResults(&results);
    Ladders = new TLadderRunner(results, race, sequence, protocol, this);
    // A slip of a ladder's heat names its round.
    slips_.SetRoundSource([this](const TRun& run) { return RoundOfHeat(*Ladders, run); });
    TvLadder = new TTvLadderSwitch(*Ladders, sequence, tv_, this);
    // What comes next, on the TV and the page: the ladders' pairings, else the lanes' numbers
    // moving on by 2.
    const PairingSource next = [this, &race, &protocol](int count) {
        QList<TCallUpPairing> pairings = LadderCallUp(*Ladders, count);
        return pairings.isEmpty() ? LaneOrder(race.heat, protocol, count) : pairings;
    };
    live_.SetPairingSource(next);
    live_.SetLadderSource(
        [this](const QString& startNumber) { return RacerInLadder(*Ladders, startNumber); });
    tv_.SetCallUpSource(next);
    live_.SetLadders(Ladders);
    auto laddersChanged = [this] {
        live_.LaddersChanged();
        tv_.RefreshCallUp();
    };
    connect(Ladders, &TLadderRunner::LaddersChanged, this, laddersChanged);
    connect(Ladders, &TLadderRunner::LadderChanged, this, laddersChanged);
    connect(Ladders, &TLadderRunner::LanesChanged, this, laddersChanged);
    connect(&race.heat, &THeatModel::LaneChanged, this, &TResultsViews::UpdateCommands);
    connect(&results, &TResultsDatabase::RunAdded, this, &TResultsViews::UpdateCommands);
    connect(&results, &TResultsDatabase::VoidChanged, this, &TResultsViews::UpdateCommands);
    UpdateCommands();
}

QList<QAction*> TResultsViews::Keys() const {
    return {mWertung, mUngueltig, mAusscheidung, TvLadder->mTvLadder};
}

TStandings TResultsViews::Current() const {
    return BuildStandings(results_.Runs(), race_.settings.Klass, race_.settings.ManyStart,
                          classList_());
}

void TResultsViews::StandingsChanged() {
    live_.StandingsChanged();
}

void TResultsViews::UpdateCommands() {
    mUngueltig->setEnabled(Voider->CanVoidLastHeat());
}

void TResultsViews::ShowStandings() {
    if (!Standings) {
        Standings = new TStandingsWindow(results_, race_.settings, classList_, window_);
        connect(Standings, &TStandingsWindow::ShowOnTv, this, [this](const TStandings& shown) {
            tv_.ShowStandings(shown);
            if (!tv_.isVisible()) tv_.Show();
        });
        connect(Standings, &TStandingsWindow::VoidRequested, this, [this](const TRun& run) {
            bool ok = false;
            const QString reason = QInputDialog::getText(
                Standings, QStringLiteral("Lauf ungültig"),
                QStringLiteral("Lauf %1, Bahn %2, St.Nr. %3 für ungültig erklären.\nGrund:")
                    .arg(run.heat)
                    .arg(run.lane)
                    .arg(run.startNumber),
                QLineEdit::Normal, QString(), &ok);
            if (ok) Voider->VoidRun(run, reason.simplified(), TCommandSource::Menu);
        });
        connect(Standings, &TStandingsWindow::UnvoidRequested, this,
                [this](const TRun& run) { Voider->Unvoid(run, TCommandSource::Menu); });
        // With the runs of the run's own day: its opponent and best run are among them.
        connect(Standings, &TStandingsWindow::SlipRequested, this,
                [this](const TRun& run) { slips_.PrintSlip(run, Standings->ShownRuns()); });
    }
    Standings->Open();
}

void TResultsViews::VoidLastHeat(TCommandSource source) {
    if (!Voider->CanVoidLastHeat()) return;
    const TVoidRuns::LastHeat last = Voider->Last();
    auto number = [&last](int lane) {
        return last.runs[lane] && !last.runs[lane]->voided ? last.runs[lane]->startNumber
                                                           : QString();
    };
    TVoidDialog dialog(QStringLiteral("Lauf %1").arg(last.heat), number(1), number(2), window_);
    if (dialog.exec() != QDialog::Accepted) return;
    Voider->VoidLastHeat(dialog.ChosenLanes(), dialog.Reason(), source);
}

void TResultsViews::ShowLadders() {
    if (!LadderWindow) {
        LadderWindow = new TLadderWindow(*Ladders, window_);
        LadderWindow->addActions(Keys()); // Strg+W, Strg+U, Strg+L, Strg+B work there as well
        connect(LadderWindow, &TLadderWindow::CreateRequested, this, &TResultsViews::CreateLadder);
        connect(LadderWindow, &TLadderWindow::RerunRequested, this, &TResultsViews::RerunPairing);
    }
    LadderWindow->Open();
}

void TResultsViews::CreateLadder() {
    const QStringList classes =
        race_.settings.Klass ? LadderClasses(classList_(), protocol_.Rows()) : QStringList();
    QWidget* over = LadderWindow ? static_cast<QWidget*>(LadderWindow) : window_;
    TLadderDialog dialog(*Ladders, classes, over);
    if (dialog.exec() == QDialog::Accepted && LadderWindow) LadderWindow->ShowLadder(dialog.Made());
}

void TResultsViews::RerunPairing(const TPairingRef& ref) {
    const TRuns runs = Ladders->RerunRuns(ref);
    if (runs.isEmpty()) return;
    QString numbers[3];
    for (const TRun& run : runs)
        if (run.lane == 1 || run.lane == 2) numbers[run.lane] = run.startNumber;
    TVoidDialog dialog(
        QStringLiteral("Lauf %1 (%2)").arg(runs[0].heat).arg(Ladders->Pairing(ref)->name),
        numbers[1], numbers[2], LadderWindow ? static_cast<QWidget*>(LadderWindow) : window_);
    dialog.setWindowTitle(QStringLiteral("Wiederholen"));
    if (dialog.exec() != QDialog::Accepted) return;
    ::RerunPairing(*Ladders, *Voider, ref, dialog.ChosenLanes(), dialog.Reason(),
                   TCommandSource::Menu);
}
