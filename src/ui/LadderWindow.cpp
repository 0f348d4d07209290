#include "LadderWindow.h"

#include "DlgYesNo.h"
#include "HtmlPrint.h"
#include "LadderView.h"
#include "base/Program.h"
#include "export/SaveBytes.h"
#include "ladder/LadderPage.h"
#include "ladder/LadderText.h"
#include "ladder/LadderWorkbook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString ShownTitle(const TLadder& ladder, QDate raceDay) {
    QString title = LadderClassTitle(ladder);
    if (title.isEmpty()) title = QStringLiteral("Ausscheidung");
    if (ladder.day != raceDay)
        title += QStringLiteral(" (%1)").arg(QLocale().toString(ladder.day, QLocale::ShortFormat));
    return title;
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment align) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

} // namespace

TLadderWindow::TLadderWindow(TLadderRunner& ladders, QWidget* parent)
    : QWidget(parent, Qt::Window), ladders_(ladders) {
    setWindowTitle(QStringLiteral("Ausscheidung"));
    resize(1280, 720);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Klasse:"), this));
    cbLadder = new QComboBox(this);
    cbLadder->setMinimumContentsLength(14);
    top->addWidget(cbLadder);
    LabInfo = new QLabel(this);
    top->addWidget(LabInfo, 1);
    cbResting = new QCheckBox(QStringLiteral("ruht"), this);
    cbResting->setToolTip(QStringLiteral("Die Rücksetzung lädt keine Paarung dieser Ausscheidung"));
    cbThird = new QCheckBox(kThirdPlaceRace, this);
    bCreate = new QPushButton(QStringLiteral("Anlegen..."), this);
    bRemove = new QPushButton(QStringLiteral("Entfernen..."), this);
    for (QWidget* widget : std::initializer_list<QWidget*>{cbResting, cbThird, bCreate, bRemove})
        top->addWidget(widget);
    layout->addLayout(top);

    auto* split = new QSplitter(Qt::Horizontal, this);
    Scroll = new QScrollArea(split);
    View = new TLadderView(Scroll);
    Scroll->setWidget(View);
    Scroll->setWidgetResizable(true);
    TablePlaces = new QTableWidget(0, 3, split);
    TablePlaces->setHorizontalHeaderLabels(
        {QStringLiteral("Platz"), QStringLiteral("St.Nr."), QStringLiteral("Name")});
    TablePlaces->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TablePlaces->setSelectionMode(QAbstractItemView::NoSelection);
    TablePlaces->setWordWrap(false);
    TablePlaces->verticalHeader()->hide();
    TablePlaces->horizontalHeader()->setStretchLastSection(true);
    split->addWidget(Scroll);
    split->addWidget(TablePlaces);
    split->setStretchFactor(0, 1);
    split->setSizes({1040, 220});
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    bLoad = new QPushButton(QStringLiteral("Laden"), this);
    bSwap = new QPushButton(QStringLiteral("Bahnen tauschen"), this);
    for (QPushButton*& button : bNoShow) {
        button = new QPushButton(QStringLiteral("nicht angetreten"), this);
        button->setCheckable(true);
    }
    bRerun = new QPushButton(QStringLiteral("Wiederholen..."), this);
    for (QPushButton* button : {bLoad, bSwap, bNoShow[0], bNoShow[1], bRerun})
        buttons->addWidget(button);
    buttons->addStretch(1);
    bPrint = new QPushButton(QStringLiteral("Drucken"), this);
    bExcel = new QPushButton(QStringLiteral("Als Excel-Datei..."), this);
    buttons->addWidget(bPrint);
    buttons->addWidget(bExcel);
    layout->addLayout(buttons);
    PairingMenu = new QMenu(this);

    connect(cbLadder, &QComboBox::activated, this, &TLadderWindow::Refresh);
    connect(cbResting, &QCheckBox::clicked, this,
            [this](bool resting) { ladders_.SetActive(Shown(), !resting); });
    connect(cbThird, &QCheckBox::clicked, this, [this](bool on) {
        ladders_.SetThirdPlace(Shown(), on);
        Refresh(); // a refused change shows as it stands
    });
    connect(bCreate, &QPushButton::clicked, this, &TLadderWindow::CreateRequested);
    connect(bPrint, &QPushButton::clicked, this, &TLadderWindow::PrintPage);
    connect(bExcel, &QPushButton::clicked, this, &TLadderWindow::SaveWorkbook);
    connect(bRemove, &QPushButton::clicked, this, &TLadderWindow::Remove);
    connect(bLoad, &QPushButton::clicked, this, [this] {
        if (const std::optional<TPairingRef> ref = Selected()) ladders_.Load(*ref);
    });
    connect(bSwap, &QPushButton::clicked, this, [this] {
        if (const std::optional<TPairingRef> ref = Selected()) ladders_.SwapLanes(*ref);
    });
    connect(bNoShow[0], &QPushButton::clicked, this, [this] { ToggleNoShow(kUpper); });
    connect(bNoShow[1], &QPushButton::clicked, this, [this] { ToggleNoShow(kLower); });
    connect(bRerun, &QPushButton::clicked, this, [this] {
        if (const std::optional<TPairingRef> ref = Selected()) emit RerunRequested(*ref);
    });
    connect(View, &TLadderView::SelectionChanged, this, [this] {
        if (const std::optional<TPairingRef> ref = Selected())
            Scroll->ensureVisible(View->BoxOf(*ref).center().x(), View->BoxOf(*ref).center().y(),
                                  View->BoxOf(*ref).width() / 2 + 20,
                                  View->BoxOf(*ref).height() / 2 + 24);
        UpdateCommands();
    });
    connect(View, &TLadderView::Activated, bLoad, &QPushButton::click);
    // The menu has the buttons' commands, as they stand.
    connect(View, &TLadderView::MenuRequested, this, [this](const QPoint& global) {
        PairingMenu->clear();
        for (QPushButton* button : {bLoad, bSwap, bNoShow[0], bNoShow[1], bRerun}) {
            QAction* action = PairingMenu->addAction(button->text(), button, &QPushButton::click);
            action->setEnabled(button->isEnabled());
            action->setCheckable(button->isCheckable());
            action->setChecked(button->isChecked());
        }
        PairingMenu->popup(global);
    });

    connect(&ladders_, &TLadderRunner::LaddersChanged, this, &TLadderWindow::FillLadders);
    connect(&ladders_, &TLadderRunner::LadderChanged, this, [this](qint64 id) {
        if (id == Shown()) Refresh();
    });
    connect(&ladders_, &TLadderRunner::LanesChanged, this, &TLadderWindow::Refresh);
    FillLadders();
}

