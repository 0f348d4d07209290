#include "StandingsWorkbook.h"

#include "export/ExcelExport.h"

namespace {

const QString kSingleSheet = QStringLiteral("Wertung");

} // namespace

std::optional<QByteArray> StandingsWorkbookBytes(const TStandings& standings,
                                                 const QString& eventTitle,
                                                 const QString& programTitle, QString* error) {
    QList<TStandingsGroup> groups = standings.groups;
    // No runs in any class yet: one sheet with the columns alone.
    if (groups.isEmpty()) groups.append(TStandingsGroup());
    QStringList titles;
    for (const TStandingsGroup& group : groups)
        titles.append(group.title.isEmpty() ? kSingleSheet : group.title);
    const QStringList names = ExcelSheetNames(titles, kSingleSheet);

    const QStringList header = StandingsHeader(standings.Klass);
    QList<ExcelSheet> sheets;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        ExcelSheet sheet;
        sheet.name = names[g];
        sheet.numberColumns = {StColPlace, StColRuns, StColHeat};
        sheet.rows.reserve(groups[g].entries.size() + 1);
        sheet.rows.append(header);
        for (const TStandingsEntry& entry : groups[g].entries) {
            if (entry.Marked())
                sheet.notes.append(
                    {int(sheet.rows.size()), StColTime, entry.warnings.join(QStringLiteral("\n"))});
            sheet.rows.append(StandingsCells(entry));
        }
        sheets.append(std::move(sheet));
    }
    return ExcelSheetsBytes(sheets, eventTitle, programTitle, error);
}

FileWriteResult WriteStandingsWorkbook(const QString& fileName, const TStandings& standings,
                                       const QString& eventTitle, const QString& programTitle) {
    QString error;
    const std::optional<QByteArray> bytes =
        StandingsWorkbookBytes(standings, eventTitle, programTitle, &error);
    if (!bytes) return {false, error};
    return SaveFileBytes(fileName, *bytes);
}
