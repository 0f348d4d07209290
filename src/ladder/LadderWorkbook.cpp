#include "LadderWorkbook.h"

#include "LadderText.h"
#include "base/Program.h"
#include "export/ExcelExport.h"

namespace {

ExcelSheet PairingsSheet(const TLadder& ladder) {
    ExcelSheet sheet;
    sheet.name = QStringLiteral("Paarungen");
    // Paarung and Setzplatz are numbers, so that the rows sort back into place.
    sheet.numberColumns = {1, 2};
    sheet.rows.append(QStringList{QStringLiteral("Runde"), QStringLiteral("Paarung")} +
                      LadderPlaceHeader());
    for (const TLadderRound& round : LadderRoundsShown(ladder))
        for (const TLadderPairing& pairing : round.pairings)
            for (const int place : {kUpper, kLower})
                sheet.rows.append(QStringList{round.name, QString::number(pairing.slot + 1)} +
                                  LadderPlaceCells(LadderPlaceView(ladder, pairing, place)));
    return sheet;
}

ExcelSheet PlacesSheet(const TLadder& ladder) {
    ExcelSheet sheet;
    sheet.name = QStringLiteral("Platzierung");
    sheet.numberColumns = {0, 4};
    sheet.rows.append({QStringLiteral("Platz"), QStringLiteral("St.Nr."), QStringLiteral("Name"),
                       QStringLiteral("Vorname"), QStringLiteral("Setzplatz")});
    for (const TLadderEntrant& racer : LadderPlaces(ladder))
        sheet.rows.append({QString::number(racer.place), racer.startNumber, racer.name,
                           racer.firstName, QString::number(racer.seed)});
    return sheet;
}

ExcelSheet FieldSheet(const TLadder& ladder) {
    ExcelSheet sheet;
    // "Feld (Auslosung Nr. 999999)" is well within a sheet name's 31 characters.
    sheet.name = ExcelSheetName(QStringLiteral("Feld (%1)").arg(LadderSourceText(ladder)),
                                QStringLiteral("Feld"));
    sheet.numberColumns = {0, 7};
    sheet.rows.append({QStringLiteral("Setzplatz"), QStringLiteral("St.Nr."),
                       QStringLiteral("Name"), QStringLiteral("Vorname"), QStringLiteral("Roller"),
                       QStringLiteral("Motor"), QStringLiteral("Klasse"), QStringLiteral("Wertung"),
                       QStringLiteral("Zeit")});
    for (const TLadderEntrant& racer : ladder.field)
        sheet.rows.append({QString::number(racer.seed), racer.startNumber, racer.name,
                           racer.firstName, racer.vehicle, racer.engine, racer.classInfo,
                           racer.standingsPlace ? QString::number(racer.standingsPlace) : QString(),
                           racer.time});
    return sheet;
}

} // namespace

QString SaveLadderWorkbook(const TLadder& ladder, const QString& title, const QString& path) {
    QString error;
    const QString eventTitle = title.trimmed().isEmpty()
                                   ? LadderTitle(ladder)
                                   : title + QStringLiteral(" – ") + LadderTitle(ladder);
    const std::optional<QByteArray> bytes =
        ExcelSheetsBytes({PairingsSheet(ladder), PlacesSheet(ladder), FieldSheet(ladder)},
                         eventTitle, ProgramTitle(), &error);
    if (!bytes) return error;
    const FileWriteResult written = SaveFileBytes(path, *bytes);
    if (written.ok) return {};
    return written.message.isEmpty() ? WriteErrorText(path) : written.message;
}
