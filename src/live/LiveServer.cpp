#include "LiveServer.h"

#include "LiveAddress.h"
#include "LivePage.h"
#include "LiveSocket.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QHttpServerRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

// A page that has this much unread has lost its connection or cannot keep up: it is dropped,
// it reconnects by itself once it can.
constexpr qint64 kSlowClientBytes = 256 * 1024;
// The kernel keeps at most about twice this much per connection; what a client has not taken
// beyond it stays in our own buffer, where a big answer is one buffer shared by all clients.
constexpr int kSendBufferBytes = 128 * 1024;
// Open pages hear from the server at least this often, so that they notice a lost connection.
constexpr int kKeepAliveMs = 5000;

const QByteArray kPolicy = "default-src 'none'; script-src 'self'; connect-src 'self'; "
                           "style-src 'unsafe-inline'; img-src 'self'";

// An answer as it goes on the wire, built once and written as it is to every client that
// asks: one implicitly shared buffer, however many clients wait for it.
struct Answer {
    QByteArray bytes;
    qsizetype headSize = 0; // status line and headers: what HEAD gets
};

Answer MakeAnswer(int status, const QByteArray& reason, const QByteArray& type,
                  const QByteArray& body, const QByteArray& extraHeaders = {}) {
    const QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                            "\r\nContent-Type: " + type +
                            "\r\nContent-Length: " + QByteArray::number(body.size()) +
                            "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff"
                            "\r\nContent-Security-Policy: " +
                            kPolicy + "\r\n" + extraHeaders + "\r\n";
    return {head + body, head.size()};
}

Answer Ok(const QByteArray& type, const QByteArray& body) {
    return MakeAnswer(200, "OK", type, body);
}

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
        page_ = Ok("text/html; charset=utf-8", LivePageHtml(QString()));
        SetState("{}");
        SetProtocol({});
    }

    void Listen(const QHostAddress& address, quint16 port) {
        Shutdown();
        auto* gate = new LiveGate(this);
        gate->accept = [this](qintptr descriptor) { Accept(descriptor); };
        // A crowd opening the page at once is not turned away by the kernel.
        gate->setListenBacklogSize(TLiveServer::kMaxClients + TLiveServer::kMaxWaiting);
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
        SetState(json);
        if (title != title_) {
            title_ = title;
            page_ = Ok("text/html; charset=utf-8", LivePageHtml(title));
        }
        SendToPages(Event("state", json));
    }

    void SetProtocol(const LiveProtocol& protocol) {
        protocol_ = Ok("application/json", LiveProtocolJson(protocol));
    }

    void SetDocument(const QString& path, const QByteArray& type, const QByteArray& body) {
        if (body.isNull())
            documents_.remove(path);
        else
            documents_.insert(path, Ok(type, body));
    }

signals:
    void Listening(quint16 port);
    void Failed(const QString& message);
    void Closed();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return true; // dropped meanwhile
        found->pending = 0;
        found->requestFrom = -1;
        if (!found->served) {
            if (ServedCount() >= TLiveServer::kMaxClients) {
                Refuse(socket,
                       PlainResponse(503, "Service Unavailable",
                                     "Zu viele Zuschauer verbunden, bitte gleich noch einmal."));
                return true;
            }
            found->served = true;
        }
        const auto method = request.method();
        if (method != QHttpServerRequest::Method::Get &&
            method != QHttpServerRequest::Method::Head) {
            Respond(request, socket, notAllowed_);
            return true;
        }
        const QString path = request.url().path();
        if (path == u"/" || IsRacerPage(path))
            Respond(request, socket, page_);
        else if (path == u"/app.js")
            Respond(request, socket, script_);
        else if (path == u"/api/state")
            Respond(request, socket, state_);
        else if (path == u"/api/protocol")
            Respond(request, socket, protocol_);
        else if (path == u"/api/events" && method == QHttpServerRequest::Method::Get)
            OpenStream(*found, socket);
        else if (const auto document = documents_.constFind(path); document != documents_.cend())
            Respond(request, socket, *document);
        else
            Respond(request, socket, notFound_);
        return true;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override { socket->abort(); }

