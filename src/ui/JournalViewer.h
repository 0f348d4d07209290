#pragma once

#include "JournalViewerModel.h"
#include "export/JournalReader.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;
class TJournal;

// The race day's journal as heats: each with its start numbers, the raw line events with
// their times since START, the commands, the results written and what was said about them,
// and the edits made by hand afterwards. Earlier days can be picked from the same folder.
// The file is read on a thread of its own, so that the lane clocks go on while it loads.
class TJournalViewer : public QDialog {
    Q_OBJECT
public:
    TJournalViewer(TJournal& journal, const QString& programTitle, QWidget* parent = nullptr);

    // Reads the day chosen (today's when it was today's) afresh.
    void Refresh();
    bool Loading() const { return loader_.Loading(); }
    // Closing stops a read under way and lets go of the day read.
    void done(int result) override;

    // How much of a day is kept.
    void SetLimits(const TJournalLimits& limits) { limits_ = limits; }

    QComboBox* cbDay;
    QPushButton* bRefresh;
    QTreeView* Heats;
    QProgressBar* pbRead;
    QLabel* LabMessage;
    QPushButton* bClose;

signals:
    // The day chosen is shown, or why it cannot be.
    void DayShown();

private:
    void ShowFile(const QString& fileName);
    void ShowDay(const TJournalDay& day);
    void ShowMessage(const QString& text);

    TJournal& journal_;
    QString title_;
    TJournalModel* model_;
    TJournalLimits limits_;
    // Last, so that its thread is stopped before anything it reports to is gone.
    TJournalLoader loader_;
};
