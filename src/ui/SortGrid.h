#pragma once

#include "protocol/ProtocolModel.h"
#include "race/HeatProtocol.h"

#include <QComboBox>
#include <QPointer>
#include <QTableView>

class QAction;
class QMenu;
class ProtocolDelegate;
class THeatModel;

// The protocol table on screen. In row mode whole rows are selected and nothing is edited;
// in edit mode a single participant cell is current and can be typed into.
class TSortGrid : public QTableView, public HeatProtocol {
    Q_OBJECT
public:
    enum GridMode { RowMode, EditMode };

    explicit TSortGrid(QWidget* parent = nullptr);

    TProtocolModel* Protocol() const { return model_; }
    GridMode Mode() const { return mode_; }
    // An in-place editor is open.
    bool IsEditing() const { return state() == EditingState; }
    // Writes what the open editor holds into the protocol and closes it, so that a command
    // acting on the protocol sees the text being typed and the editor cannot write it later.
    void CommitEdit();
    // Current row, 1-based like the protocol's rows.
    int CurrentRow() const;
    // Whole-row selection; the current cell goes to the last column, the mode stays.
    void SelectRow(int row);

    // The heat whose start numbers FeedStartNumbers sets.
    void SetHeat(THeatModel* heat) { heat_ = heat; }
    // The hidden class list whose items the class drop-down offers.
    void SetClassSource(QComboBox* cbKlass) { cbKlass_ = cbKlass; }
    QStringList ClassList() const;
    bool ClassMode() const { return klass_; }

    // -1 hides a column; its cells stay and are still written and saved.
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;
    std::array<bool, kProtocolColumns> VisibleColumns() const;

    void PrepareHeatRow(const QString& startNumber) override;
    void WriteLaneResult(const QString& startNumber, const LaneResult& result) override;

    QMenu* PopupMenuProtokol;
    QAction* Joker1;
    QAction* Erase1;
    QAction* Neuezeile1;
    QAction* SortierenKlassenZeit1;
    QAction* mPlatz;
    QAction* Rezultentfernen1;
    QAction* Journal1;
    QAction* Void1;
    QAction* Ladder1;
    // The racers of the protocol, each with the QR code of their page, on paper.
    QAction* Startliste1;

public slots:
    void ApplyClassMode(bool klass);
    void MarkRowCrashed();
    void FeedStartNumbers();
    void NewRow();
    void RemoveRow();
    void RemoveResults();
    void ClearProtocol();
    void mJokerClick();
    void sbNextKrugClick();

signals:
    // The protocol may have changed: its commands and its backup follow.
    void ContentChanged();
    // The operator asks for the race-day journal.
    void JournalRequested();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void commitData(QWidget* editor) override;

private:
    void SortGrid1SelectCell(int column, int row);
    void SetMode(GridMode mode);
    void MoveRight(bool fromEditor);
    void OpenClassDropDown(const QModelIndex& index);
    bool IsClassCell(const QModelIndex& index) const;

    TProtocolModel* model_;
    ProtocolDelegate* delegate_;
    GridMode mode_ = RowMode;
    bool klass_ = false;
    bool adjusting_ = false;
    THeatModel* heat_ = nullptr;
    QPointer<QComboBox> cbKlass_;
    // The editor closed last: a second close of it must change nothing.
    QPointer<QWidget> closedEditor_;
};
