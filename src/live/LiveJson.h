#pragma once

#include "export/ProtocolText.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the results page shows of one lane, now or in a past heat.
struct LiveLane {
    int startNumber = 0;
    int readyNumber = 0;
    QString name;
    bool running = false;
    int ms = 0;           // what the clock shows
    bool stopped = false; // the lane's result is in
    QString time;         // the final time, as in the protocol
    QString line;         // the result line under the clock, as on the TV
    bool winner = false;
    bool falseStart = false;
    bool voided = false; // declared void: its time and mark no longer count
};

struct LiveHeat {
    QString at;            // hh:mm of the finish
    qint64 startTicks = 0; // its START, which names it
    LiveLane lanes[2];
};

struct LiveState {
    QString title;
    LiveLane lanes[2];
    QList<LiveHeat> heats; // the latest first
    int protocolVersion = 0;
    int standingsVersion = 0; // 0: no standings are served
    int racersVersion = 0;    // moves on when a racer's page changed
    int ladderVersion = 0;    // moves on when the "Leiter" tab's document changed
    bool ladders = false;     // the race day has a ladder: the tab is shown
    // The next pairings, lane 1's number first, with names and round ("Vorstart").
    QList<QStringList> callUp; // each: number 1, number 2, name 1, name 2, round
};

// The protocol as the page's tab shows it.
struct LiveProtocol {
    ProtocolRows rows;          // header first, as the protocol holds them
    QList<bool> visibleColumns; // as in the table
    bool classMode = false;
    QStringList classList; // the classes in the operator's order
    int version = 0;
};

struct ClassGroup {
    QString className;
    QList<int> rows; // protocol rows, fastest first
};

// Data rows by class: the classes of the class list in its order, then any other class in
// the order it first appears. Within a class the rows run by time, fastest first; rows
// without a time (not run, crashed, false start) follow in protocol order. Blank rows are
// left out.
QList<ClassGroup> GroupByClass(const ProtocolRows& rows, const QStringList& classList);

// A time as the protocol writes it ("8,123"), in ms; nothing for "-", empty or other text.
std::optional<int> TimeTextMs(const QString& text);

// "s,mmm" of what a clock shows.
QString ClockText(int ms);

// Compact JSON in which '<', '>' and '&' appear only escaped, so no text from the protocol
// can ever read as markup, whatever a client does with it.
QByteArray SafeJson(const QJsonObject& object);
QByteArray LiveStateJson(const LiveState& state);
QByteArray LiveProtocolJson(const LiveProtocol& protocol);
