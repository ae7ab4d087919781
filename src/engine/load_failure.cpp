#include "engine/load_failure.h"

#include <QWebEngineLoadingInfo>

QString HttpStatusText(int status) {
    static const struct {
        int status;
        const char* phrase;
    } kPhrases[] = {
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {412, "Precondition Failed"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {416, "Range Not Satisfiable"},
        {417, "Expectation Failed"},
        {418, "I'm a teapot"},
        {421, "Misdirected Request"},
        {422, "Unprocessable Content"},
        {423, "Locked"},
        {424, "Failed Dependency"},
        {425, "Too Early"},
        {426, "Upgrade Required"},
        {428, "Precondition Required"},
        {429, "Too Many Requests"},
        {431, "Request Header Fields Too Large"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"},
        {506, "Variant Also Negotiates"},
        {507, "Insufficient Storage"},
        {508, "Loop Detected"},
        {510, "Not Extended"},
        {511, "Network Authentication Required"},
    };
    for (const auto& entry : kPhrases)
        if (entry.status == status)
            return QStringLiteral("HTTP %1 %2").arg(status).arg(QLatin1StringView(entry.phrase));
    return QStringLiteral("HTTP %1").arg(status);
}

QString LoadFailureReason(const QWebEngineLoadingInfo& info) {
    // The browser's numbers for network errors: -7 and -118 are time-outs, -102 a refused
    // connection, -105 and -137 a name that did not resolve, -312 a port it refuses; -100 to -199
    // hold the TLS handshake's errors too, named "SSL" by the browser.
    const int code = info.errorCode();
    const QString name = info.errorString();
    QString what;
    switch (info.errorDomain()) {
        case QWebEngineLoadingInfo::DnsErrorDomain:
            what = QStringLiteral("the host was not found");
            break;
        case QWebEngineLoadingInfo::CertificateErrorDomain:
            what = QStringLiteral("a TLS error: the server's certificate was refused");
            break;
        case QWebEngineLoadingInfo::HttpStatusCodeDomain:
            what = QStringLiteral("the server answered %1 with no page").arg(HttpStatusText(code));
            break;
        case QWebEngineLoadingInfo::ConnectionErrorDomain:
        case QWebEngineLoadingInfo::HttpErrorDomain:
        case QWebEngineLoadingInfo::InternalErrorDomain:
        case QWebEngineLoadingInfo::FtpErrorDomain:
        case QWebEngineLoadingInfo::NoErrorDomain:
            if (code == -105 || code == -137)
                what = QStringLiteral("the host was not found");
            else if (code == -102)
                what = QStringLiteral("the connection was refused");
            else if (code == -7 || code == -118)
                what = QStringLiteral("the connection timed out");
            else if (code == -312)
                what = QStringLiteral("the port is one browsers never connect to");
            else if (code == -6)
                what = QStringLiteral("there is no such file");
            else if (name.contains(QLatin1String("SSL"), Qt::CaseInsensitive) ||
                     name.contains(QLatin1String("CERT"), Qt::CaseInsensitive))
                what = QStringLiteral("a TLS error");
            break;
    }
    if (what.isEmpty()) return name.isEmpty() ? QStringLiteral("error %1").arg(code) : name;
    if (name.isEmpty() || info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return what;
    return QStringLiteral("%1 (%2)").arg(what, name);
}
