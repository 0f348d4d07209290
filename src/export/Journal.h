#pragma once

#include "ProtocolText.h"
#include "serial/ComLineEvent.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class TBackgroundWriter;
class THighResTimer;

// The fields of a journal line, in file order.
enum TJournalField {
    JfTime,      // "Uhrzeit": local wall clock, yyyy-MM-dd hh:mm:ss.zzz
    JfTicks,     // "Ticks": time base, nanoseconds
    JfKind,      // "Art": Leitung, Befehl, Ergebnis, Warnung, Port
    JfName,      // "Name": the line, the command, what the port did, the rule
    JfSource,    // "Quelle": who gave the command
    JfLane,      // "Bahn"
    JfLevel,     // "Pegel": 1 on, 0 off
    JfFolded,    // "Gefaltet": whole pulses between two reads of the lines
    JfStartNr,   // "St.Nr."; START: lane 1 / lane 2
    JfReaction,  // "RZ"
    JfInterim,   // "ZZ"
    JfSpeed,     // "Km/h"
    JfFinalTime, // "Zeit"
    JfWin,       // "Win"
    JfText,      // "Text"
    kJournalFields
};

// The race day's journal: every line event, every command that changes a heat or the
// protocol, every lane result and the port's opening and closing, one tab-separated line
// each in "<program title>-Journal-YYYY-MM-DD.txt", UTF-8. Lines go to the background writer
// as they come and are only ever appended; the end of each heat brings them to the disk.
class TJournal : public QObject {
    Q_OBJECT
public:
    using WallClock = std::function<QDateTime()>;
    // The folder to write in; asked when a day's file is begun.
    using FolderSource = std::function<QString()>;

    TJournal(TBackgroundWriter& writer, const THighResTimer& timeBase, FolderSource folder,
             const QString& programTitle, QObject* parent = nullptr);

    static const QStringList& FieldNames();
    // The header line, line end included.
    static QByteArray HeaderLine();
    static QString FileName(const QString& folder, const QString& programTitle, QDate day);
    // Kinds of lines.
    static const QString kLine, kCommand, kResult, kWarning, kPort;

    void SetWallClock(WallClock clock) { clock_ = std::move(clock); }

    // Lines recorded before this wait in memory: the folder is known only once the backup has
    // chosen its own.
    void Open();
    // The file the next line goes to.
    QString FilePath() const;

    // One line per line the event changed.
    void LineEvent(const TComLineEvent& event);
    // cells: RZ, ZZ, Km/h, Zeit, Win, where the command leaves a row so.
    void Command(const QString& name, const QString& source, int lane, const QString& startNumber,
                 qint64 ticks, const QStringList& cells = {}, const QString& text = {});
    void Result(int lane, const QString& startNumber, qint64 ticks, const QStringList& cells);
    void Warning(int lane, const QString& startNumber, qint64 ticks, const QString& rule,
                 const QString& text);
    void Port(const QString& name, const QString& text);

    // While a heat runs its lines stay in the file of the day it started.
    void SetHeatRunning(bool running) { heatRunning_ = running; }
    // Brings what was written to the disk, in the background.
    void Sync();
    // Waits until everything recorded so far is in the file.
    void Flush();

    // Lines recorded since the journal was made.
    quint64 Lines() const { return lines_; }

signals:
    // Once per run of failed writes; a write that succeeds re-arms it.
    void WriteFailed(const QString& message);

private:
    void Record(QStringList fields, qint64 ticks, const QDateTime& at);
    void Written(const QString& fileName, const FileWriteResult& result);
    QDateTime Now() const;
    QDateTime WallAt(qint64 ticks) const;

    TBackgroundWriter& writer_;
    const THighResTimer& timeBase_;
    FolderSource folder_;
    QString title_;
    WallClock clock_;
    bool open_ = false;
    QByteArray waiting_;  // recorded before Open
    QString file_;        // the day's file, once begun
    QSet<QString> files_; // every file begun, whose writes are this journal's
    QDate day_;
    bool heatRunning_ = false;
    bool failureReported_ = false;
    quint64 lines_ = 0;
};
