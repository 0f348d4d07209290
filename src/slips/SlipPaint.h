#pragma once

#include "Slip.h"
#include "race/RaceSettings.h"

#include <QFont>
#include <QPageLayout>
#include <QRectF>

class QPainter;
class QPaintDevice;

// The resolution slips and start lists are rendered at, dots per inch.
inline constexpr int kPrintResolution = 600;

// The page a slip needs: the roll's width with the length its content takes, or A6 portrait.
// The margins are the slip's own, so the layout's are none.
QPageLayout SlipPageLayout(const TSlip& slip, TSlipPaper paper);
// Paints the slip on a page of that layout; the painter's device is the page at
// kPrintResolution.
void PaintSlip(QPainter& painter, const TSlip& slip, TSlipPaper paper);

// The printed texts' font, "Arial" (Liberation Sans on Linux).
QFont PrintFont(double points, bool bold = false);
// The text as a QR code of black squares in the square at topLeft, sizeMm wide including the
// quiet zone; false (and nothing painted) when it cannot be encoded. dotsPerMm: the device's.
bool PaintQrCode(QPainter& painter, const QString& text, QPointF topLeft, double sizeMm,
                 double dotsPerMm);
