#include "SortGrid.h"

#include "race/HeatModel.h"
#include "widgets/Fonts.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

bool IsDigitOrBackspace(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) return true;
    const QString text = event->text();
    return text.size() == 1 && text[0] >= '0' && text[0] <= '9';
}

// The columns are narrow (43 pixels for "144,0"): cells keep only a pixel of margin.
class GridStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin) return 1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

// Digits-only start numbers, the class drop-down and its marker.
class ProtocolDelegate : public QStyledItemDelegate {
public:
    explicit ProtocolDelegate(TSortGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() == ColClass && grid_->ClassMode()) {
            auto* combo = new QComboBox(parent);
            combo->addItems(grid_->ClassList());
            combo->setMaxVisibleItems(10);
            // A pick is the whole edit: write it and close.
            connect(combo, &QComboBox::activated, combo, [this, combo] {
                emit const_cast<ProtocolDelegate*>(this)->commitData(combo);
                emit const_cast<ProtocolDelegate*>(this)->closeEditor(combo);
            });
            QTimer::singleShot(0, combo, &QComboBox::showPopup);
            return combo;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && index.column() == ColStartNr)
            line->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), line));
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(std::max(0, combo->findText(index.data().toString())));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0)
                model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        // A cell shows one line of a few hundred pixels; laying out all of a long text on each
        // repaint of its row would hold up the window at every START.
        if (option->text.size() > kShownChars) {
            const qsizetype cut = kShownChars - option->text[kShownChars - 1].isHighSurrogate();
            option->text = option->text.left(cut) + QChar(0x2026);
        }
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem look(option);
        // A doubtful time keeps its colour in the selected row, which is the heat just run.
        if (index.column() == ColTime && index.data(Qt::BackgroundRole).isValid())
            look.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, look, index);
        if (index.column() != ColClass || !grid_->ClassMode()) return;
        // The drop-down marker: a small arrow at the cell's right edge.
        const QRect r = option.rect;
        const int x = r.right() - 9, y = r.center().y() - 2;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.state & QStyle::State_Selected ? option.palette.highlightedText()
                                                                : option.palette.text());
        painter->drawPolygon(QPolygon({QPoint(x, y), QPoint(x + 7, y), QPoint(x + 3, y + 4)}));
        painter->restore();
    }

private:
    static constexpr qsizetype kShownChars = 400;
    TSortGrid* grid_;
};

TSortGrid::TSortGrid(QWidget* parent)
    : QTableView(parent), model_(new TProtocolModel(this)), delegate_(new ProtocolDelegate(this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    auto* style = new GridStyle;
    style->setParent(this);
    setStyle(style);
    setFont(ArialFont(15));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(19);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    // A header click must neither sort nor select a column.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setFixedHeight(21);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
    SetMode(RowMode);

    PopupMenuProtokol = new QMenu(this);
    Joker1 = PopupMenuProtokol->addAction(QStringLiteral("Joker                 (Strg+J)"), this,
                                          &TSortGrid::mJokerClick);
    Erase1 = PopupMenuProtokol->addAction(QStringLiteral("Zeile entfernen (Strg+0)"), this,
                                          &TSortGrid::RemoveRow);
    Neuezeile1 = PopupMenuProtokol->addAction(QStringLiteral("Neue Zeile         (Strg+N)"), this,
                                              &TSortGrid::NewRow);
    // Both open the standings; the protocol itself is never sorted and hands out no places.
    SortierenKlassenZeit1 = PopupMenuProtokol->addAction(QStringLiteral("Sortieren Klassen+Zeit"));
    SortierenKlassenZeit1->setEnabled(false);
    mPlatz = PopupMenuProtokol->addAction(QStringLiteral("Platz verteilen"));
    Rezultentfernen1 = PopupMenuProtokol->addAction(QStringLiteral("Rezult entfernen"), this,
                                                    &TSortGrid::RemoveResults);
    PopupMenuProtokol->addSeparator();
    Journal1 = PopupMenuProtokol->addAction(QStringLiteral("Rennjournal        (F3)"), this,
                                            &TSortGrid::JournalRequested);
    Void1 = PopupMenuProtokol->addAction(QStringLiteral("Lauf ungültig...  (Strg+U)"));
    Ladder1 = PopupMenuProtokol->addAction(QStringLiteral("Ausscheidung...   (Strg+L)"));
    PopupMenuProtokol->addSeparator();
    Startliste1 = PopupMenuProtokol->addAction(QStringLiteral("Startliste drucken"));
    // Only a protocol with racers has a start list.
    connect(this, &TSortGrid::ContentChanged, Startliste1, [this] {
        bool racers = false;
        for (int row = 1; row <= model_->DataRowCount() && !racers; ++row)
            racers = !model_->Cell(row, ColStartNr).trimmed().isEmpty();
        Startliste1->setEnabled(racers);
    });
    Startliste1->setEnabled(false);

    connect(model_, &QAbstractItemModel::dataChanged, this, &TSortGrid::ContentChanged);
    connect(model_, &QAbstractItemModel::headerDataChanged, this, &TSortGrid::ContentChanged);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &TSortGrid::ContentChanged);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &TSortGrid::ContentChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &TSortGrid::ContentChanged);
    SelectRow(1);
}

