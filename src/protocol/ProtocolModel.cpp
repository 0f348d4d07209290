#include "ProtocolModel.h"

#include "race/LaneResult.h"
#include "race/RaceSettings.h"

#include <QColor>
#include <QRegularExpression>

#include <algorithm>

namespace {

QStringList BlankRow() {
    return QStringList(kProtocolColumns, QString());
}

const QString kMark = QStringLiteral("+");
const QString kDash = QStringLiteral("-");

} // namespace

TProtocolModel::TProtocolModel(QObject* parent)
    : QAbstractTableModel(parent), HeaderTexts(DefaultHeaderTexts()) {
    cells_ = {HeaderTexts, BlankRow()};
    ResetMarks();
}

void TProtocolModel::ResetMarks() {
    marks_ = QStringList(cells_.size(), QString());
}

void TProtocolModel::AddMark(int row, const QString& reason) {
    if (row < 1 || row > DataRowCount() || reason.isEmpty()) return;
    QString& mark = marks_[row];
    if (!mark.split(u'\n').contains(reason))
        mark += (mark.isEmpty() ? QString() : QStringLiteral("\n")) + reason;
    emit dataChanged(index(row - 1, ColTime), index(row - 1, ColTime));
}

QString TProtocolModel::Mark(int row) const {
    return row >= 1 && row < marks_.size() ? marks_[row] : QString();
}

const QStringList& TProtocolModel::DefaultHeaderTexts() {
    static const QStringList texts = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                                      "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
    return texts;
}

QString TProtocolModel::Cell(int row, int column) const {
    if (row < 0 || row >= cells_.size() || column < 0 || column >= kProtocolColumns) return {};
    return cells_[row][column];
}

void TProtocolModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= cells_.size() || column < 0 || column >= kProtocolColumns) return;
    if (cells_[row][column] == text) return;
    cells_[row][column] = text;
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, column, column);
    else
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

bool TProtocolModel::IsBlankRow(int row) const {
    if (row < 1 || row > DataRowCount()) return false;
    return std::all_of(cells_[row].begin(), cells_[row].end(),
                       [](const QString& cell) { return cell.isEmpty(); });
}

bool TProtocolModel::HasContent() const {
    return DataRowCount() >= 1 && !Cell(1, ColStartNr).isEmpty();
}

int TProtocolModel::FindStartRow(const QString& startNumber) const {
    for (int row = 1; row <= DataRowCount(); ++row)
        if (cells_[row][ColStartNr] == startNumber) return row;
    return 0;
}

int TProtocolModel::AppendBlankRow() {
    const int row = int(cells_.size());
    beginInsertRows({}, row - 1, row - 1);
    cells_.append(BlankRow());
    marks_.append(QString());
    endInsertRows();
    return row;
}

void TProtocolModel::EmitRowChanged(int row) {
    emit dataChanged(index(row - 1, 0), index(row - 1, kProtocolColumns - 1));
}

void TProtocolModel::EmptyResults(int row) {
    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
        cells_[row][column].clear();
    marks_[row].clear();
}

void TProtocolModel::SetRowResults(int row, const QStringList& cells) {
    if (row < 1 || row >= cells_.size()) return;
    EmptyResults(row);
    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
        cells_[row][column] = cells.value(column - kFirstResultColumn);
    EmitRowChanged(row);
}

int TProtocolModel::PrepareHeatRow(const QString& startNumber) {
    int row = FindStartRow(startNumber);
    if (!row) {
        // A fresh protocol's single row is used with whatever participant data it holds.
        if (DataRowCount() == 1 && cells_[1][ColStartNr].isEmpty())
            row = 1;
        else
            row = AppendBlankRow();
    }
    EmptyResults(row);
    cells_[row][ColStartNr] = startNumber;
    EmitRowChanged(row);
    return row;
}

int TProtocolModel::WriteLaneResult(const QString& startNumber, const LaneResult& result) {
    const int row = FindStartRow(startNumber);
    if (!row) return 0;
    QStringList& cells = cells_[row];
    if (result.marked) {
        // A false start declared after the lane's own stop takes back what that stop wrote,
        // its winner mark included: a heat never has two.
        for (const int column : {ColReaction, ColIntermediate, ColSpeed, ColWin})
            cells[column].clear();
        cells[ColTime] = kDash;
    } else {
        if (!result.reaction.isEmpty()) cells[ColReaction] = result.reaction;
        if (!result.intermediate.isEmpty()) cells[ColIntermediate] = result.intermediate;
        cells[ColSpeed] = result.speed;
        cells[ColTime] = result.finalTime;
        if (result.first) cells[ColWin] = kMark;
    }
    EmitRowChanged(row);
    return row;
}

void TProtocolModel::MarkRowCrashed(int row) {
    if (row < 1 || row > DataRowCount()) return;
    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
        cells_[row][column] = kDash;
    EmitRowChanged(row);
}

int TProtocolModel::NextFreeStartNumber() const {
    int n = 1;
    // 301 is handed out even when taken: the search stops there.
    while (n < 301) {
        const QString text = QString::number(n);
        const bool taken = std::any_of(cells_.begin(), cells_.end(), [&](const QStringList& row) {
            return row[ColStartNr] == text;
        });
        if (!taken) break;
        ++n;
    }
    return n;
}

