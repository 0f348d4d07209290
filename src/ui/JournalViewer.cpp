#include "JournalViewer.h"

#include "export/Journal.h"
#include "race/HighResTimer.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QColor kWarned(0xFF, 0xD8, 0x90);
const QColor kEdited(0xC8, 0xDC, 0xFF);

QString ClockOf(const QStringList& line) {
    return line[JfTime].mid(11); // the day is the file's
}

QString LineName(const QString& name) {
    if (name == QStringLiteral("CTS")) return QStringLiteral("Ampel (CTS)");
    if (name == QStringLiteral("DCD")) return QStringLiteral("Bahn 1 (DCD)");
    if (name == QStringLiteral("DSR")) return QStringLiteral("Bahn 2 (DSR)");
    return name;
}

QString Cells(const QStringList& line) {
    static const char* const names[5] = {"RZ", "ZZ", "Km/h", "Zeit", "Win"};
    QStringList parts;
    for (int i = 0; i < 5; ++i)
        if (!line[JfReaction + i].isEmpty())
            parts << QLatin1String(names[i]) + u' ' + line[JfReaction + i];
    return parts.join(QStringLiteral("   "));
}

QString EventText(const QStringList& line) {
    const QString& kind = line[JfKind];
    if (kind == TJournal::kLine)
        return LineName(line[JfName]) + (line[JfLevel] == QStringLiteral("1")
                                             ? QStringLiteral(" ein")
                                             : QStringLiteral(" aus"));
    if (kind == TJournal::kCommand)
        return line[JfName] + QStringLiteral(" (") + line[JfSource] + u')';
    if (kind == TJournal::kResult) return QStringLiteral("Ergebnis");
    if (kind == TJournal::kWarning) return QStringLiteral("Warnung: ") + line[JfName];
    return QStringLiteral("Port ") + line[JfName];
}

QString Values(const QStringList& line) {
    if (line[JfKind] == TJournal::kLine) {
        const int folded = line[JfFolded].toInt();
        // Whole pulses between two reads of the lines, which the levels alone do not show.
        QString text = folded == 1 ? QStringLiteral("1 Impuls dazwischen")
                       : folded    ? QStringLiteral("%1 Impulse dazwischen").arg(folded)
                                   : QString();
        if (!line[JfText].isEmpty()) text += (text.isEmpty() ? QString() : "; ") + line[JfText];
        return text;
    }
    const QString cells = Cells(line);
    if (cells.isEmpty()) return line[JfText];
    return line[JfText].isEmpty() ? cells : cells + QStringLiteral("   ") + line[JfText];
}

QTreeWidgetItem* LineItem(const QStringList& line, qint64 startTicks) {
    auto* item = new QTreeWidgetItem;
    item->setText(TJournalViewer::ColClock, ClockOf(line));
    if (startTicks)
        item->setText(TJournalViewer::ColSinceStart,
                      TicksToText(line[JfTicks].toLongLong() - startTicks));
    item->setText(TJournalViewer::ColEvent, EventText(line));
    item->setText(TJournalViewer::ColLane, line[JfLane]);
    item->setText(TJournalViewer::ColStartNr, line[JfStartNr]);
    item->setText(TJournalViewer::ColValues, Values(line));
    item->setToolTip(TJournalViewer::ColValues, Values(line));
    if (line[JfKind] == TJournal::kWarning)
        for (int column = 0; column <= TJournalViewer::ColValues; ++column)
            item->setBackground(column, kWarned);
    return item;
}

} // namespace