void TLadderWindow::Open() {
    if (const std::optional<TPairingRef> lanes = ladders_.InLanes()) ShowLadder(lanes->ladder);
    show();
    raise();
    activateWindow();
}

qint64 TLadderWindow::Shown() const {
    return cbLadder->currentData().toLongLong();
}

void TLadderWindow::ShowLadder(qint64 id) {
    if (const int index = cbLadder->findData(id); index >= 0) cbLadder->setCurrentIndex(index);
    Refresh();
}

std::optional<TPairingRef> TLadderWindow::Selected() const {
    return View->Selected();
}

void TLadderWindow::FillLadders() {
    const qint64 shown = Shown();
    cbLadder->clear();
    // The newest first: the race day's, and of them the one made last.
    const QList<TLadder>& all = ladders_.Ladders();
    QDate raceDay;
    for (const TLadder& ladder : all)
        raceDay = std::max(raceDay, ladder.day);
    for (auto ladder = all.rbegin(); ladder != all.rend(); ++ladder)
        cbLadder->addItem(ShownTitle(*ladder, raceDay), ladder->id);
    if (const int index = cbLadder->findData(shown); index >= 0) cbLadder->setCurrentIndex(index);
    Refresh();
}

void TLadderWindow::Refresh() {
    const TLadder* ladder = ladders_.Ladder(Shown());
    View->SetLadder(ladder ? std::optional<TLadder>(*ladder) : std::nullopt, ladders_.InLanes(),
                    ladders_.Ready());
    QStringList info;
    if (ladder) {
        QString source = ladder->source;
        if (ladder->drawSeed >= 0) source += QStringLiteral(" Nr. %1").arg(ladder->drawSeed);
        info << QStringLiteral("%1 Fahrer aus %2").arg(ladder->field.size()).arg(source);
        if (ladder->Finished()) info << QStringLiteral("beendet");
        if (!ladder->active) info << QStringLiteral("ruht");
    } else {
        info << QStringLiteral("Noch keine Ausscheidung: „Anlegen...“ macht eine.");
    }
    LabInfo->setText(QStringLiteral("  ") + info.join(QStringLiteral(", ")));
    cbResting->setEnabled(ladder);
    cbResting->setChecked(ladder && !ladder->active);
    cbThird->setEnabled(ladder && ladders_.CanSetThirdPlace(ladder->id));
    cbThird->setChecked(ladder && ladder->ThirdPlace());
    bRemove->setEnabled(ladder);
    FillPlaces(ladder);
    UpdateCommands();
}

