#include "ResultsViews.h"

#include "Monitor2.h"
#include "StandingsWindow.h"
#include "VoidDialog.h"
#include "live/LiveFeed.h"
#include "live/LiveResults.h"
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
    : QObject(window), race_(race), results_(results), tv_(tv), live_(live), slips_(slips),
      classList_(std::move(classList)), window_(window) {
    Voider = new TVoidRuns(results, protocol, race, sequence, journal, this);
    mWertung = new QAction(QStringLiteral("Wertung"), this);
    mWertung->setShortcut(Qt::CTRL | Qt::Key_W);
    mUngueltig = new QAction(QStringLiteral("Lauf ungültig"), this);
    mUngueltig->setShortcut(Qt::CTRL | Qt::Key_U);
    connect(mWertung, &QAction::triggered, this, &TResultsViews::ShowStandings);
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
    // What comes next, on the TV and the page: the lanes' numbers moving on by 2.
    const PairingSource next = [&race, &protocol](int count) {
        return LaneOrder(race.heat, protocol, count);
    };
    live_.SetPairingSource(next);
    tv_.SetCallUpSource(next);
    connect(&race.heat, &THeatModel::LaneChanged, this, &TResultsViews::UpdateCommands);
    connect(&results, &TResultsDatabase::RunAdded, this, &TResultsViews::UpdateCommands);
    connect(&results, &TResultsDatabase::VoidChanged, this, &TResultsViews::UpdateCommands);
    UpdateCommands();
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