TJournalViewer::TJournalViewer(TJournal& journal, const QString& programTitle, QWidget* parent)
    : QDialog(parent), journal_(journal), title_(programTitle) {
    setWindowTitle(QStringLiteral("Rennjournal"));
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Tag:"), this));
    cbDay = new QComboBox(this);
    cbDay->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    top->addWidget(cbDay);
    bRefresh = new QPushButton(QStringLiteral("Aktualisieren"), this);
    top->addWidget(bRefresh);
    top->addStretch();
    column->addLayout(top);

    Heats = new QTreeWidget(this);
    Heats->setHeaderLabels({QStringLiteral("Uhrzeit"), QStringLiteral("seit START"),
                            QStringLiteral("Ereignis"), QStringLiteral("Bahn"),
                            QStringLiteral("St.Nr."), QStringLiteral("Werte")});
    Heats->setRootIsDecorated(true);
    Heats->setUniformRowHeights(true);
    Heats->setAlternatingRowColors(true);
    Heats->header()->setStretchLastSection(true);
    column->addWidget(Heats);

    LabMessage = new QLabel(this);
    LabMessage->setWordWrap(true);
    LabMessage->hide();
    column->addWidget(LabMessage);

    bClose = new QPushButton(QStringLiteral("Schließen"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(bClose);
    column->addLayout(bottom);
    resize(900, 560);

    connect(bClose, &QPushButton::clicked, this, &QDialog::close);
    connect(bRefresh, &QPushButton::clicked, this, &TJournalViewer::Refresh);
    connect(cbDay, &QComboBox::activated, this,
            [this] { ShowFile(cbDay->currentData().toString()); });
}

void TJournalViewer::Refresh() {
    // What was recorded a moment ago is in the file first.
    journal_.Flush();
    const QString today = journal_.FilePath();
    const QString chosen = cbDay->currentData().toString();
    QStringList files = JournalFiles(QFileInfo(today).absolutePath(), title_);
    if (!files.contains(today)) files.prepend(today);
    cbDay->clear();
    for (const QString& file : files) {
        // "<title>-Journal-" and ".txt" around the day.
        const QString name = QFileInfo(file).completeBaseName();
        cbDay->addItem(name.right(10), file);
    }
    const int index = cbDay->findData(chosen.isEmpty() ? today : chosen);
    cbDay->setCurrentIndex(std::max(index, 0));
    ShowFile(cbDay->currentData().toString());
}

QTreeWidgetItem* TJournalViewer::HeatItem(const TJournalHeat& heat) {
    auto* item = new QTreeWidgetItem;
    item->setText(ColClock, ClockOf(heat.start));
    item->setText(ColEvent,
                  QStringLiteral("Lauf %1: START (%2)").arg(heat.number).arg(heat.start[JfSource]));
    item->setText(ColStartNr, heat.startNumbers[1] + QStringLiteral(" / ") + heat.startNumbers[2]);
    QFont bold = item->font(ColEvent);
    bold.setBold(true);
    for (int column = 0; column <= ColValues; ++column)
        item->setFont(column, bold);

    QStringList summary;
    int warnings = 0;
    for (const QStringList& line : heat.events) {
        item->addChild(LineItem(line, heat.startTicks));
        if (line[JfKind] == TJournal::kWarning) ++warnings;
        if (line[JfKind] == TJournal::kResult)
            summary << QStringLiteral("Bahn %1: %2%3")
                           .arg(line[JfLane], line[JfFinalTime],
                                line[JfWin].isEmpty() ? QString() : u' ' + line[JfWin]);
    }
    for (const QStringList& edit : heat.edits) {
        QTreeWidgetItem* child = LineItem(edit, 0);
        child->setText(ColEvent, QStringLiteral("von Hand: ") + EventText(edit));
        for (int column = 0; column <= ColValues; ++column)
            child->setBackground(column, kEdited);
        item->addChild(child);
    }
    if (warnings) summary << QStringLiteral("%1 × Warnung").arg(warnings);
    if (!heat.edits.isEmpty()) summary << QStringLiteral("von Hand geändert");
    item->setText(ColValues, summary.join(QStringLiteral("   ")));
    const QColor colour = warnings ? kWarned : !heat.edits.isEmpty() ? kEdited : QColor();
    if (colour.isValid())
        for (int column = 0; column <= ColValues; ++column)
            item->setBackground(column, colour);
    return item;
}

void TJournalViewer::ShowFile(const QString& fileName) {
    Heats->clear();
    LabMessage->hide();
    if (!QFileInfo::exists(fileName)) {
        LabMessage->setText(QStringLiteral("Für diesen Tag gibt es noch kein Rennjournal."));
        LabMessage->show();
        return;
    }
    const TJournalRead read = ReadJournal(fileName);
    if (!read.ok) {
        LabMessage->setText(read.message);
        LabMessage->show();
        return;
    }
    QTreeWidgetItem* last = nullptr;
    for (const TJournalItem& entry : JournalItems(read.lines)) {
        QTreeWidgetItem* item = entry.isHeat ? HeatItem(entry.heat) : LineItem(entry.line, 0);
        Heats->addTopLevelItem(item);
        if (entry.isHeat) last = item;
    }
    if (last) {
        last->setExpanded(true);
        Heats->scrollToItem(last);
    }
    for (int column = 0; column < ColValues; ++column)
        Heats->resizeColumnToContents(column);
}
