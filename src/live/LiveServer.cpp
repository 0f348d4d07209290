#include "LiveServer.h"

#include "LivePage.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <chrono>

namespace {

using Status = QHttpServerResponder::StatusCode;

// A page that has this much unread has lost its connection or cannot keep up: it is dropped,
// it reconnects by itself once it can.
constexpr qint64 kSlowClientBytes = 256 * 1024;
// Open pages hear from the server at least this often, so that they notice a lost connection.
constexpr int kKeepAliveMs = 5000;

const QByteArray kPolicy = "default-src 'none'; script-src 'self'; connect-src 'self'; "
                           "style-src 'unsafe-inline'; img-src 'self'";

QByteArray PlainResponse(int status, const QByteArray& reason, const QByteArray& text) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text;
}

// Creates the sockets itself, so that the server can count and watch every connection.
class LiveGate : public QTcpServer {
public:
    using QTcpServer::QTcpServer;
    std::function<void(qintptr)> accept;
    using QTcpServer::addPendingConnection;

protected:
    void incomingConnection(qintptr descriptor) override { accept(descriptor); }
};

} // namespace

// Lives on the server's thread; the window's thread only reaches it through queued calls.
class LiveHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    LiveHttpServer(std::shared_ptr<std::atomic<int>> clients, const LiveLimits& limits,
                   LiveClock clock)
        : clients_(std::move(clients)), limits_(limits), clock_(std::move(clock)),
          sweep_(new QTimer(this)) {
        sweep_->setInterval(limits_.sweepMs);
        connect(sweep_, &QTimer::timeout, this, &LiveHttpServer::Sweep);
        page_ = LivePageHtml(QString());
    }

    void Listen(const QHostAddress& address, quint16 port) {
        Shutdown();
        auto* gate = new LiveGate(this);
        gate->accept = [this](qintptr descriptor) { Accept(descriptor); };
        if (!gate->listen(address, port)) {
            const auto error = gate->serverError();
            delete gate;
            emit Failed(
                TLiveServer::ListenFailureText(port, error == QAbstractSocket::AddressInUseError,
                                               error == QAbstractSocket::SocketAccessError));
            return;
        }
        gate_ = gate;
        bind(gate);
        sweep_->start();
        keepAlive_ = clock_();
        emit Listening(gate->serverPort());
    }

    void Shutdown() {
        sweep_->stop();
        const QList<QTcpSocket*> sockets = connections_.keys();
        connections_.clear();
        clients_->store(0);
        for (QTcpSocket* socket : sockets)
            socket->abort();
        if (gate_) {
            gate_->close();
            gate_->deleteLater();
            gate_ = nullptr;
            emit Closed();
        }
    }

    void Publish(const QByteArray& json, const QString& title) {
        state_ = json;
        if (title != title_) {
            title_ = title;
            page_ = LivePageHtml(title);
        }
        SendToPages(Event("state", json));
    }

    void SetProtocol(const LiveProtocol& protocol) { protocol_ = LiveProtocolJson(protocol); }

signals:
    void Listening(quint16 port);
    void Failed(const QString& message);
    void Closed();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return true; // dropped meanwhile
        found->pending = 0;
        const auto method = request.method();
        if (method != QHttpServerRequest::Method::Get &&
            method != QHttpServerRequest::Method::Head) {
            Respond(request, socket, Status::MethodNotAllowed, "text/plain; charset=utf-8",
                    QByteArray("Nur Lesen ist erlaubt."), {{"Allow", "GET, HEAD"}});
            return true;
        }
        const QString path = request.url().path();
        if (path == u"/")
            Respond(request, socket, Status::Ok, "text/html; charset=utf-8", page_);
        else if (path == u"/app.js")
            Respond(request, socket, Status::Ok, "text/javascript; charset=utf-8",
                    LivePageScript());
        else if (path == u"/api/state")
            Respond(request, socket, Status::Ok, "application/json", state_);
        else if (path == u"/api/protocol")
            Respond(request, socket, Status::Ok, "application/json", protocol_);
        else if (path == u"/api/events" && method == QHttpServerRequest::Method::Get)
            OpenStream(*found, socket);
        else
            Respond(request, socket, Status::NotFound, "text/plain; charset=utf-8",
                    QByteArray("Diese Seite gibt es nicht."));
        return true;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override { socket->abort(); }