int TProtocolModel::NewRow() {
    const int n = NextFreeStartNumber();
    const int last = DataRowCount();
    const int row = IsBlankRow(last) ? last : AppendBlankRow();
    SetCell(row, ColStartNr, QString::number(n));
    return row;
}

int TProtocolModel::RemoveRow(int row) {
    if (row < 1 || row > DataRowCount()) return std::min(std::max(row, 1), DataRowCount());
    if (DataRowCount() > 1) {
        beginRemoveRows({}, row - 1, row - 1);
        cells_.removeAt(row);
        marks_.removeAt(row);
        endRemoveRows();
        return DataRowCount();
    }
    cells_[1] = BlankRow();
    marks_[1].clear();
    EmitRowChanged(1);
    return 1;
}

void TProtocolModel::RemoveResults() {
    for (int row = 1; row <= DataRowCount(); ++row)
        EmptyResults(row);
    emit dataChanged(index(0, kFirstResultColumn), index(DataRowCount() - 1, kProtocolColumns - 1));
}

void TProtocolModel::ToggleJoker(int row) {
    if (row < 1 || row > DataRowCount()) return;
    SetCell(row, ColWin, Cell(row, ColWin) == kMark ? QString() : kMark);
}

void TProtocolModel::NextRace() {
    int i = 1;
    while (i <= DataRowCount()) {
        if (cells_[i][ColWin] == kMark)
            ++i;
        else
            RemoveRow(i);
        if (DataRowCount() == 1 && IsBlankRow(i)) break;
    }
}

void TProtocolModel::ClearProtocol() {
    beginResetModel();
    cells_ = {cells_[0], BlankRow()};
    ResetMarks();
    endResetModel();
}

void TProtocolModel::ApplyClassMode(bool klass) {
    HeaderTexts[ColClass] = klass ? QStringLiteral("Klasse") : QStringLiteral("Info");
    SetCell(0, ColClass, HeaderTexts[ColClass]);
}

QList<int> TProtocolModel::StartNumbersToFeed() const {
    static const QRegularExpression wholeNumber(QStringLiteral("^-?[0-9]+$"));
    QList<int> numbers;
    for (int row = 1; row <= std::min(4, DataRowCount()); ++row) {
        const QString& text = cells_[row][ColStartNr];
        if (!wholeNumber.match(text).hasMatch()) break;
        bool fits = false;
        const qlonglong value = text.toLongLong(&fits);
        // Too many digits for any number type is still a number far out of range.
        const qlonglong number = fits ? value : (text.startsWith('-') ? 1 : 9999);
        numbers.append(int(std::clamp<qlonglong>(number, 1, 9999)));
    }
    return numbers;
}

void TProtocolModel::SetRows(const QList<QStringList>& rows) {
    beginResetModel();
    cells_ = rows;
    if (cells_.isEmpty()) cells_.append(HeaderTexts);
    for (QStringList& row : cells_) {
        row = row.mid(0, kProtocolColumns);
        while (row.size() < kProtocolColumns)
            row.append(QString());
    }
    if (cells_.size() < 2) cells_.append(BlankRow());
    ResetMarks();
    endResetModel();
}

int TProtocolModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : DataRowCount();
}

int TProtocolModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kProtocolColumns;
}

QVariant TProtocolModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Cell(index.row() + 1, index.column());
    case Qt::TextAlignmentRole: {
        const int column = index.column();
        const Qt::Alignment horizontal = column >= 1 && column <= 5 ? Qt::AlignLeft
                                         : column == ColWin         ? Qt::AlignHCenter
                                                                    : Qt::AlignRight;
        return int(horizontal | Qt::AlignVCenter);
    }
    case Qt::ToolTipRole:
        if (index.column() == ColTime) return Mark(index.row() + 1);
        return {};
    case Qt::BackgroundRole:
        if (index.column() == ColTime && !Mark(index.row() + 1).isEmpty())
            return QColor(kMarkColor);
        return {};
    default:
        return {};
    }
}

bool TProtocolModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    SetCell(index.row() + 1, index.column(), value.toString());
    return true;
}

QVariant TProtocolModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return Cell(0, section);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TProtocolModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() < kFirstResultColumn) flags |= Qt::ItemIsEditable;
    return flags;
}

std::array<int, kProtocolColumns> ProtocolColumnWidths(const TRaceSettings& settings,
                                                       int clientWidth) {
    std::array<int, kProtocolColumns> widths = {40,
                                                0,
                                                90,
                                                60,
                                                60,
                                                58,
                                                settings.ColSpeed0 && settings.ColSpeed1 ? 51 : -1,
                                                settings.ColSpeed2 ? 57 : -1,
                                                43,
                                                57,
                                                30};
    int others = 0;
    for (int column = 0; column < kProtocolColumns; ++column)
        if (column != ColName) others += widths[column];
    widths[ColName] = clientWidth - others - kProtocolColumns;
    const int sum = widths[ColName] + widths[ColFirstName];
    if (sum > 270) {
        widths[ColName] = (sum / 3) * 2;
        widths[ColFirstName] = sum - widths[ColName];
    }
    return widths;
}

QString TProtocolModel::RiderName(int startNumber) const {
    const int row = FindStartRow(QString::number(startNumber));
    if (row == 0) return {};
    QStringList parts;
    for (int column : {int(ColName), int(ColFirstName)}) {
        const QString part = Cell(row, column).simplified();
        if (!part.isEmpty()) parts << part;
    }
    return parts.join(u' ');
}
