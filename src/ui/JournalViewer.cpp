#include "JournalViewer.h"

#include "export/Journal.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

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

    Heats = new QTreeView(this);
    model_ = new TJournalModel(this); // after the view, which is deleted before it
    Heats->setModel(model_);
    Heats->setRootIsDecorated(true);
    Heats->setUniformRowHeights(true);
    Heats->setAlternatingRowColors(true);
    Heats->header()->setStretchLastSection(true);
    // Column widths from the rows in view only: measuring a long day would hold up the clocks.
    Heats->header()->setResizeContentsPrecision(0);
    column->addWidget(Heats);

    pbRead = new QProgressBar(this);
    pbRead->setRange(0, 100);
    pbRead->setFormat(QStringLiteral("Rennjournal wird gelesen … %p %"));
    pbRead->hide();
    column->addWidget(pbRead);

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
    connect(&loader_, &TJournalLoader::Progress, pbRead, &QProgressBar::setValue);
    connect(&loader_, &TJournalLoader::Loaded, this, [this](const TJournalDay& day) {
        pbRead->hide();
        ShowDay(day);
        emit DayShown();
    });
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

void TJournalViewer::done(int result) {
    loader_.Cancel();
    loader_.Discard(model_->TakeDay());
    pbRead->hide();
    QDialog::done(result);
}

void TJournalViewer::ShowMessage(const QString& text) {
    LabMessage->setText(text);
    LabMessage->setVisible(!text.isEmpty());
}

void TJournalViewer::ShowFile(const QString& fileName) {
    ShowMessage({});
    if (!QFileInfo::exists(fileName)) {
        loader_.Cancel();
        loader_.Discard(model_->TakeDay());
        pbRead->hide();
        ShowMessage(QStringLiteral("Für diesen Tag gibt es noch kein Rennjournal."));
        emit DayShown();
        return;
    }
    pbRead->setValue(0);
    pbRead->show();
    loader_.Load(fileName, limits_, model_->TakeDay());
}

void TJournalViewer::ShowDay(const TJournalDay& day) {
    if (!day.ok) {
        ShowMessage(day.message);
        return;
    }
    model_->SetDay(day);
    QStringList notes;
    if (day.skipped == 1)
        notes << QStringLiteral("1 Zeile übersprungen (zu lang oder unlesbar).");
    else if (day.skipped)
        notes << QStringLiteral("%1 Zeilen übersprungen (zu lang oder unlesbar).")
                     .arg(QLocale().toString(day.skipped));
    if (!day.cutAfter.isEmpty())
        notes << QStringLiteral("Das Rennjournal ist zu groß; gezeigt ist es bis %1.")
                     .arg(day.cutAfter.mid(11));
    ShowMessage(notes.join(u' '));
    if (const QModelIndex last = model_->LastHeat(); last.isValid()) {
        Heats->expand(last);
        Heats->scrollTo(last);
    }
    for (int column = 0; column < TJournalModel::ColValues; ++column)
        Heats->resizeColumnToContents(column);
}
