#pragma once

#include "LiveJson.h"

#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;
class LiveHttpServer;

// Milliseconds on a monotonic clock; called on the server's thread.
using LiveClock = std::function<qint64()>;

// How long a connection may take for what.
struct LiveLimits {
    qint64 requestMs = 5000;  // a whole request, from its first byte
    qint64 idleMs = 10000;    // a connection that asks nothing
    qint64 stalledMs = 10000; // a client that has not read what it was sent
    int sweepMs = 1000;       // how often every connection is looked at
};

// The results page's server. It runs on a thread of its own, so that no client, however many
// or however slow, ever holds up the clocks: the window only hands it finished texts. It only
// reads: no request changes anything in the program.
class TLiveServer : public QObject {
    Q_OBJECT
public:
    // Connections that have sent a whole request. Beyond them there are places for
    // connections whose request is still coming; only those make room for newcomers.
    static constexpr int kMaxClients = 200;
    static constexpr int kMaxWaiting = 50;
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;

    explicit TLiveServer(QObject* parent = nullptr, const LiveLimits& limits = {},
                         LiveClock clock = {});
    // Closes every connection and waits for the server's thread.
    ~TLiveServer() override;

    // Listening() or Failed() tells how it went; a running server is stopped first.
    void Start(quint16 port, const QHostAddress& address = QHostAddress::Any);
    // Closes every connection; Stopped() follows.
    void Stop();
    bool IsListening() const { return listening_; }
    // The port listened on; 0 while not listening.
    quint16 Port() const { return port_; }
    // Connections open now, whatever they are waiting for.
    int ClientCount() const { return clients_->load(); }

    // What the page shows now; pushed to every page that is open.
    void PublishState(const QByteArray& json, const QString& title);
    void PublishProtocol(const LiveProtocol& protocol);
    // A further answer at path, as built by the program; a null body takes it away. Only what is
    // published is ever served: the paths come from the program, not from a request.
    void PublishDocument(const QString& path, const QByteArray& type, const QByteArray& body);

    // The German text for a port that could not be opened.
    static QString ListenFailureText(quint16 port, bool inUse, bool denied);

signals:
    void Listening(quint16 port);
    void Failed(const QString& message);
    void Stopped();

private:
    QThread* thread_ = nullptr;
    LiveHttpServer* worker_ = nullptr;
    std::shared_ptr<std::atomic<int>> clients_ = std::make_shared<std::atomic<int>>(0);
    LiveLimits limits_;
    LiveClock clock_;
    bool listening_ = false;
    quint16 port_ = 0;
};
