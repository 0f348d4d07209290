#include "StandingsWindow.h"

#include "HtmlPrint.h"
#include "base/Program.h"
#include "race/RaceSettings.h"
#include "results/ResultsDatabase.h"
#include "results/StandingsPage.h"
#include "results/StandingsWorkbook.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QColor kMarkColor(0xFF, 0xB0, 0x40);
const QColor kHeadingColor(0xD4, 0xD0, 0xC8);

QTableWidget* Table(QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    return table;
}

QTableWidgetItem* Item(const QString& text, Qt::Alignment align = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

} // namespace

TStandingsWindow::TStandingsWindow(TResultsDatabase& results, const TRaceSettings& settings,
                                   std::function<QStringList()> classList, QWidget* parent)
    : QWidget(parent, Qt::Window), results_(results), settings_(settings),
      classList_(std::move(classList)) {
    setWindowTitle(QStringLiteral("Wertung"));
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Renntag:"), this));
    cbDay = new QComboBox(this);
    top->addWidget(cbDay);
    LabCounts = new QLabel(this);
    top->addWidget(LabCounts, 1);
    layout->addLayout(top);

    Tabs = new QTabWidget(this);
    TableStandings = Table(Tabs);
    TableRuns = Table(Tabs);
    Tabs->addTab(TableStandings, QStringLiteral("Wertung"));
    Tabs->addTab(TableRuns, QStringLiteral("Läufe"));
    layout->addWidget(Tabs, 1);

    auto* buttons = new QHBoxLayout;
    bPrint = new QPushButton(QStringLiteral("Drucken"), this);
    bWeb = new QPushButton(QStringLiteral("Als Webseite"), this);
    bExcel = new QPushButton(QStringLiteral("Als Excel-Datei..."), this);
    bTv = new QPushButton(QStringLiteral("Auf dem TV zeigen"), this);
    bVoid = new QPushButton(QStringLiteral("Lauf ungültig..."), this);
    bUnvoid = new QPushButton(QStringLiteral("Wieder gültig"), this);
    bSlip = new QPushButton(QStringLiteral("Zeitzettel drucken"), this);
    for (QPushButton* button : {bPrint, bWeb, bExcel, bTv, bVoid, bUnvoid, bSlip})
        buttons->addWidget(button);
    layout->addLayout(buttons);

    connect(bPrint, &QPushButton::clicked, this, &TStandingsWindow::PrintPage);
    connect(bWeb, &QPushButton::clicked, this, &TStandingsWindow::OpenPage);
    connect(bExcel, &QPushButton::clicked, this, &TStandingsWindow::SaveWorkbook);
    connect(bTv, &QPushButton::clicked, this, [this] { emit ShowOnTv(standings_); });
    connect(bVoid, &QPushButton::clicked, this, [this] {
        if (const std::optional<TRun> run = SelectedRun()) emit VoidRequested(*run);
    });
    connect(bUnvoid, &QPushButton::clicked, this, [this] {
        if (const std::optional<TRun> run = SelectedRun()) emit UnvoidRequested(*run);
    });
    connect(bSlip, &QPushButton::clicked, this, [this] {
        if (const std::optional<TRun> run = SelectedRun()) emit SlipRequested(*run);
    });
    connect(Tabs, &QTabWidget::currentChanged, this, &TStandingsWindow::UpdateButtons);
    connect(TableRuns, &QTableWidget::itemSelectionChanged, this, &TStandingsWindow::UpdateButtons);
    connect(cbDay, &QComboBox::activated, this,
            [this](int index) { SetDay(cbDay->itemData(index).toDate()); });

    // The race day follows each heat; another day is read once, off this thread.
    auto raceDayChanged = [this] {
        if (day_ == results_.RaceDay() || !day_.isValid()) Refresh();
    };
    connect(&results, &TResultsDatabase::RunAdded, this, raceDayChanged);
    connect(&results, &TResultsDatabase::RunChanged, this, raceDayChanged);
    connect(&results, &TResultsDatabase::RunsReset, this, raceDayChanged);
    connect(&results, &TResultsDatabase::DaysChanged, this, &TStandingsWindow::FillDays);
    connect(&results, &TResultsDatabase::VoidChanged, this, [this] {
        if (day_ != results_.RaceDay()) results_.ReadDay(day_);
    });
    connect(&results, &TResultsDatabase::DayRead, this,
            [this](QDate day, const TRuns& runs, const QString& error) {
                if (day != day_ || day_ == results_.RaceDay()) return;
                if (!error.isEmpty()) Tell(error);
                Show(runs);
            });
}

