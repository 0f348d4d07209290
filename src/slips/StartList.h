#pragma once

#include <QDateTime>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

// The printable start list: every racer of the protocol on a line of their own, with the QR
// code of the racer's page, to hand out or hang at the start line.
struct TStartList {
    struct Racer {
        QString startNumber;
        QString name;
        QString firstName;
        QString classInfo;
        QString address; // the racer's page; empty: no code
    };
    QString title; // the event's
    QDateTime printedAt;
    QString classHeader; // "Klasse" or "Info", as the protocol's column says
    QList<Racer> racers;
};

// From the protocol's rows (row 0 the header): each start number once, in the protocol's order;
// rows without a start number are left out.
TStartList MakeStartList(const QList<QStringList>& rows, const QString& title,
                         const QString& pageAddress, const QDateTime& printedAt);
// A4 portrait, as the protocol is printed.
QPageLayout StartListPageLayout();
int StartListRacersPerPage();
// Paints every page; the painter is begun on the device, at kPrintResolution.
void PaintStartList(QPagedPaintDevice& device, QPainter& painter, const TStartList& list);
