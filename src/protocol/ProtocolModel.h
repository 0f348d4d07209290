#pragma once

#include "ProtocolColumns.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>

struct LaneResult;
struct TRaceSettings;

// The results protocol: a header row (row 0, its titles are data that files load and save)
// and at least one data row. Rows are addressed as in the protocol: 1 is the first data row.
// Every cell is text; rows keep the order in which they came, nothing ever sorts them.
class TProtocolModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TProtocolModel(QObject* parent = nullptr);

    static const QStringList& DefaultHeaderTexts();
    // The titles a blank header cell gets; entry 5 follows the class mode.
    QStringList HeaderTexts;

    int DataRowCount() const { return int(cells_.size()) - 1; }
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
    bool IsBlankRow(int row) const;
    // The protocol has content when row 1 carries a start number.
    bool HasContent() const;

    // First data row whose start number equals the text exactly; 0 when none.
    int FindStartRow(const QString& startNumber) const;
    // Name and first name of the row with the start number, as the displays show the rider.
    QString RiderName(int startNumber) const;
    // The row of a start number, created if needed, with its results emptied.
    int PrepareHeatRow(const QString& startNumber);
    // The lane's texts into its row; 0 (nothing written) when no row carries the number.
    int WriteLaneResult(const QString& startNumber, const LaneResult& result);
    void MarkRowCrashed(int row);
    // The row's result cells, "RZ" to "Win", as given (a run taken back), or emptied (a run
    // declared void); its marks go with them.
    void SetRowResults(int row, const QStringList& cells);
    int NextFreeStartNumber() const;
    // Numbers a new row with the next free start number; returns that row.
    int NewRow();
    // Deletes the row, or empties it when it is the only one; returns the row to select.
    int RemoveRow(int row);
    void RemoveResults();
    void ToggleJoker(int row);
    // Keeps only the rows marked "+", in their order.
    void NextRace();
    // Results emptied, the table cut to one blank data row.
    void ClearProtocol();
    void ApplyClassMode(bool klass);
    // Marks the row's time as doubtful, with the reason; a row may gather several. The time
    // itself stays. Marks go with the row's results and are never written to a file.
    void AddMark(int row, const QString& reason);
    QString Mark(int row) const;

    // Start numbers of rows 1 … 4 up to the first that is not a whole number, within 1 … 9999.
    QList<int> StartNumbersToFeed() const;

    // All rows, header first, 11 cells each: what the files write and read.
    QList<QStringList> Rows() const { return cells_; }
    // Replaces the protocol; short rows are padded, long ones cut. The header stays as given:
    // the text reader fills in missing titles, a workbook's are taken as they stand.
    void SetRows(const QList<QStringList>& rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int AppendBlankRow();
    void EmptyResults(int row);
    void EmitRowChanged(int row);
    void ResetMarks();

    QList<QStringList> cells_;
    QStringList marks_; // by row, beside cells_
};

// Column widths for a table of the given client width; -1 hides a column.
std::array<int, kProtocolColumns> ProtocolColumnWidths(const TRaceSettings& settings,
                                                       int clientWidth);
