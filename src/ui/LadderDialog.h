#pragma once

#include "ladder/LadderField.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class TLadderRunner;

// "Ausscheidung anlegen": the class, where the field comes from, the race for third place, and
// the field in seed order as the ladder would get it. "Anlegen" makes it; what the runner
// refuses is said in the dialog, which stays open.
class TLadderDialog : public QDialog {
    Q_OBJECT
public:
    // classes: the class list, in class mode; empty without classes.
    TLadderDialog(TLadderRunner& ladders, const QStringList& classes, QWidget* parent = nullptr);

    TLadderSource Source() const;
    QString ClassInfo() const;
    // The ladder made; 0 until "Anlegen" made one.
    qint64 Made() const { return made_; }

    QComboBox* cbClass;
    QRadioButton* rbStandings;
    QRadioButton* rbProtocol;
    QRadioButton* rbDraw;
    QLineEdit* eDraw;
    QPushButton* bNewDraw;
    QCheckBox* cbThird;
    QTableWidget* TableField;
    QLabel* LabProblem;
    QPushButton* bCreate;

private:
    void Preview();
    void Create();

    TLadderRunner& ladders_;
    qint64 made_ = 0;
};
