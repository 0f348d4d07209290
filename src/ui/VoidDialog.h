#pragma once

#include <QDialog>

class QComboBox;
class QRadioButton;

// Asks which lanes of a heat are void and why: both, or one with its start number, and a reason
// the operator may type or pick.
class TVoidDialog : public QDialog {
    Q_OBJECT
public:
    // heatText names the heat ("Lauf 12"); number1 and number2 are the lanes' start numbers,
    // empty for a lane that has no run to void.
    TVoidDialog(const QString& heatText, const QString& number1, const QString& number2,
                QWidget* parent = nullptr);

    // 0 both lanes, 1 or 2 one lane.
    int ChosenLanes() const;
    QString Reason() const;

    QRadioButton* rbBoth;
    QRadioButton* rbLane1;
    QRadioButton* rbLane2;
    QComboBox* cbReason;
};