int TSortGrid::CurrentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TSortGrid::SelectRow(int row) {
    row = std::clamp(row, 1, model_->DataRowCount());
    const QModelIndex last = model_->index(row - 1, kProtocolColumns - 1);
    adjusting_ = true;
    selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
    adjusting_ = false;
    scrollTo(last);
}

void TSortGrid::SetMode(GridMode mode) {
    mode_ = mode;
    setSelectionBehavior(mode == RowMode ? SelectRows : SelectItems);
    setEditTriggers(mode == RowMode ? NoEditTriggers
                                    : DoubleClicked | EditKeyPressed | AnyKeyPressed);
}

QStringList TSortGrid::ClassList() const {
    QStringList items;
    if (cbKlass_)
        for (int i = 0; i < cbKlass_->count(); ++i)
            items << cbKlass_->itemText(i);
    return items;
}

void TSortGrid::SetColumnWidth(int column, int width) {
    setColumnHidden(column, width < 0);
    if (width >= 0) setColumnWidth(column, width);
}

int TSortGrid::ColumnWidth(int column) const {
    return isColumnHidden(column) ? -1 : columnWidth(column);
}

std::array<bool, kProtocolColumns> TSortGrid::VisibleColumns() const {
    std::array<bool, kProtocolColumns> visible;
    for (int column = 0; column < kProtocolColumns; ++column)
        visible[column] = !isColumnHidden(column);
    return visible;
}

void TSortGrid::CommitEdit() {
    if (!IsEditing()) return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor) return;
    commitData(editor);
    // No moving on: the command that asked decides what is selected next.
    closedEditor_ = editor;
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TSortGrid::PrepareHeatRow(const QString& startNumber) {
    CommitEdit();
    SelectRow(model_->PrepareHeatRow(startNumber));
}

void TSortGrid::WriteLaneResult(const QString& startNumber, const LaneResult& result) {
    if (const int row = model_->WriteLaneResult(startNumber, result)) SelectRow(row);
}

void TSortGrid::ApplyClassMode(bool klass) {
    klass_ = klass;
    model_->ApplyClassMode(klass);
    SortierenKlassenZeit1->setEnabled(klass);
    viewport()->update(); // the drop-down marker follows at once
}

void TSortGrid::MarkRowCrashed() {
    model_->MarkRowCrashed(CurrentRow());
}

void TSortGrid::FeedStartNumbers() {
    if (!heat_) return;
    // Lane 1's and lane 2's numbers, then their ready numbers.
    const QList<int> numbers = model_->StartNumbersToFeed();
    for (int i = 0; i < numbers.size(); ++i)
        i < 2 ? heat_->SetStartNumber(i + 1, numbers[i]) : heat_->SetReadyNumber(i - 1, numbers[i]);
}

