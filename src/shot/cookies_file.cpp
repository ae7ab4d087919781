#include "shot/cookies_file.h"

#include <QDateTime>
#include <algorithm>

#include "files/regular_file.h"

namespace {

// The latest expiry kept, 9999-12-31 23:59:59 UTC: later ones are as good as never, and
// some second counts are beyond what QDateTime holds.
constexpr qint64 kLatestExpiry = 253402300799;

// "a control character (U+XXXX) in `where`" for the first one in `text` that is not among
// `allowed`; empty when there is none. The bytes of UTF-8 beyond ASCII are none of them.
QString ControlIn(QByteArrayView text, QByteArrayView allowed, const char* where) {
    for (const char c : text)
        if ((c >= 0 && c < ' ' && !allowed.contains(c)) || c == '\x7f')
            return QStringLiteral("a control character (U+%1) in the %2")
                .arg(QString::number(uchar(c), 16).toUpper().rightJustified(4, u'0'))
                .arg(QLatin1String(where));
    return {};
}

// A name that would split or end the Cookie header the page sends, or one that no server
// can have set.
QString NameProblem(QByteArrayView name) {
    if (name.isEmpty()) return QStringLiteral("the cookie has no name");
    for (const char c : name)
        if (c == ';' || c == ',' || c == '=')
            return QStringLiteral("the name '%1' holds '%2'")
                .arg(QString::fromUtf8(name), QChar::fromLatin1(c));
    const QString text = QString::fromUtf8(name);
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); }))
        return QStringLiteral("the name '%1' holds a space").arg(text);
    return {};
}

QString ValueProblem(QByteArrayView value) {
    if (value.contains(';')) return QStringLiteral("the value holds ';'");
    return {};
}

std::optional<bool> TrueOrFalse(const QByteArray& field) {
    if (field.compare("TRUE", Qt::CaseInsensitive) == 0) return true;
    if (field.compare("FALSE", Qt::CaseInsensitive) == 0) return false;
    return std::nullopt;
}

// Seconds since 1970, 0 for the session; null for anything but digits.
std::optional<qint64> Expiry(const QByteArray& field) {
    if (field.isEmpty() ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    bool fits = false;
    const qint64 seconds = field.toLongLong(&fits);
    return fits ? std::min(seconds, kLatestExpiry) : kLatestExpiry;
}

}  // namespace

CookiesList ParseCookiesText(const QByteArray& bytes, qint64 now) {
    static const QByteArray httpOnlyMark = QByteArrayLiteral("#HttpOnly_");
    CookiesList list;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        QByteArray line = lines.at(i);
        if (line.endsWith('\r')) line.chop(1);
        const bool httpOnly = line.startsWith(httpOnlyMark);
        if (httpOnly)
            line.remove(0, httpOnlyMark.size());
        else if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        const auto fail = [&](const QString& why) {
            return CookiesList{{}, QStringLiteral("line %1: %2").arg(number).arg(why)};
        };
        if (const QString control = ControlIn(line, "\t", "line"); !control.isEmpty())
            return fail(control);
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 7)
            return fail(QStringLiteral("DOMAIN SUBDOMAINS PATH SECURE EXPIRY NAME VALUE "
                                       "separated by tabs expected, %1 field(s) found")
                            .arg(fields.size()));
        QByteArray host = fields.at(0).toLower();
        const bool dotted = host.startsWith('.');
        if (dotted) host.remove(0, 1);
        if (host.isEmpty()) return fail(QStringLiteral("the cookie has no domain"));
        // Names beyond ASCII are written in their xn-- form; a space is in no host name.
        if (std::any_of(host.begin(), host.end(), [](char c) { return c <= ' '; }))
            return fail(QStringLiteral("the domain '%1' is not a host name")
                            .arg(QString::fromUtf8(fields.at(0))));
        const std::optional<bool> subdomains = TrueOrFalse(fields.at(1));
        if (!subdomains)
            return fail(QStringLiteral("SUBDOMAINS is '%1', not TRUE or FALSE")
                            .arg(QString::fromUtf8(fields.at(1))));
        const QByteArray& path = fields.at(2);
        if (!path.startsWith('/'))
            return fail(QStringLiteral("the path '%1' does not start with '/'")
                            .arg(QString::fromUtf8(path)));
        const std::optional<bool> secure = TrueOrFalse(fields.at(3));
        if (!secure)
            return fail(QStringLiteral("SECURE is '%1', not TRUE or FALSE")
                            .arg(QString::fromUtf8(fields.at(3))));
        const std::optional<qint64> expiry = Expiry(fields.at(4));
        if (!expiry)
            return fail(QStringLiteral("the expiry '%1' is not a number of seconds")
                            .arg(QString::fromUtf8(fields.at(4))));
        if (const QString problem = NameProblem(fields.at(5)); !problem.isEmpty())
            return fail(problem);
        if (const QString problem = ValueProblem(fields.at(6)); !problem.isEmpty())
            return fail(problem);
        // A cookie the server let run out is one the browser would not send either.
        if (*expiry != 0 && *expiry <= now) continue;
        QNetworkCookie cookie(fields.at(5), fields.at(6));
        const bool forSubdomains = dotted || *subdomains;
        cookie.setDomain(QString::fromLatin1(forSubdomains ? "." + host : host));
        cookie.setPath(QString::fromUtf8(path));
        cookie.setSecure(*secure);
        cookie.setHttpOnly(httpOnly);
        if (*expiry != 0) cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(*expiry, Qt::UTC));
        list.cookies.push_back(cookie);
    }
    return list;
}

CookiesList ReadCookiesFile(const QString& path) {
    const RegularFile file = OpenRegularFileOrPipe(path, kLargestCookiesFile);
    if (!file.file)
        return {{}, QStringLiteral("cannot read the cookies file: %1").arg(file.reason)};
    const QByteArray bytes = file.file->read(kLargestCookiesFile + 1);
    if (bytes.size() > kLargestCookiesFile)
        return {{},
                QStringLiteral("the cookies file is larger than %1 MiB")
                    .arg(kLargestCookiesFile >> 20)};
    return ParseCookiesText(bytes, QDateTime::currentSecsSinceEpoch());
}

std::optional<QNetworkCookie> CookieFromOption(const QString& nameValue, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return std::nullopt;
    };
    const qsizetype equals = nameValue.indexOf(u'=');
    if (equals < 0) return fail(QStringLiteral("NAME=VALUE expected"));
    const QByteArray name = nameValue.left(equals).toUtf8();
    const QByteArray value = nameValue.mid(equals + 1).toUtf8();
    if (const QString control = ControlIn(name, "", "name"); !control.isEmpty())
        return fail(control);
    if (const QString control = ControlIn(value, "", "value"); !control.isEmpty())
        return fail(control);
    if (const QString problem = NameProblem(name); !problem.isEmpty()) return fail(problem);
    if (const QString problem = ValueProblem(value); !problem.isEmpty()) return fail(problem);
    QNetworkCookie cookie(name, value);
    cookie.setPath(QStringLiteral("/"));
    return cookie;
}