void TLadderWindow::FillPlaces(const TLadder* ladder) {
    QList<TLadderEntrant> racers = ladder ? ladder->field : QList<TLadderEntrant>();
    // The placed first, best first; those still in after them, by seed.
    std::stable_sort(racers.begin(), racers.end(), [](const auto& a, const auto& b) {
        return (a.place ? a.place : kMaxLadderField + 1) <
               (b.place ? b.place : kMaxLadderField + 1);
    });
    TablePlaces->setRowCount(int(racers.size()));
    for (int row = 0; row < racers.size(); ++row) {
        const TLadderEntrant& racer = racers[row];
        TablePlaces->setItem(
            row, 0, Cell(racer.place ? QString::number(racer.place) : QString(), Qt::AlignRight));
        TablePlaces->setItem(row, 1, Cell(racer.startNumber, Qt::AlignRight));
        TablePlaces->setItem(row, 2, Cell(LadderRacerName(racer), Qt::AlignLeft));
    }
    TablePlaces->resizeColumnToContents(0);
    TablePlaces->resizeColumnToContents(1);
}

void TLadderWindow::UpdateCommands() {
    for (QPushButton* file : {bPrint, bExcel})
        file->setEnabled(Shown() != 0);
    const std::optional<TPairingRef> ref = Selected();
    const TLadder* ladder = ref ? ladders_.Ladder(ref->ladder) : nullptr;
    const TLadderPairing* pairing = ref ? ladders_.Pairing(*ref) : nullptr;
    bLoad->setEnabled(ref && ladders_.CanChange(*ref));
    bSwap->setEnabled(ref && ladders_.CanChange(*ref));
    for (const int place : {kUpper, kLower}) {
        QPushButton* button = bNoShow[place];
        const TLadderEntrant* racer =
            pairing && !pairing->Bye(place) ? ladder->Entrant(pairing->seeds[place]) : nullptr;
        const bool marked = racer && pairing->noShow == racer->seed;
        button->setText(racer ? QStringLiteral("St.Nr. %1 nicht angetreten").arg(racer->startNumber)
                              : QStringLiteral("nicht angetreten"));
        button->setChecked(marked);
        button->setEnabled(racer && ladders_.CanSetNoShow(*ref, racer->seed, !marked));
    }
    bRerun->setEnabled(ref && !ladders_.RerunRuns(*ref).isEmpty());
}

void TLadderWindow::ToggleNoShow(int place) {
    const std::optional<TPairingRef> ref = Selected();
    const TLadderPairing* pairing = ref ? ladders_.Pairing(*ref) : nullptr;
    if (pairing) {
        const int seed = pairing->seeds[place];
        ladders_.SetNoShow(*ref, seed, pairing->noShow != seed);
    }
    UpdateCommands(); // a refused click leaves the button as it was
}

void TLadderWindow::Remove() {
    const TLadder* ladder = ladders_.Ladder(Shown());
    if (!ladder) return;
    TFDlgYesNo ask(this);
    const QString question =
        ladder->classInfo.isEmpty()
            ? QStringLiteral("Die Ausscheidung entfernen?")
            : QStringLiteral("Die Ausscheidung der Klasse %1 entfernen?").arg(ladder->classInfo);
    if (ask.Ask(question)) ladders_.Remove(ladder->id);
}

void TLadderWindow::PrintPage() {
    const TLadder* ladder = ladders_.Ladder(Shown());
    if (!ladder) return;
    // Printed as the protocol is: the page, on the default printer, without a dialog.
    const QString folder =
        QFileInfo(QDir::currentPath()).isWritable() ? QDir::currentPath() : QDir::tempPath();
    const QString path =
        QDir(folder).absoluteFilePath(ProgramTitle() + QStringLiteral("-Ausscheidung.html"));
    const FileWriteResult result =
        SaveFileBytes(path, LadderPageHtml(*ladder, ProgramTitle()).toLatin1());
    if (!result.ok)
        QMessageBox::warning(this, windowTitle(), result.message);
    else
        PrintHtmlFile(path); // no printer: nothing happens
}

void TLadderWindow::SaveWorkbook() {
    const TLadder* ladder = ladders_.Ladder(Shown());
    if (!ladder) return;
    QString name =
        QStringLiteral("Ausscheidung-") + ladder->day.toString(QStringLiteral("yyyy-MM-dd"));
    if (!ladder->classInfo.isEmpty()) name += u'-' + ladder->classInfo;
    name.replace(QRegularExpression(QStringLiteral(R"([\\/:*?"<>|])")), QStringLiteral("_"));
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Ausscheidung speichern"),
        QDir(QDir::homePath()).filePath(name + QStringLiteral(".xlsx")),
        QStringLiteral("MS Excel (*.xlsx)"));
    if (file.isEmpty()) return;
    if (const QString error = SaveLadderWorkbook(*ladder, ProgramTitle(), file); !error.isEmpty())
        QMessageBox::warning(this, windowTitle(), error);
}
