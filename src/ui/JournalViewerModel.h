#pragma once

#include "export/JournalReader.h"

#include <QAbstractItemModel>

// The journal window's tree: the day's heats and standalone lines at the top, a heat's events,
// the note on the edges left out and its edits by hand below it. Texts are made only for the
// rows on the screen, so a day of any length costs no more than the lines kept.
class TJournalModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { ColClock, ColSinceStart, ColEvent, ColLane, ColStartNr, ColValues, ColCount };

    using QAbstractItemModel::QAbstractItemModel;

    void SetDay(TJournalDay day);
    // Empties the model and hands over the day it showed.
    TJournalDay TakeDay();
    const TJournalDay& Day() const { return day_; }
    // The row of the day's last heat, or an invalid index.
    QModelIndex LastHeat() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant HeatData(const TJournalHeat& heat, int column, int role) const;
    QVariant ChildData(const TJournalHeat& heat, int row, int column, int role) const;

    TJournalDay day_;
};
