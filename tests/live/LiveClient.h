#pragma once

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct Reply {
    int status = 0; // 0: no answer
    QByteArray type;
    QByteArray body;
};

// One request through Qt's own client, as a browser would send it.
inline Reply Fetch(quint16 port, const QString& path, const QByteArray& method = "GET") {
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setTransferTimeout(5000);
    // A custom "HEAD" would wait for the body its Content-Length announces.
    QNetworkReply* reply =
        method == "HEAD" ? manager.head(request) : manager.sendCustomRequest(request, method);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Reply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (reply->isOpen()) result.body = reply->readAll();
    reply->deleteLater();
    return result;
}

// A page's event stream, read as it comes.
struct EventStream {
    QTcpSocket socket;
    QByteArray received;

    explicit EventStream(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        socket.waitForConnected(5000);
        socket.write(
            "GET /api/events HTTP/1.1\r\nHost: rennuhr\r\nAccept: text/event-stream\r\n\r\n");
    }
    // The data of every "state" event so far, in order.
    QList<QJsonObject> States() const {
        QList<QJsonObject> states;
        for (const QByteArray& block : Blocks())
            if (block.startsWith("event: state\ndata: "))
                states << QJsonDocument::fromJson(block.mid(19)).object();
        return states;
    }
    QList<QByteArray> Blocks() const {
        QList<QByteArray> blocks;
        const qsizetype body = received.indexOf("\r\n\r\n");
        if (body < 0) return blocks;
        qsizetype from = body + 4;
        for (qsizetype end; (end = received.indexOf("\n\n", from)) >= 0; from = end + 2)
            blocks << received.mid(from, end - from);
        return blocks;
    }
    QJsonObject Last() const {
        const QList<QJsonObject> states = States();
        return states.isEmpty() ? QJsonObject() : states.last();
    }
};

// A client below Qt, for what no browser does: it sends only what it is told, when it is told,
// and never reads unless asked. With a small receive buffer it is a phone that stopped reading.
class RawClient {
public:
    RawClient() = default;
    explicit RawClient(quint16 port, int receiveBuffer = 0) { Open(port, receiveBuffer); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    ~RawClient() { Close(); }

    bool Open(quint16 port, int receiveBuffer = 0) {
        Close();
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return false;
        // Before connecting, so that the window the server sees is small from the start.
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
        return IsOpen();
    }
    bool IsOpen() const { return fd_ >= 0; }

    bool Send(const QByteArray& bytes) {
        if (fd_ < 0) return false;
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t sent = ::send(fd_, bytes.constData() + at, size_t(bytes.size() - at),
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent <= 0) return false;
            at += sent;
        }
        return true;
    }

    // Reads what has come without waiting; tells whether the server has closed or reset the
    // connection.
    bool ClosedByServer(QByteArray* received = nullptr) {
        if (fd_ < 0) return true;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                if (received) received->append(buffer, got);
                continue;
            }
            return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        }
    }

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};
