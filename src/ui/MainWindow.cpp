#include "MainWindow.h"

#include "Program.h"
#include "protocol/SortGrid.h"
#include "race/LaneTimer.h"

#include <QEvent>

namespace {
constexpr int kTopBarHeight = 38;
constexpr int kRaceAreaHeight = 336;
} // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(ProgramTitle() + QStringLiteral(" v 1.1"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(800, 572);
    setMinimumSize(792, 488);

    FrameT1 = new TFrame1(race, 1, this);
    FrameT1->move(19, kTopBarHeight + 20);
    FrameT2 = new TFrame1(race, 2, this);
    FrameT2->move(19, kTopBarHeight + 159);

    SortGrid1 = new TSortGrid(this);
    SortGrid1->SetLanes(FrameT1, FrameT2);
    FrameT1->SetProtocol(SortGrid1);
    FrameT2->SetProtocol(SortGrid1);
    SortGrid1->ApplyClassMode(race.settings.Klass);
    // The widths follow the table's client width, which is only known once it is laid out.
    SortGrid1->viewport()->installEventFilter(this);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SortGrid1->viewport() && event->type() == QEvent::Resize) FormResize();
    return QWidget::eventFilter(watched, event);
}

void TFormMain::FormResize() {
    const auto widths = ProtocolColumnWidths(race.settings, SortGrid1->viewport()->width());
    for (int column = 0; column < kProtocolColumns; ++column)
        SortGrid1->SetColumnWidth(column, widths[column]);
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int top = kTopBarHeight + kRaceAreaHeight;
    SortGrid1->setGeometry(0, top, width(), height() - top);
}
