#pragma once

#include "export/JournalReader.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TJournal;

// The race day's journal as heats: each with its start numbers, the raw line events with
// their times since START, the commands, the results written and what was said about them,
// and the edits made by hand afterwards. Earlier days can be picked from the same folder.
class TJournalViewer : public QDialog {
    Q_OBJECT
public:
    TJournalViewer(TJournal& journal, const QString& programTitle, QWidget* parent = nullptr);

    // Reads the day chosen (today's when it was today's) afresh.
    void Refresh();

    QComboBox* cbDay;
    QPushButton* bRefresh;
    QTreeWidget* Heats;
    QLabel* LabMessage;
    QPushButton* bClose;

    // Columns of Heats.
    enum { ColClock, ColSinceStart, ColEvent, ColLane, ColStartNr, ColValues };

private:
    void ShowFile(const QString& fileName);
    QTreeWidgetItem* HeatItem(const TJournalHeat& heat);

    TJournal& journal_;
    QString title_;
};
