#include "LineTestDialog.h"

#include "base/HighResTimer.h"
#include "serial/ComPort.h"
#include "widgets/Led.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QColor kFired(0xC8, 0xF0, 0xC8);
const QColor kDoubtful(0xFF, 0xD0, 0x80);
const QColor kMissing(0xFF, 0xB0, 0xB0);

} // namespace

TLineTestDialog::TLineTestDialog(TComPort& port, const THighResTimer& timeBase,
                                 const TBarrierLayout& layout, QWidget* parent)
    : QDialog(parent), port_(port), timeBase_(timeBase), layout_(layout) {
    setWindowTitle(QStringLiteral("Lichtschranken-Test"));
    auto* column = new QVBoxLayout(this);

    LabAdapter = new QLabel(this);
    LabAdapter->setWordWrap(true);
    column->addWidget(LabAdapter);

    auto* lines = new QGridLayout;
    const QString names[3] = {QStringLiteral("Ampel-Kontakt (7+8)"), QStringLiteral("Bahn 1 (1+4)"),
                              QStringLiteral("Bahn 2 (4+6)")};
    for (int i = 0; i < 3; ++i) {
        LedLine[i] = new TLed(this);
        LedLine[i]->SetKind(lkGreen);
        LedLine[i]->setFixedSize(16, 16);
        LabLevel[i] = new QLabel(this);
        LedLine[i]->SetLabelOnText(QStringLiteral("Ein"));
        LedLine[i]->SetLabelOffText(QStringLiteral("Aus"));
        LedLine[i]->SetLabelLinked(LabLevel[i]);
        LabEdges[i] = new QLabel(this);
        lines->addWidget(LedLine[i], i, 0);
        lines->addWidget(new QLabel(names[i], this), i, 1);
        lines->addWidget(LabLevel[i], i, 2);
        lines->addWidget(LabEdges[i], i, 3);
    }
    lines->setColumnStretch(1, 1);
    lines->setColumnStretch(3, 1);
    column->addLayout(lines);

    auto* walkButtons = new QHBoxLayout;
    bWalk = new QPushButton(QStringLiteral("Strecke abgehen"), this);
    bWalk->setToolTip(QStringLiteral("Jede Lichtschranke von Bahn 1 vom Start bis zum Stopp "
                                     "auslösen, dann die von Bahn 2"));
    bSkip = new QPushButton(QStringLiteral("Überspringen"), this);
    bSkip->setToolTip(QStringLiteral("Die erwartete Lichtschranke hat nicht ausgelöst"));
    walkButtons->addWidget(bWalk);
    walkButtons->addWidget(bSkip);
    walkButtons->addStretch();
    column->addLayout(walkButtons);

    WalkSteps = new QTableWidget(0, 4, this);
    WalkSteps->setHorizontalHeaderLabels({QStringLiteral("Bahn"), QStringLiteral("Lichtschranke"),
                                          QStringLiteral("Zeit"), QStringLiteral("Stand")});
    WalkSteps->verticalHeader()->hide();
    WalkSteps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    WalkSteps->setSelectionMode(QAbstractItemView::NoSelection);
    WalkSteps->horizontalHeader()->setStretchLastSection(true);
    // Room for both lanes' four barriers and the header.
    const int rowHeight = fontMetrics().height() + 6;
    WalkSteps->verticalHeader()->setDefaultSectionSize(rowHeight);
    WalkSteps->setMinimumHeight(rowHeight * 8 + WalkSteps->horizontalHeader()->sizeHint().height() +
                                2 * WalkSteps->frameWidth() + 2);
    column->addWidget(WalkSteps);

    LabFindings = new QLabel(this);
    LabFindings->setWordWrap(true);
    column->addWidget(LabFindings);

    bClose = new QPushButton(QStringLiteral("Schließen"), this);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(bClose);
    column->addLayout(closeRow);
    resize(460, sizeHint().height());

    connect(bClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(bWalk, &QPushButton::clicked, this, [this] {
        walk_.Begin(layout_, timeBase_.NowTicks());
        ShowWalk();
    });
    connect(bSkip, &QPushButton::clicked, this, [this] {
        walk_.Skip();
        ShowWalk();
    });
    connect(&port_, &TComPort::OnLineEvent, this,
            [this](TComPort* sender) { LineEvent(sender->LastEvent()); });
    for (auto signal : {&TComPort::OnOpen, &TComPort::OnClose, &TComPort::OnConditionChanged})
        connect(&port_, signal, this, &TLineTestDialog::ShowAdapter);

    ShowAdapter();
    ShowLevels(port_.ModemStatus());
    ShowWalk();
}

void TLineTestDialog::ShowAdapter() {
    if (!port_.Connected()) {
        LabAdapter->setText(QStringLiteral("Kein Port geöffnet: erst einen Port wählen und mit "
                                           "„OK“ übernehmen."));
        bWalk->setEnabled(false);
        return;
    }
    const TPortCondition& condition = port_.Condition();
    QStringList parts{ComPortDisplayName(port_.Port(), condition.product)};
    parts << (condition.latencyMs >= 0 ? QStringLiteral("Latenz %1 ms").arg(condition.latencyMs)
                                       : QStringLiteral("ohne Latenz-Timer"));
    parts << (condition.polled ? QStringLiteral("fragt die Leitungen jede Millisekunde ab")
                               : QStringLiteral("wartet auf Änderungen"));
    LabAdapter->setText(parts.join(QStringLiteral(" · ")));
    bWalk->setEnabled(true);
}

void TLineTestDialog::ShowLevels(quint32 status) {
    for (int i = 0; i < 3; ++i) {
        LedLine[i]->SetValue(status & kLines[i]);
        LabEdges[i]->setText(QStringLiteral("Flanken: %1").arg(edges_[i]));
    }
}

void TLineTestDialog::LineEvent(const TComLineEvent& event) {
    for (int i = 0; i < 3; ++i) {
        const quint32 line = kLines[i];
        if (!(event.changed & line)) continue;
        const quint32 folded = FoldedPulses(event.folded, line);
        // A level that changed is one edge; each pulse between two reads two more.
        const bool levelChanged = bool(event.status & line) != LedLine[i]->Value();
        edges_[i] += (levelChanged ? 1 : 0) + 2 * folded;
        if (i == 0) continue;
        const int rises = ((event.status & line) && levelChanged ? 1 : 0) + int(folded);
        for (int r = 0; r < rises; ++r)
            walk_.Pulse(i, event.ticks);
    }
    ShowLevels(event.status);
    ShowWalk();
}

void TLineTestDialog::ShowWalk() {
    const QList<TTrackWalk::TStep>& steps = walk_.Steps();
    const int expected = walk_.Expected();
    WalkSteps->setRowCount(int(steps.size()));
    for (int row = 0; row < steps.size(); ++row) {
        const TTrackWalk::TStep& step = steps[row];
        QString time, state;
        QColor colour = Qt::white;
        switch (step.state) {
        case TTrackWalk::TState::Fired:
            time = TicksToText(step.ticks - walk_.BeganAt()) + QStringLiteral(" s");
            state = step.early ? QStringLiteral("vor Bahn 1") : QStringLiteral("ausgelöst");
            if (step.repeats) state += QStringLiteral(", %1 × mehrfach").arg(step.repeats);
            colour = step.early ? kDoubtful : kFired;
            break;
        case TTrackWalk::TState::Missing:
            state = QStringLiteral("nicht ausgelöst");
            colour = kMissing;
            break;
        case TTrackWalk::TState::Waiting:
            state = row == expected ? QStringLiteral("als Nächstes") : QStringLiteral("wartet");
            break;
        }
        const QString cells[4] = {QString::number(step.lane), BarrierName(step.barrier), time,
                                  state};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setBackground(colour);
            if (row == expected) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            WalkSteps->setItem(row, c, item);
        }
    }
    for (int c = 0; c < 3; ++c)
        WalkSteps->resizeColumnToContents(c);
    bSkip->setEnabled(walk_.Walking() && expected >= 0);
    LabFindings->setText(walk_.Walking()
                             ? walk_.Findings().join(u'\n')
                             : QStringLiteral("„Strecke abgehen“ drücken, dann jede Lichtschranke "
                                              "von Bahn 1 vom Start bis zum Stopp auslösen, "
                                              "danach die von Bahn 2."));
}
