#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TFrame1;
class TLed;
class TOperatorButton;
struct Race;

// A panel in a plain colour.
void Fill(QWidget* widget, const QColor& color);
// A picture label at its place, with its hint.
QLabel* Picture(QWidget* parent, const QRect& geometry, const QString& hint = {});

// The timing area of the operator's window, as designed for a width of 792: the lane clocks,
// the operator's buttons and arming pictures, the start light, the title, the imitation panel
// and the protocol's button bar. It only lays out; the window connects.
class TRaceArea : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 336;

    TRaceArea(Race& race, QWidget* parent);

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
    // What the last lane stop looked like, between the reset and lane 2's buttons.
    QLabel* LabWarnings;
    QWidget* PanelImit;
    QPushButton* bImit1;
    QPushButton* bImit2;
    QPushButton* bImit3;
    // Led[0] start contact, Led[1] … Led[4] lane 1, Led[5] … Led[8] lane 2.
    TLed* Led[9];
    QLabel* Panel4;
    QToolButton* sbLoad;
    QToolButton* sbSave;
    QToolButton* sbExcel;
    QToolButton* sbInet;
    QToolButton* sbNextKrug;
    QToolButton* sbPrint;
    QToolButton* sbCLS;

signals:
    // An imitation button: 1 start contact, 2 lane 1, 3 lane 2.
    void ImitationClicked(int tag);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateProtocolBar();
    void CreateImitationPanel();
};
