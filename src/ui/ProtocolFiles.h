#pragma once

#include "export/FileFilters.h"
#include "export/ProtocolText.h"

#include <QObject>

#include <functional>

class QLineEdit;
class ProtocolBackup;
class TBackgroundWriter;
class TSortGrid;
struct TRaceSettings;

// The protocol's ways to and from files: the save and open dialogs with their dispatch by
// file type, the web page to view and to print, the workbook for the spreadsheet program,
// and the automatic backup.
class TProtocolFiles : public QObject {
    Q_OBJECT
public:
    // writer: where the backup goes to disk, away from the user-interface thread.
    TProtocolFiles(TSortGrid& grid, const QLineEdit& eTitle, TRaceSettings& settings,
                   QWidget& window, TBackgroundWriter& writer);

    ProtocolBackup* Backup;

    // Where messages go; a box over the window unless a test listens instead.
    void SetMessageSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }

    // Start-up: the backup of the last run back into the table; true when it brought rows.
    bool LoadBackup();
    // Writes the protocol as the kind of file; a failure is shown, never reported as saved.
    bool Save(const QString& fileName, ProtocolFileKind kind);
    // Replaces the protocol from the file; a file that cannot be read leaves it as it was.
    bool Load(const QString& fileName, ProtocolFileKind kind);

    void sbSaveClick();
    void sbLoadClick();
    void sbInetClick();
    void sbPrintClick();
    void sbExcelClick();

    QList<FileFilterEntry> SaveFilters;
    QList<FileFilterEntry> OpenFilters;

signals:
    // A protocol was loaded from a file of this kind.
    void Loaded(ProtocolFileKind kind, const QString& fileName);

private:
    ProtocolRows Rows() const;
    QList<bool> Visible() const;
    // The page for viewing and printing, or empty when it could not be written.
    QString WriteViewPage();
    void Show(const QString& message);
    // A notice that does not stop the race.
    void Notice(const QString& message);

    TSortGrid& grid_;
    const QLineEdit& eTitle_;
    TRaceSettings& settings_;
    QWidget& window_;
    std::function<void(const QString&)> sink_;
};
