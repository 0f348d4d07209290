#pragma once

#include "Journal.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// A journal line is about a hundred bytes; a far longer one is junk and is skipped whole, so
// that no line of a file, however long, is ever held.
constexpr qsizetype kMaxJournalLineBytes = 4096;

// One journal line as the file holds it: the bytes are kept, a field becomes text only when
// it is asked for. A day of 200 000 lines kept as strings would be hundreds of megabytes.
class TJournalLine {
public:
    TJournalLine() = default;
    // Nothing unless the bytes, without the line end, hold exactly kJournalFields fields.
    static std::optional<TJournalLine> Parse(const QByteArray& bytes);

    QString operator[](int field) const;
    QStringList Fields() const;
    // What the line keeps in memory, roughly.
    qsizetype Bytes() const { return bytes_.size() + qsizetype(sizeof(TJournalLine)) + 32; }

private:
    QByteArray bytes_;
    std::array<quint16, kJournalFields> ends_{}; // where each field ends
};

// What a journal file holds, line by line. A line that is not whole (the last one of a
// program that was killed while writing it) is left out; lines too long or not made of the
// journal's fields are skipped and counted.
struct TJournalRead {
    bool ok = false;
    QList<QStringList> lines;
    qint64 skipped = 0;
    QString message; // why the file could not be read, for the operator
};
TJournalRead ReadJournal(const QString& fileName);

// A heat as the journal tells it: from its START to the next one.
struct TJournalHeat {
    int number = 0; // 1, 2, … in the day's order
    TJournalLine start;
    qint64 startTicks = 0;
    QString startNumbers[3]; // by lane; [0] unused
    // The line events, commands, results and warnings, in the order they came. The line
    // event that started the heat comes first.
    QList<TJournalLine> events;
    // Commands given later that changed the heat's rows by hand (crash, joker).
    QList<TJournalLine> edits;
    // Of the events: the results and the number of warnings, for the heat's summary.
    QList<TJournalLine> results;
    int warnings = 0;
    // Edges of a chattering line beyond what is kept of each line per heat.
    qint64 lineEventsLeftOut = 0;
};

// The day in order: heats, and the lines that stand on their own (the port, commands on the
// whole protocol such as loading or clearing it).
struct TJournalItem {
    bool isHeat = false;
    TJournalHeat heat;
    TJournalLine line;
};

// What is kept of a day, so that no file (junk, a contact that chattered for hours) can take
// the memory of the race timer.
struct TJournalLimits {
    // Edges kept per line (start contact, lane 1, lane 2) and heat; a heat has a handful.
    int lineEventsPerHeat = 1000;
    // All that is kept; a long race day with a lot of heats takes a few tens of megabytes.
    qint64 keptBytes = 64LL * 1024 * 1024;
};

struct TJournalDay {
    bool ok = false;
    bool cancelled = false;
    QString message; // why the file could not be read, for the operator
    QList<TJournalItem> items;
    qint64 skipped = 0; // lines too long or unreadable
    // The day was cut here because the limit of what is kept was reached: the wall clock of
    // the last line kept; empty when the whole file was read.
    QString cutAfter;
    qint64 keptBytes = 0;
};

// How a read is followed and stopped from another thread.
struct TJournalReadControl {
    std::function<bool()> stopped;
    // The share of the file read so far, 0 to 100, each time it grows.
    std::function<void(int percent)> progress;
    TJournalLimits limits;
};

// Reads the file piece by piece: memory stays within the limits, whatever the file holds.
TJournalDay ReadJournalDay(const QString& fileName, const TJournalReadControl& control = {});

// Reads journals on a thread of its own and reports on the thread that owns it. A new load or
// Cancel stops the load under way at once; it reports nothing more.
class TJournalLoader : public QObject {
    Q_OBJECT
public:
    explicit TJournalLoader(QObject* parent = nullptr);
    // Stops the read and waits for the thread, which stops within one piece of the file.
    ~TJournalLoader() override;

    // previous: the day shown until now. Freeing a long day takes a while, so the thread
    // does it, as it does for a day given to Discard.
    void Load(const QString& fileName, const TJournalLimits& limits = {},
              TJournalDay previous = {});
    void Discard(TJournalDay day);
    void Cancel();
    bool Loading() const { return loading_; }

signals:
    void Progress(int percent);
    void Loaded(const TJournalDay& day);

private:
    struct Job {
        quint64 generation = 0;
        QString fileName; // empty: only let go of the day
        TJournalLimits limits;
        TJournalDay previous;
    };
    void Queue(Job job);
    void Run();
    void Read(const Job& job);

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<Job> jobs_;
    bool stop_ = false;
    // The load that is wanted; any other stops.
    std::atomic<quint64> generation_{0};
    bool loading_ = false;
    std::thread thread_;
};

// Journal files of a program in a folder, newest day first.
QStringList JournalFiles(const QString& folder, const QString& programTitle);
