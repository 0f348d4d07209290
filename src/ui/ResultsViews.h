#pragma once

#include "race/RaceCommand.h"
#include "results/Standings.h"

#include <QObject>

#include <functional>

class QAction;
class QWidget;
class TFormMonitor2;
class TJournalRecorder;
class TLiveResults;
class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
class TStandingsWindow;
class TTimeSlips;
class TVoidRuns;
struct Race;

// What the race day's runs show: the standings window, the standings on the TV and the results
// page, and declaring runs void. The window only makes it and puts its commands in the menus.
class TResultsViews : public QObject {
    Q_OBJECT
public:
    TResultsViews(Race& race, TRaceSequence& sequence, TResultsDatabase& results,
                  TProtocolModel& protocol, TJournalRecorder& journal, TFormMonitor2& tv,
                  TLiveResults& live, TTimeSlips& slips, std::function<QStringList()> classList,
                  QWidget* window);

    // "Wertung" (Strg+W) and "Lauf ungültig" (Strg+U), for the hidden menu.
    QAction* mWertung;
    QAction* mUngueltig;
    TVoidRuns* Voider;
    // Made the first time it is opened.
    TStandingsWindow* Standings = nullptr;

    TStandings Current() const;
    void ShowStandings();
    // Asks which lanes of the last heat are void and why, then declares them so.
    void VoidLastHeat(TCommandSource source);

private:
    void StandingsChanged();
    void UpdateCommands();

    Race& race_;
    TResultsDatabase& results_;
    TFormMonitor2& tv_;
    TLiveResults& live_;
    TTimeSlips& slips_;
    std::function<QStringList()> classList_;
    QWidget* window_;
};
