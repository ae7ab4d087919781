#include "support/capture_http_server.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

FolderServer::FolderServer(QString folder, int pictureDelayMs)
    : folder_(std::move(folder)), pictureDelayMs_(pictureDelayMs) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString FolderServer::Address(const QString& name, const QString& host) const {
    return QStringLiteral("http://%1:%2/%3").arg(host).arg(server_.serverPort()).arg(name);
}

void FolderServer::Answer(QTcpSocket* socket) {
    if (!socket->canReadLine()) return;
    const QByteArray first = socket->readLine();
    const QByteArray rest = socket->readAll();
    requests_ += first + rest;
    const QList<QByteArray> request = first.split(' ');
    const QString name = request.size() > 1 ? QString::fromUtf8(request[1]).mid(1) : QString();
    QFile file(QDir(folder_).filePath(name));
    QByteArray head;
    QByteArray body;
    // "auth-NAME" asks for the user "user" with the password "pass".
    const bool refused = name.startsWith(QLatin1String("auth-")) &&
                         !rest.contains("Authorization: Basic dXNlcjpwYXNz\r\n");
    // "status404-NAME" is answered with that status, and NAME's content when it exists.
    static const QRegularExpression status(QStringLiteral("^status(\\d{3})-"));
    if (refused) {
        body = "<!doctype html><title>no</title>";
        head =
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"test\"\r\n"
            "Content-Type: text/html\r\n";
    } else if (const auto match = status.match(name); match.hasMatch()) {
        if (!name.contains(QLatin1String("..")) && file.open(QIODevice::ReadOnly))
            body = file.readAll();
        head =
            "HTTP/1.1 " + match.captured(1).toLatin1() + " Whatever\r\nContent-Type: text/html\r\n";
    } else if (!name.contains(QLatin1String("..")) && file.open(QIODevice::ReadOnly)) {
        body = file.readAll();
        const QByteArray type = name.endsWith(QLatin1String(".png"))   ? "image/png"
                                : name.endsWith(QLatin1String(".css")) ? "text/css"
                                                                       : "text/html";
        head = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n";
    } else {
        head = "HTTP/1.1 404 Not Found\r\n";
    }
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    const bool picture = name.endsWith(QLatin1String(".png"));
    QTimer::singleShot(picture ? pictureDelayMs_ : 0, socket,
                       [socket = QPointer<QTcpSocket>(socket), reply = head + body] {
                           if (!socket) return;
                           socket->write(reply);
                           socket->disconnectFromHost();
                       });
}
