#include "DlgYesNo.h"

#include "base/Program.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

TFDlgYesNo::TFDlgYesNo(QWidget* parent) : QDialog(parent) {
    setWindowTitle(ProgramTitle());
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(222, 94);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setGeometry(8, 10, 32, 32);
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

    Label1 = new QLabel(QStringLiteral("?"), this);
    Label1->setGeometry(46, 4, 169, 49);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    bYes = new QPushButton(QStringLiteral("Ja"), this);
    bYes->setGeometry(30, 60, 75, 25);
    // A hasty Enter must not end the program or clear the protocol: "Nein" is the default
    // and has the focus; "Ja" takes Enter only once the operator has moved to it.
    connect(bYes, &QPushButton::clicked, this, &QDialog::accept);
    bNo = new QPushButton(QStringLiteral("Nein"), this);
    bNo->setGeometry(117, 60, 75, 25);
    bNo->setDefault(true);
    connect(bNo, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well
}

bool TFDlgYesNo::Ask(const QString& question) {
    Label1->setText(question);
    return exec() == QDialog::Accepted;
}

void TFDlgYesNo::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) move(owner->frameGeometry().center() - rect().center());
    QDialog::showEvent(event);
    bNo->setFocus();
}
