#pragma once
// A small web server for the capture tests: serves the program folder over HTTP, so
// that pages behave as pages from the web do (the browser defers lazy images only there).
#include <QTcpServer>

class FolderServer : public QObject {
    Q_OBJECT
  public:
    // Pictures are sent `pictureDelayMs` after they are asked for, as from a slow site.
    FolderServer(QString folder, int pictureDelayMs);

    // "http://<host>:<port>/<name>"; another host name is another origin. A name
    // "statusNNN-..." is answered with HTTP status NNN and the file's content, if any;
    // "auth-..." only to the user "user" with the password "pass".
    QString Address(const QString& name, const QString& host = QStringLiteral("127.0.0.1")) const;

    // Every request's head as it came, one after the other.
    QByteArray Requests() const { return requests_; }

  private:
    void Answer(QTcpSocket* socket);

    QString folder_;
    int pictureDelayMs_;
    QTcpServer server_;
    QByteArray requests_;
};
