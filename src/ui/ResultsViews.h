#pragma once

#include "race/RaceCommand.h"
#include "results/Standings.h"

#include <QObject>

#include <functional>

class QAction;
class QWidget;
class TFormMonitor2;
class TJournalRecorder;
class TLadderRunner;
class TLadderWindow;
class TLiveResults;
class TProtocolModel;
class TRaceSequence;
class TResultsDatabase;
class TStandingsWindow;
class TTvLadderSwitch;
class TTimeSlips;
class TVoidRuns;
struct Race;
struct TPairingRef;

// What the race day's runs show: the standings window, the standings on the TV and the results
// page, and declaring runs void. The window only makes it and puts its commands in the menus.
class TResultsViews : public QObject {
    Q_OBJECT
public:
    TResultsViews(Race& race, TRaceSequence& sequence, TResultsDatabase& results,
                  TProtocolModel& protocol, TJournalRecorder& journal, TFormMonitor2& tv,
                  TLiveResults& live, TTimeSlips& slips, std::function<QStringList()> classList,
                  QWidget* window);

    // "Wertung" (Strg+W), "Lauf ungültig" (Strg+U) and "Ausscheidung" (Strg+L), for the hidden
    // menu.
    QAction* mWertung;
    QAction* mUngueltig;
    QAction* mAusscheidung;
    QList<QAction*> Keys() const;
    TVoidRuns* Voider;
    // The race day's ladders; made before the results file is read.
    TLadderRunner* Ladders;
    // The ladder on the TV between heats; its command is "Ausscheidung auf TV" (Strg+B).
    TTvLadderSwitch* TvLadder;
    // Made the first time they are opened.
    TStandingsWindow* Standings = nullptr;
    TLadderWindow* LadderWindow = nullptr;

    TStandings Current() const;
    void ShowStandings();
    void ShowLadders();
    // "Ausscheidung anlegen", over the ladders' window.
    void CreateLadder();
    // Asks which lanes of the pairing's latest heat are void and why, then runs it again.
    void RerunPairing(const TPairingRef& ref);
    // Asks which lanes of the last heat are void and why, then declares them so.
    void VoidLastHeat(TCommandSource source);

private:
    void StandingsChanged();
    void UpdateCommands();

    Race& race_;
    TResultsDatabase& results_;
    TFormMonitor2& tv_;
    TLiveResults& live_;
    TProtocolModel& protocol_;
    TTimeSlips& slips_;
    std::function<QStringList()> classList_;
    QWidget* window_;
};
