#include "LadderDialog.h"

#include "ladder/LadderRunner.h"
#include "ladder/LadderText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum FieldColumn { FcSeed, FcNumber, FcName, FcPlace, FcTime, FcCount };

} // namespace

TLadderDialog::TLadderDialog(TLadderRunner& ladders, const QStringList& classes, QWidget* parent)
    : QDialog(parent), ladders_(ladders) {
    setWindowTitle(QStringLiteral("Ausscheidung anlegen"));
    resize(620, 620);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* classLabel = new QLabel(QStringLiteral("Klasse:"), this);
    cbClass = new QComboBox(this);
    cbClass->addItems(classes);
    // The first class that has no ladder yet.
    for (int i = 0; i < classes.size(); ++i)
        if (!ladders.LadderOf(classes[i])) {
            cbClass->setCurrentIndex(i);
            break;
        }
    classLabel->setVisible(!classes.isEmpty());
    cbClass->setVisible(!classes.isEmpty());
    grid->addWidget(classLabel, 0, 0);
    grid->addWidget(cbClass, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Feld aus:"), this), 1, 0);
    rbStandings = new QRadioButton(LadderSourceName(TLadderSource::Standings), this);
    rbStandings->setToolTip(QStringLiteral("Setzplatz ist der Platz in der Wertung der Klasse"));
    rbProtocol = new QRadioButton(LadderSourceName(TLadderSource::Protocol), this);
    rbProtocol->setToolTip(QStringLiteral("Setzplatz ist die Reihenfolge der Protokollzeilen"));
    rbDraw = new QRadioButton(LadderSourceName(TLadderSource::Draw), this);
    rbDraw->setToolTip(QStringLiteral("Setzplatz wird aus der Losnummer gezogen; dieselbe Nummer "
                                      "ergibt dieselbe Auslosung"));
    grid->addWidget(rbStandings, 1, 1);
    grid->addWidget(rbProtocol, 2, 1);
    grid->addWidget(rbDraw, 3, 1);
    auto* drawRow = new QHBoxLayout;
    drawRow->addWidget(new QLabel(QStringLiteral("Losnummer:"), this));
    eDraw = new QLineEdit(this);
    eDraw->setValidator(new QIntValidator(1, 999999, eDraw));
    eDraw->setMaxLength(6);
    eDraw->setFixedWidth(80);
    drawRow->addWidget(eDraw);
    bNewDraw = new QPushButton(QStringLiteral("Neu auslosen"), this);
    drawRow->addWidget(bNewDraw);
    drawRow->addStretch(1);
    grid->addLayout(drawRow, 3, 2);
    cbThird = new QCheckBox(kThirdPlaceRace, this);
    grid->addWidget(cbThird, 4, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    TableField = new QTableWidget(0, FcCount, this);
    TableField->setHorizontalHeaderLabels({QStringLiteral("Setzplatz"), QStringLiteral("St.Nr."),
                                           QStringLiteral("Name"), QStringLiteral("Platz"),
                                           QStringLiteral("Zeit")});
    TableField->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableField->setSelectionMode(QAbstractItemView::NoSelection);
    TableField->verticalHeader()->hide();
    layout->addWidget(TableField, 1);
    LabProblem = new QLabel(this);
    LabProblem->setWordWrap(true);
    layout->addWidget(LabProblem);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    bCreate = buttons->button(QDialogButtonBox::Ok);
    bCreate->setText(QStringLiteral("Anlegen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TLadderDialog::Create);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(cbClass, &QComboBox::currentIndexChanged, this, &TLadderDialog::Preview);
    for (QRadioButton* source : {rbStandings, rbProtocol, rbDraw})
        connect(source, &QRadioButton::toggled, this, [this, source](bool on) {
            if (!on) return;
            if (source == rbDraw && eDraw->text().isEmpty())
                eDraw->setText(QString::number(TLadderRunner::NewDrawSeed()));
            Preview();
        });
    connect(eDraw, &QLineEdit::textChanged, this, &TLadderDialog::Preview);
    connect(bNewDraw, &QPushButton::clicked, this, [this] {
        eDraw->setText(QString::number(TLadderRunner::NewDrawSeed()));
        rbDraw->setChecked(true);
    });
    // The standings when there are any, else the protocol's order.
    (ladders.Field(ClassInfo(), TLadderSource::Standings).isEmpty() ? rbProtocol : rbStandings)
        ->setChecked(true);
}

TLadderSource TLadderDialog::Source() const {
    return rbStandings->isChecked() ? TLadderSource::Standings
           : rbDraw->isChecked()    ? TLadderSource::Draw
                                    : TLadderSource::Protocol;
}

QString TLadderDialog::ClassInfo() const {
    return cbClass->count() ? cbClass->currentText() : QString();
}

void TLadderDialog::Preview() {
    const bool draw = Source() == TLadderSource::Draw;
    eDraw->setEnabled(draw);
    const QList<TLadderEntrant> field =
        ladders_.Field(ClassInfo(), Source(), eDraw->text().toUInt());
    const bool standings = Source() == TLadderSource::Standings;
    TableField->setColumnHidden(FcPlace, !standings);
    TableField->setColumnHidden(FcTime, !standings);
    TableField->setRowCount(int(field.size()));
    for (int row = 0; row < field.size(); ++row) {
        const TLadderEntrant& racer = field[row];
        const QStringList cells = {
            QString::number(racer.seed), racer.startNumber, LadderRacerName(racer),
            racer.standingsPlace ? QString::number(racer.standingsPlace) : QString(), racer.time};
        for (int column = 0; column < FcCount; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment((column == FcName ? Qt::AlignLeft : Qt::AlignRight) |
                                   Qt::AlignVCenter);
            TableField->setItem(row, column, item);
        }
    }
    TableField->resizeColumnsToContents();
    TableField->horizontalHeader()->setSectionResizeMode(FcName, QHeaderView::Stretch);

    QString problem = FieldProblem(field);
    if (draw && !eDraw->hasAcceptableInput())
        problem = QStringLiteral("Die Losnummer ist eine Zahl von 1 bis 999999.");
    if (problem.isEmpty()) {
        const int places = LadderSize(int(field.size()));
        const int byes = places - int(field.size());
        LabProblem->setText(QStringLiteral("%1 Fahrer, %2 Plätze, %3")
                                .arg(field.size())
                                .arg(places)
                                .arg(byes == 1 ? QStringLiteral("1 Freilos")
                                               : QStringLiteral("%1 Freilose").arg(byes)));
        LabProblem->setStyleSheet(QString());
    } else {
        LabProblem->setText(problem);
        LabProblem->setStyleSheet(QStringLiteral("color: #B02020"));
    }
    bCreate->setEnabled(problem.isEmpty());
}

void TLadderDialog::Create() {
    const QString reason =
        ladders_.Create(ClassInfo(), Source(), cbThird->isChecked(), eDraw->text().toUInt());
    if (!reason.isEmpty()) {
        LabProblem->setText(reason);
        LabProblem->setStyleSheet(QStringLiteral("color: #B02020"));
        return;
    }
    const TLadder* made = ladders_.LadderOf(ClassInfo());
    made_ = made ? made->id : 0;
    accept();
}
