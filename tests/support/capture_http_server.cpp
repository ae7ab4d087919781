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
    const QList<QByteArray> request = socket->readLine().split(' ');
    socket->readAll();
    const QString name = request.size() > 1 ? QString::fromUtf8(request[1]).mid(1) : QString();
    QFile file(QDir(folder_).filePath(name));
    QByteArray head;
    QByteArray body;
    // "status404-NAME" is answered with that status, and NAME's content when it exists.
    static const QRegularExpression status(QStringLiteral("^status(\\d{3})-"));
    if (const auto match = status.match(name); match.hasMatch()) {
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