void TSortGrid::NewRow() {
    const int row = model_->NewRow();
    SetMode(EditMode);
    adjusting_ = true;
    selectionModel()->setCurrentIndex(model_->index(row - 1, ColStartNr),
                                      QItemSelectionModel::ClearAndSelect);
    adjusting_ = false;
    scrollTo(currentIndex());
    setFocus(Qt::ShortcutFocusReason); // what the operator types next goes into the row
}

void TSortGrid::RemoveRow() {
    SelectRow(model_->RemoveRow(CurrentRow()));
    FeedStartNumbers();
}

void TSortGrid::RemoveResults() {
    model_->RemoveResults();
}

void TSortGrid::ClearProtocol() {
    model_->ClearProtocol();
    SelectRow(1);
}

void TSortGrid::mJokerClick() {
    model_->ToggleJoker(CurrentRow());
}

void TSortGrid::sbNextKrugClick() {
    model_->NextRace();
    SelectRow(1);
}

void TSortGrid::SortGrid1SelectCell(int column, int row) {
    if (column >= kFirstResultColumn) {
        // Results are the timer's: the row is selected instead of the cell.
        SetMode(RowMode);
        SelectRow(row);
        return;
    }
    if (mode_ != EditMode) {
        SetMode(EditMode);
        adjusting_ = true;
        selectionModel()->select(model_->index(row - 1, column),
                                 QItemSelectionModel::ClearAndSelect);
        adjusting_ = false;
    }
}

void TSortGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (adjusting_ || !current.isValid()) return;
    SortGrid1SelectCell(current.column(), current.row() + 1);
}

bool TSortGrid::IsClassCell(const QModelIndex& index) const {
    return klass_ && index.isValid() && index.column() == ColClass;
}

void TSortGrid::OpenClassDropDown(const QModelIndex& index) {
    if (mode_ == EditMode && IsClassCell(index) && !IsEditing()) edit(index);
}

void TSortGrid::MoveRight(bool fromEditor) {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return;
    if (current.column() > 4) {
        SelectRow(current.row() + 1);
        return;
    }
    const QModelIndex next = model_->index(current.row(), current.column() + 1);
    selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    if (fromEditor) OpenClassDropDown(next);
}

void TSortGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // Enter in an editor moves on at once, which commits and closes it; the delegate's own
    // close follows later and must not move a second time.
    if (editor == closedEditor_) return;
    closedEditor_ = editor;
    QTableView::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::SubmitModelCache && !qobject_cast<QComboBox*>(editor))
        MoveRight(true);
    else if (hint == QAbstractItemDelegate::RevertModelCache) {
        SetMode(RowMode);
        SelectRow(CurrentRow());
    }
}

void TSortGrid::commitData(QWidget* editor) {
    if (editor == closedEditor_) return; // its text went in when it closed
    QTableView::commitData(editor);
}

void TSortGrid::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        MoveRight(false);
        return;
    case Qt::Key_Escape:
        SetMode(RowMode);
        SelectRow(CurrentRow());
        return;
    case Qt::Key_Space:
        if (IsClassCell(current) && mode_ == EditMode) {
            OpenClassDropDown(current);
            return;
        }
        break;
    default:
        break;
    }
    // Start numbers are digits; anything else typed there is dropped.
    if (current.column() == ColStartNr && !event->text().isEmpty() && !IsDigitOrBackspace(event))
        return;
    QTableView::keyPressEvent(event);
    // In row mode only whole rows are selected, whatever rule the key was handled by.
    if (mode_ == RowMode) SelectRow(CurrentRow());
}

void TSortGrid::mousePressEvent(QMouseEvent* event) {
    // The mode decides how the press selects, so it must change before the press is handled.
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (pressed.isValid()) SetMode(pressed.column() >= kFirstResultColumn ? RowMode : EditMode);
    QTableView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) OpenClassDropDown(indexAt(event->position().toPoint()));
}

void TSortGrid::contextMenuEvent(QContextMenuEvent* event) {
    emit ContentChanged(); // the commands are brought up to date before the menu shows
    PopupMenuProtokol->popup(event->globalPos());
}