private:
    struct Connection {
        quint64 order = 0;       // of acceptance
        qint64 requestFrom = -1; // the first byte of the request coming in; -1: none is
        qint64 pending = 0;      // bytes of the request not yet answered
        qint64 active = 0;       // the last byte received or taken by the client
        qint64 handed = 0;       // bytes handed to the kernel
        qint64 taken = 0;        // of those, what the client had taken at the last look
        qint64 progress = 0;     // when the client last took something or had nothing to take
        bool served = false;     // a whole request has come: it has a place among the clients
        bool stream = false;
    };

    // A racer's own page, "/fahrer/12": the page itself, which shows that racer.
    static bool IsRacerPage(const QString& path) {
        static const QString prefix = QStringLiteral("/fahrer/");
        if (!path.startsWith(prefix)) return false;
        return IsRacerPageNumber(QStringView(path).mid(prefix.size()));
    }

    static QByteArray Event(const QByteArray& name, const QByteArray& data) {
        return "event: " + name + "\ndata: " + data + "\n\n";
    }

    void SetState(const QByteArray& json) {
        state_ = Ok("application/json", json);
        stateJson_ = json;
    }

    void Accept(qintptr descriptor) {
        auto* socket = new QTcpSocket(gate_);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
        // When every place is taken, the oldest connection that has not yet sent a whole
        // request makes room: requests that are slow to come cannot keep viewers out.
        if (connections_.size() >= TLiveServer::kMaxClients + TLiveServer::kMaxWaiting)
            Drop(OldestWaiting());
        Connection& connection = connections_[socket];
        connection.order = ++accepted_;
        connection.active = connection.progress = clock_();
        clients_->store(int(connections_.size()));
        // Before the server's own handler: a request that grows too large never reaches it.
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Received(socket); });
        connect(socket, &QTcpSocket::channelBytesWritten, this, [this, socket](int, qint64 bytes) {
            const auto found = connections_.find(socket);
            if (found != connections_.end()) found->handed += bytes;
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { Forget(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Forget(socket); });
        gate_->addPendingConnection(socket);
    }

    qsizetype ServedCount() const {
        return std::count_if(connections_.cbegin(), connections_.cend(),
                             [](const Connection& connection) { return connection.served; });
    }

    QTcpSocket* OldestWaiting() const {
        QTcpSocket* oldest = nullptr;
        quint64 order = 0;
        for (auto it = connections_.cbegin(); it != connections_.cend(); ++it)
            if (!it->served && (!oldest || it->order < order)) {
                oldest = it.key();
                order = it->order;
            }
        return oldest;
    }

    void Forget(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        connections_.erase(found);
        clients_->store(int(connections_.size()));
    }

    void Drop(QTcpSocket* socket) {
        if (!socket) return;
        Forget(socket);
        socket->abort();
    }

    // Answers and closes; the request, whatever of it has come, goes no further. A client
    // that has not taken what it was sent before is not waited for.
    void Refuse(QTcpSocket* socket, const QByteArray& response) {
        disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
        if (Backlog(socket) > 0) {
            Drop(socket);
            return;
        }
        Forget(socket);
        socket->write(response);
        socket->disconnectFromHost();
    }

    // Bytes written to the client that it has not taken: in our buffer and in the kernel's.
    static qint64 Backlog(QTcpSocket* socket) {
        return socket->bytesToWrite() + KernelUnsentBytes(socket->socketDescriptor());
    }

    void Received(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        found->active = clock_();
        if (found->requestFrom < 0) found->requestFrom = found->active;
        found->pending += socket->bytesAvailable();
        if (found->pending > TLiveServer::kMaxRequestBytes)
            Refuse(socket, PlainResponse(413, "Content Too Large", "Anfrage zu groß."));
    }

    void Respond(const QHttpServerRequest& request, QTcpSocket* socket, const Answer& answer) {
        if (request.method() == QHttpServerRequest::Method::Head)
            socket->write(answer.bytes.first(answer.headSize));
        else
            socket->write(answer.bytes);
    }

    void OpenStream(Connection& connection, QTcpSocket* socket) {
        connection.stream = true;
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                      "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n"
                      "retry: 1000\n\n" +
                      Event("state", stateJson_));
    }

    void Send(QTcpSocket* socket, const QByteArray& bytes) {
        if (Backlog(socket) > kSlowClientBytes)
            Drop(socket);
        else
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
            const auto found = connections_.find(socket);
            if (found == connections_.end()) continue;
            Connection& connection = *found;
            // Measured at the socket: the kernel takes far more than our buffer holds.
            const qint64 unsent = KernelUnsentBytes(socket->socketDescriptor());
            const qint64 backlog = socket->bytesToWrite() + unsent;
            const qint64 taken = connection.handed - unsent;
            if (taken > connection.taken) connection.active = now;
            if (taken > connection.taken || backlog == 0) connection.progress = now;
            connection.taken = std::max(connection.taken, taken);

            if (connection.requestFrom >= 0 && now - connection.requestFrom > limits_.requestMs)
                Refuse(socket,
                       PlainResponse(408, "Request Timeout", "Die Anfrage kam zu langsam."));
            else if (backlog > 0 && now - connection.progress > limits_.stalledMs)
                Drop(socket);
            else if (!connection.stream && connection.requestFrom < 0 && backlog == 0 &&
                     now - connection.active > limits_.idleMs)
                Drop(socket);
        }
    }

    std::shared_ptr<std::atomic<int>> clients_;
    const LiveLimits limits_;
    const LiveClock clock_;
    QTimer* sweep_;
    qint64 keepAlive_ = 0;
    quint64 accepted_ = 0;
    LiveGate* gate_ = nullptr;
    QHash<QTcpSocket*, Connection> connections_;
    Answer page_;
    const Answer script_ = Ok("text/javascript; charset=utf-8", LivePageScript());
    const Answer notFound_ =
        MakeAnswer(404, "Not Found", "text/plain; charset=utf-8", "Diese Seite gibt es nicht.");
    const Answer notAllowed_ = MakeAnswer(405, "Method Not Allowed", "text/plain; charset=utf-8",
                                          "Nur Lesen ist erlaubt.", "Allow: GET, HEAD\r\n");
    Answer state_;
    QByteArray stateJson_;
    Answer protocol_;
    // Further read-only answers the program publishes by path (the standings, a racer's page).
    QHash<QString, Answer> documents_;
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

void TLiveServer::PublishDocument(const QString& path, const QByteArray& type,
                                  const QByteArray& body) {
    if (!worker_) return;
    QMetaObject::invokeMethod(
        worker_, [worker = worker_, path, type, body] { worker->SetDocument(path, type, body); },
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
