#include "MainWindow.h"

#include "Program.h"
#include "race/LaneTimer.h"

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(ProgramTitle() + QStringLiteral(" v 1.1"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(800, 572);
    setMinimumSize(792, 488);

    FrameT1 = new TFrame1(race, 1, this);
    FrameT1->move(19, 20);
    FrameT2 = new TFrame1(race, 2, this);
    FrameT2->move(19, 159);
}