private:
    struct Connection {
        qint64 pending = 0; // bytes of the request not yet answered
        qint64 quietSince = 0;
        bool stream = false;
    };

    static QByteArray Event(const QByteArray& name, const QByteArray& data) {
        return "event: " + name + "\ndata: " + data + "\n\n";
    }

    void Accept(qintptr descriptor) {
        auto* socket = new QTcpSocket(gate_);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (connections_.size() >= TLiveServer::kMaxClients) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(PlainResponse(503, "Service Unavailable",
                                        "Zu viele Zuschauer verbunden, bitte gleich noch einmal."));
            socket->disconnectFromHost();
            return;
        }
        Connection& connection = connections_[socket];
        connection.quietSince = clock_();
        clients_->store(int(connections_.size()));
        // Before the server's own handler: a request that grows too large never reaches it.
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Received(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            const auto found = connections_.find(socket);
            if (found != connections_.end()) found->quietSince = clock_();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { Forget(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Forget(socket); });
        gate_->addPendingConnection(socket);
    }

    void Forget(QTcpSocket* socket) {
        if (connections_.remove(socket)) clients_->store(int(connections_.size()));
    }

    void Received(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        found->quietSince = clock_();
        found->pending += socket->bytesAvailable();
        if (found->pending <= TLiveServer::kMaxRequestBytes) return;
        disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
        Forget(socket);
        socket->write(PlainResponse(413, "Content Too Large", "Anfrage zu groß."));
        socket->disconnectFromHost();
    }

    void Respond(const QHttpServerRequest& request, QTcpSocket* socket, Status status,
                 const QByteArray& type, const QByteArray& body,
                 QHttpServerResponder::HeaderList extra = {}) {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(status);
        responder.writeHeaders({{"Content-Type", type},
                                {"Content-Length", QByteArray::number(body.size())},
                                {"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Content-Security-Policy", kPolicy}});
        responder.writeHeaders(extra);
        responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray()
                                                                                 : body);
    }

    void OpenStream(Connection& connection, QTcpSocket* socket) {
        connection.stream = true;
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                      "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n"
                      "retry: 1000\n\n" +
                      Event("state", state_));
    }

    void Send(QTcpSocket* socket, const QByteArray& bytes) {
        if (socket->bytesToWrite() > kSlowClientBytes) {
            Forget(socket);
            socket->abort();
            return;
        }
        socket->write(bytes);
    }

    void SendToPages(const QByteArray& bytes) {
        keepAlive_ = clock_();
        const QList<QTcpSocket*> sockets = connections_.keys();
        for (QTcpSocket* socket : sockets)
            if (connections_.value(socket).stream) Send(socket, bytes);
    }

    void Sweep() {
        const qint64 now = clock_();
        if (now - keepAlive_ >= kKeepAliveMs) SendToPages(Event("ping", QByteArray()));
        const QList<QTcpSocket*> sockets = connections_.keys();
        for (QTcpSocket* socket : sockets) {
            const Connection& connection = connections_.value(socket);
            const qint64 quiet = now - connection.quietSince;
            const bool stalled = socket->bytesToWrite() > 0 && quiet > limits_.stalledMs;
            const bool idle =
                !connection.stream && socket->bytesToWrite() == 0 && quiet > limits_.idleMs;
            if (stalled || idle) {
                Forget(socket);
                socket->abort();
            }
        }
    }

    std::shared_ptr<std::atomic<int>> clients_;
    const LiveLimits limits_;
    const LiveClock clock_;
    QTimer* sweep_;
    qint64 keepAlive_ = 0;
    LiveGate* gate_ = nullptr;
    QHash<QTcpSocket*, Connection> connections_;
    QByteArray page_;
    QByteArray state_ = "{}";
    QByteArray protocol_ = LiveProtocolJson({});
    QString title_;
};

TLiveServer::TLiveServer(QObject* parent, const LiveLimits& limits, LiveClock clock)
    : QObject(parent), limits_(limits), clock_(std::move(clock)) {
    if (!clock_)
        clock_ = [] {
            return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count());
        };
}

TLiveServer::~TLiveServer() {
    if (!thread_) return;
    QMetaObject::invokeMethod(worker_, &LiveHttpServer::Shutdown, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
    delete thread_;
}

void TLiveServer::Start(quint16 port, const QHostAddress& address) {
    if (!thread_) {
        thread_ = new QThread;
        thread_->setObjectName(QStringLiteral("Live-Ergebnisse"));
        worker_ = new LiveHttpServer(clients_, limits_, clock_);
        worker_->moveToThread(thread_);
        connect(worker_, &LiveHttpServer::Listening, this, [this](quint16 listening) {
            listening_ = true;
            port_ = listening;
            emit Listening(listening);
        });
        connect(worker_, &LiveHttpServer::Failed, this, [this](const QString& message) {
            listening_ = false;
            port_ = 0;
            emit Failed(message);
        });
        connect(worker_, &LiveHttpServer::Closed, this, &TLiveServer::Stopped);
        thread_->start();
    }
    listening_ = false;
    port_ = 0;
    QMetaObject::invokeMethod(
        worker_, [worker = worker_, address, port] { worker->Listen(address, port); },
        Qt::QueuedConnection);
}

void TLiveServer::Stop() {
    listening_ = false;
    port_ = 0;
    if (worker_)
        QMetaObject::invokeMethod(worker_, &LiveHttpServer::Shutdown, Qt::QueuedConnection);
}

void TLiveServer::PublishState(const QByteArray& json, const QString& title) {
    if (!worker_) return;
    QMetaObject::invokeMethod(
        worker_, [worker = worker_, json, title] { worker->Publish(json, title); },
        Qt::QueuedConnection);
}

void TLiveServer::PublishProtocol(const LiveProtocol& protocol) {
    if (!worker_) return;
    QMetaObject::invokeMethod(
        worker_, [worker = worker_, protocol] { worker->SetProtocol(protocol); },
        Qt::QueuedConnection);
}

QString TLiveServer::ListenFailureText(quint16 port, bool inUse, bool denied) {
    if (inUse)
        return QStringLiteral("Live-Ergebnisse: Port %1 ist schon belegt. Bitte in den "
                              "Einstellungen einen anderen Port wählen.")
            .arg(port);
    if (denied)
        return QStringLiteral("Live-Ergebnisse: Port %1 ist nicht erlaubt (unter 1024 nur für "
                              "den Administrator). Bitte einen anderen Port wählen.")
            .arg(port);
    return QStringLiteral("Live-Ergebnisse: Port %1 kann nicht geöffnet werden.").arg(port);
}

#include "LiveServer.moc"
