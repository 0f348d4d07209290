#include "StartList.h"

#include "Slip.h"
#include "SlipPaint.h"
#include "protocol/ProtocolColumns.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QSet>

#include <algorithm>

namespace {

constexpr double kDotsPerMm = kPrintResolution / 25.4;
constexpr double kLeft = 15, kRight = 195, kTop = 12, kPageHeight = 297, kBottom = 12;
constexpr double kHeaderHeight = 26;
constexpr double kRowHeight = 29;
constexpr double kQrMm = 26; // with its quiet zone: a phone reads it from an arm's length

struct Column {
    const char* title;
    double left;
    double width;
    double points;
    bool bold;
};
// St.Nr., Name, Vorname, the class or info; the QR code fills the rest at the right.
constexpr Column kColumns[] = {{"St.Nr.", kLeft, 20, 18, true},
                               {"Name", 37, 52, 13, true},
                               {"Vorname", 91, 40, 13, false},
                               {nullptr, 133, 32, 11, false}};

QRectF Mm(double left, double top, double width, double height) {
    return {left * kDotsPerMm, top * kDotsPerMm, width * kDotsPerMm, height * kDotsPerMm};
}

void Write(QPainter& painter, const QRectF& mm, const QString& text, double points, bool bold,
           int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap) {
    painter.setFont(PrintFont(points, bold));
    painter.drawText(Mm(mm.x(), mm.y(), mm.width(), mm.height()), flags, text);
}

void PaintHeader(QPainter& painter, const TStartList& list, int page, int pages) {
    Write(painter, {kLeft, kTop, 110, 9}, QStringLiteral("Startliste"), 18, true);
    Write(painter, {kLeft, kTop + 9, 120, 7}, list.title, 11, false);
    const int right = Qt::AlignRight | Qt::AlignTop;
    Write(painter, {kRight - 60, kTop + 1, 60, 6},
          list.printedAt.toString(QStringLiteral("dd.MM.yyyy  HH:mm")), 9, false, right);
    Write(painter, {kRight - 60, kTop + 7, 60, 6},
          QStringLiteral("Seite %1 von %2").arg(page).arg(pages), 9, false, right);
    const double y = kTop + kHeaderHeight - 6;
    for (const Column& column : kColumns) {
        const QString title = column.title ? QString::fromLatin1(column.title) : list.classHeader;
        Write(painter, {column.left, y, column.width, 5}, title, 9, true);
    }
    Write(painter, {kRight - kQrMm, y, kQrMm, 5}, QStringLiteral("Ergebnisse"), 9, true,
          Qt::AlignHCenter | Qt::AlignTop);
    painter.setPen(QPen(Qt::black, 0.4 * kDotsPerMm));
    painter.drawLine(QPointF(kLeft, y + 5.5) * kDotsPerMm, QPointF(kRight, y + 5.5) * kDotsPerMm);
}

void PaintRacer(QPainter& painter, const TStartList::Racer& racer, double top) {
    const QString cells[] = {racer.startNumber, racer.name, racer.firstName, racer.classInfo};
    for (int c = 0; c < 4; ++c) {
        const Column& column = kColumns[c];
        Write(painter, {column.left, top + 2, column.width, kRowHeight - 9}, cells[c],
              column.points, column.bold);
    }
    if (!racer.address.isEmpty()) {
        PaintQrCode(painter, racer.address, QPointF(kRight - kQrMm, top + 1.5) * kDotsPerMm, kQrMm,
                    kDotsPerMm);
        Write(painter, {kColumns[1].left, top + kRowHeight - 7, 125, 5}, racer.address, 8, false);
    }
    painter.setPen(QPen(Qt::gray, 0.2 * kDotsPerMm));
    const double bottom = top + kRowHeight;
    painter.drawLine(QPointF(kLeft, bottom) * kDotsPerMm, QPointF(kRight, bottom) * kDotsPerMm);
    painter.setPen(Qt::black);
}

} // namespace

TStartList MakeStartList(const QList<QStringList>& rows, const QString& title,
                         const QString& pageAddress, const QDateTime& printedAt) {
    TStartList list;
    list.title = title;
    list.printedAt = printedAt;
    list.classHeader = rows.isEmpty() ? QStringLiteral("Info") : rows.first().value(ColClass);
    QSet<QString> listed;
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        const QString number = row.value(ColStartNr).trimmed();
        if (number.isEmpty() || listed.contains(number)) continue;
        listed.insert(number);
        list.racers.append({number, row.value(ColName), row.value(ColFirstName),
                            row.value(ColClass), RacerAddress(pageAddress, number)});
    }
    return list;
}

QPageLayout StartListPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
}

int StartListRacersPerPage() {
    return int((kPageHeight - kTop - kBottom - kHeaderHeight) / kRowHeight);
}

void PaintStartList(QPagedPaintDevice& device, QPainter& painter, const TStartList& list) {
    const int perPage = StartListRacersPerPage();
    const int pages = std::max(1, int((list.racers.size() + perPage - 1) / perPage));
    painter.setPen(Qt::black);
    for (int page = 0; page < pages; ++page) {
        if (page > 0) device.newPage();
        PaintHeader(painter, list, page + 1, pages);
        painter.setPen(Qt::black);
        const qsizetype first = qsizetype(page) * perPage;
        const qsizetype end = std::min(first + perPage, list.racers.size());
        for (qsizetype i = first; i < end; ++i)
            PaintRacer(painter, list.racers[i], kTop + kHeaderHeight + (i - first) * kRowHeight);
    }
}
