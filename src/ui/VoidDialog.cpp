#include "VoidDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TVoidDialog::TVoidDialog(const QString& heatText, const QString& number1, const QString& number2,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Lauf ungültig"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(heatText + QStringLiteral(" für ungültig erklären:"), this));
    rbBoth = new QRadioButton(QStringLiteral("Beide Bahnen"), this);
    rbLane1 = new QRadioButton(QStringLiteral("Nur Bahn 1 (St.Nr. %1)").arg(number1), this);
    rbLane2 = new QRadioButton(QStringLiteral("Nur Bahn 2 (St.Nr. %1)").arg(number2), this);
    for (QRadioButton* button : {rbBoth, rbLane1, rbLane2})
        layout->addWidget(button);
    rbBoth->setEnabled(!number1.isEmpty() && !number2.isEmpty());
    rbLane1->setEnabled(!number1.isEmpty());
    rbLane2->setEnabled(!number2.isEmpty());
    (rbBoth->isEnabled() ? rbBoth : number1.isEmpty() ? rbLane2 : rbLane1)->setChecked(true);

    layout->addWidget(new QLabel(QStringLiteral("Grund (kann leer bleiben):"), this));
    cbReason = new QComboBox(this);
    cbReason->setEditable(true);
    cbReason->addItems({QString(), QStringLiteral("Fahrer abgewunken"),
                        QStringLiteral("Lichtschranke falsch ausgelöst"),
                        QStringLiteral("Start zu früh gegeben"),
                        QStringLiteral("Wiederholung auf Wunsch der Rennleitung")});
    cbReason->lineEdit()->setMaxLength(200);
    layout->addWidget(cbReason);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ungültig"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int TVoidDialog::ChosenLanes() const {
    return rbLane1->isChecked() ? 1 : rbLane2->isChecked() ? 2 : 0;
}

QString TVoidDialog::Reason() const {
    return cbReason->currentText().simplified();
}