void TStandingsWindow::Open() {
    day_ = results_.RaceDay();
    FillDays();
    Refresh();
    show();
    raise();
    activateWindow();
}

void TStandingsWindow::SetDay(QDate day) {
    day_ = day;
    if (day == results_.RaceDay())
        Refresh();
    else
        results_.ReadDay(day);
}

void TStandingsWindow::FillDays() {
    cbDay->clear();
    QList<QDate> days = results_.Days();
    if (!days.contains(results_.RaceDay())) days.append(results_.RaceDay());
    std::sort(days.begin(), days.end(), std::greater<>());
    for (const QDate& day : days)
        cbDay->addItem(QLocale().toString(day, QLocale::ShortFormat), day);
    cbDay->setCurrentIndex(std::max(0, cbDay->findData(day_)));
}

void TStandingsWindow::Refresh() {
    day_ = results_.RaceDay();
    Show(results_.Runs());
}

void TStandingsWindow::Show(const TRuns& runs) {
    runs_ = runs;
    standings_ = BuildStandings(runs, settings_.Klass, settings_.ManyStart, classList_());
    FillStandings();
    FillRuns(runs);
    int placed = 0, racers = 0;
    for (const TStandingsGroup& group : standings_.groups)
        for (const TStandingsEntry& entry : group.entries) {
            ++racers;
            placed += entry.Placed();
        }
    LabCounts->setText(QStringLiteral("   %1 Läufe, %2 Fahrer, %3 mit Platz")
                           .arg(runs.size())
                           .arg(racers)
                           .arg(placed));
    UpdateButtons();
}

void TStandingsWindow::FillStandings() {
    const QStringList header = StandingsHeader(settings_.Klass);
    TableStandings->clear();
    TableStandings->setColumnCount(int(header.size()));
    TableStandings->setHorizontalHeaderLabels(header);
    int rows = 0;
    for (const TStandingsGroup& group : standings_.groups)
        rows += int(group.entries.size()) + (settings_.Klass ? 1 : 0);
    TableStandings->setRowCount(rows);
    int row = 0;
    for (const TStandingsGroup& group : standings_.groups) {
        if (settings_.Klass) {
            // A heading row across the table for each class.
            auto* heading = Item(group.title);
            heading->setBackground(kHeadingColor);
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            TableStandings->setItem(row, 0, heading);
            TableStandings->setSpan(row, 0, 1, int(header.size()));
            ++row;
        }
        for (const TStandingsEntry& entry : group.entries) {
            const QStringList cells = StandingsCells(entry);
            for (int column = 0; column < cells.size(); ++column) {
                const bool number = column == StColPlace || column == StColTime ||
                                    column == StColSpeed || column == StColReaction ||
                                    column == StColRuns || column == StColHeat;
                auto* item = Item(cells[column], number ? Qt::AlignRight : Qt::AlignLeft);
                if (column == StColTime && entry.Marked()) {
                    item->setBackground(kMarkColor);
                    item->setToolTip(entry.warnings.join(u'\n'));
                }
                TableStandings->setItem(row, column, item);
            }
            ++row;
        }
    }
    TableStandings->resizeColumnsToContents();
    // The names take what room is left.
    TableStandings->horizontalHeader()->setSectionResizeMode(StColName, QHeaderView::Stretch);
}

