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
    QNetworkReply* reply = manager.sendCustomRequest(request, method);
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
