#pragma once

#include "race/Race.h"

#include <QDateTime>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QToolButton;
class TFDlgYesNo;
class TFrame1;
class TOperatorButton;
class TRaceSequence;
class TSortGrid;
class SignalPlayer;

// The operator's console: the lane clocks and operator buttons above the results protocol.
// It wires the controls to the race sequence and the protocol; the rules live in those.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    Race race;

    QWidget* Panel1;
    QToolButton* bHelp;
    QToolButton* bCFG;
    QLabel* LabelLogo;
    QLabel* PanelDate;
    QWidget* PanelLeft;
    QLineEdit* eTitle;
    QLabel* ImageTitle;
    TFrame1* FrameT1;
    TFrame1* FrameT2;
    TOperatorButton* bSTART;
    TOperatorButton* bSTOP1;
    TOperatorButton* bSTOP2;
    TOperatorButton* bRESET;
    TOperatorButton* bFehlStart1;
    TOperatorButton* bFehlStart2;
    TOperatorButton* bAVARIA;
    QLabel* ImageLSstart;
    QLabel* ImageLSstop1;
    QLabel* ImageLSstop2;
    QLabel* ImageAmpel;
    QCheckBox* cbAutomatisch;
    QComboBox* cbKlass;
    QLabel* ImageTVAus;
    QLabel* ImageTVEin;
    QWidget* PanelImit;
    QLabel* Panel4;
    QToolButton* sbLoad;
    QToolButton* sbSave;
    QToolButton* sbExcel;
    QToolButton* sbInet;
    QToolButton* sbNextKrug;
    QToolButton* sbPrint;
    QToolButton* sbCLS;
    TSortGrid* SortGrid1 = nullptr;
    TRaceSequence* Sequence;
    TFDlgYesNo* FDlgYesNo;
    QTimer* TimerDate;

    // The hidden menu: its entries carry the keyboard shortcuts, in menu order.
    QMenu* HideMenu;
    QAction* mAvaria;
    QAction* Modus1;
    QAction* Hilfe1;
    QAction* mHilfe;
    QAction* EinstellunGen1;
    QAction* est1;
    QAction* Zeileentfernen1;
    QAction* Neu1;
    QAction* mJoker;
    QAction* Beenden1;

    void UpdateProtocolCommands();
    void FormResize();
    void ShowDate(const QDateTime& now);
    void sbCLSClick();
    void bAVARIAClick();
    void est1Click();

    // The maker's web page, opened by the logo.
    static const QString kMakerPage;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTopBar();
    void CreateRaceArea();
    void CreateProtocolBar();
    void CreateHiddenMenu();
    void StartUp();

    SignalPlayer* player_;
};
