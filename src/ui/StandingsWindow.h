#pragma once

#include "results/Standings.h"

#include <QDate>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TResultsDatabase;
struct TRaceSettings;

// The standings ("Wertung") of a race day, and its runs: follows each heat of the day being
// raced, shows earlier days from the results database, and prints, writes or puts them on the
// TV. Voiding a run and taking it back are handed on; the rules are elsewhere.
class TStandingsWindow : public QWidget {
    Q_OBJECT
public:
    TStandingsWindow(TResultsDatabase& results, const TRaceSettings& settings,
                     std::function<QStringList()> classList, QWidget* parent = nullptr);

    // Shown and raised, on the race day.
    void Open();
    // The standings shown.
    const TStandings& Shown() const { return standings_; }
    QDate Day() const { return day_; }
    void SetDay(QDate day);
    // The run selected in the runs tab; none when no run is.
    std::optional<TRun> SelectedRun() const;
    // The day's runs shown.
    const TRuns& ShownRuns() const { return runs_; }

    QComboBox* cbDay;
    QTabWidget* Tabs;
    QTableWidget* TableStandings;
    QTableWidget* TableRuns;
    QLabel* LabCounts;
    QPushButton* bPrint;
    QPushButton* bWeb;
    QPushButton* bExcel;
    QPushButton* bTv;
    QPushButton* bVoid;
    QPushButton* bUnvoid;
    QPushButton* bSlip;

signals:
    void ShowOnTv(const TStandings& standings);
    void VoidRequested(const TRun& run);
    void UnvoidRequested(const TRun& run);
    // The run's time slip, printed again.
    void SlipRequested(const TRun& run);

private:
    void Refresh();
    void FillDays();
    void Show(const TRuns& runs);
    void FillStandings();
    void FillRuns(const TRuns& runs);
    void UpdateButtons();
    QString WritePage(const QString& folder);
    void PrintPage();
    void OpenPage();
    void SaveWorkbook();
    void Tell(const QString& message);

    TResultsDatabase& results_;
    const TRaceSettings& settings_;
    std::function<QStringList()> classList_;
    QDate day_;
    TRuns runs_;
    TStandings standings_;
};
