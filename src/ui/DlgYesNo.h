#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The small question box: only "Ja" counts as yes; "Nein" and Escape are no.
class TFDlgYesNo : public QDialog {
    Q_OBJECT
public:
    explicit TFDlgYesNo(QWidget* parent = nullptr);

    // Shows the question modally, centred on the parent; true only for "Ja".
    bool Ask(const QString& question);

    QLabel* Label1;
    QPushButton* bYes;
    QPushButton* bNo;

protected:
    void showEvent(QShowEvent* event) override;
};
