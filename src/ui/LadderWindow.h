#pragma once

#include "ladder/LadderRunner.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QTableWidget;
class TLadderView;

// The race day's ladders ("Ausscheidung"), a class at a time: the bracket, the final places,
// and the operator's commands on a pairing and on the ladder. The runner keeps the rules; a
// ladder is made, and a pairing run again, by whoever listens to the requests.
class TLadderWindow : public QWidget {
    Q_OBJECT
public:
    explicit TLadderWindow(TLadderRunner& ladders, QWidget* parent = nullptr);

    // Shown and raised, on the lanes' ladder when there is one.
    void Open();
    // The ladder shown; 0 for none.
    qint64 Shown() const;
    void ShowLadder(qint64 id);
    std::optional<TPairingRef> Selected() const;

    QComboBox* cbLadder;
    QLabel* LabInfo;
    QCheckBox* cbResting;
    QCheckBox* cbThird;
    QPushButton* bCreate;
    QPushButton* bRemove;
    QScrollArea* Scroll;
    TLadderView* View;
    QTableWidget* TablePlaces;
    QPushButton* bLoad;
    QPushButton* bSwap;
    QPushButton* bNoShow[2]; // the upper and the lower racer
    QPushButton* bRerun;
    QPushButton* bPrint;
    QPushButton* bExcel;
    QMenu* PairingMenu;

signals:
    void CreateRequested();
    void RerunRequested(const TPairingRef& ref);

private:
    void FillLadders();
    void Refresh();
    void FillPlaces(const TLadder* ladder);
    void UpdateCommands();
    void ToggleNoShow(int place);
    void Remove();
    void PrintPage();
    void SaveWorkbook();

    TLadderRunner& ladders_;
};