void TStandingsWindow::FillRuns(const TRuns& runs) {
    const QStringList header = {
        QStringLiteral("Lauf"),   QStringLiteral("Uhrzeit"), QStringLiteral("Bahn"),
        QStringLiteral("St.Nr."), QStringLiteral("Name"),    QStringLiteral("Vorname"),
        QStringLiteral("RZ"),     QStringLiteral("ZZ"),      QStringLiteral("Km/h"),
        QStringLiteral("Zeit"),   QStringLiteral("Gegner"),  QStringLiteral("Ergebnis")};
    TableRuns->clear();
    TableRuns->setColumnCount(int(header.size()));
    TableRuns->setHorizontalHeaderLabels(header);
    TableRuns->setRowCount(int(runs.size()));
    for (int row = 0; row < runs.size(); ++row) {
        const TRun& run = runs[row];
        QString outcome = run.Outcome();
        if (run.voided && !run.voidReason.isEmpty())
            outcome += QStringLiteral(": ") + run.voidReason;
        const QStringList cells = {QString::number(run.heat),
                                   run.startedAt.time().toString(QStringLiteral("HH:mm:ss")),
                                   QString::number(run.lane),
                                   run.startNumber,
                                   run.name,
                                   run.firstName,
                                   run.reaction,
                                   run.intermediate,
                                   run.speed,
                                   run.finalTime,
                                   run.opponentNumber,
                                   outcome};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item =
                Item(cells[column],
                     column == 4 || column == 5 || column == 11 ? Qt::AlignLeft : Qt::AlignRight);
            item->setData(Qt::UserRole, run.id);
            if (run.voided) item->setForeground(Qt::gray);
            TableRuns->setItem(row, column, item);
        }
    }
    TableRuns->resizeColumnsToContents();
    TableRuns->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
}

std::optional<TRun> TStandingsWindow::SelectedRun() const {
    const QList<QTableWidgetItem*> selected = TableRuns->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    const qint64 id = selected.first()->data(Qt::UserRole).toLongLong();
    for (const TRun& run : runs_)
        if (run.id == id) return run;
    return std::nullopt;
}

void TStandingsWindow::UpdateButtons() {
    const bool runsTab = Tabs->currentWidget() == TableRuns;
    const std::optional<TRun> run = SelectedRun();
    bVoid->setEnabled(runsTab && run && !run->voided);
    bUnvoid->setEnabled(runsTab && run && run->voided);
    bSlip->setEnabled(runsTab && run);
}

QString TStandingsWindow::WritePage(const QString& folder) {
    const QString path = QDir(folder).absoluteFilePath(StandingsViewFileName(ProgramTitle()));
    const FileWriteResult result = WriteStandingsPage(path, standings_, ProgramTitle());
    if (!result.ok) {
        Tell(result.message);
        return {};
    }
    return path;
}

void TStandingsWindow::PrintPage() {
    // Printed as the protocol is: the page, on the default printer, without a dialog.
    const QString folder =
        QFileInfo(QDir::currentPath()).isWritable() ? QDir::currentPath() : QDir::tempPath();
    const QString path = WritePage(folder);
    if (!path.isEmpty()) PrintHtmlFile(path); // no printer: nothing happens
}

void TStandingsWindow::OpenPage() {
    const QString folder =
        QFileInfo(QDir::currentPath()).isWritable() ? QDir::currentPath() : QDir::tempPath();
    const QString path = WritePage(folder);
    if (!path.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TStandingsWindow::SaveWorkbook() {
    const QString suggested =
        QDir(QDir::homePath())
            .filePath(QStringLiteral("Wertung-") + day_.toString(QStringLiteral("yyyy-MM-dd")) +
                      QStringLiteral(".xlsx"));
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Wertung speichern"), suggested, QStringLiteral("MS Excel (*.xlsx)"));
    if (file.isEmpty()) return;
    const FileWriteResult result =
        WriteStandingsWorkbook(file, standings_, settings_.Title, ProgramTitle());
    if (!result.ok) Tell(result.message);
}

void TStandingsWindow::Tell(const QString& message) {
    QMessageBox::warning(this, windowTitle(), message);
}
