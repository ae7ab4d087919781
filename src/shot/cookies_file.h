#pragma once
// Cookies for glimpa-shot's pages: a cookies file as command-line downloaders read and
// write it, one cookie a line in seven fields separated by tabs,
//   DOMAIN  SUBDOMAINS  PATH  SECURE  EXPIRY  NAME  VALUE
// SUBDOMAINS and SECURE are TRUE or FALSE, EXPIRY is in seconds since 1970 (0 for a cookie
// of the session only). Lines starting with '#' are comments, except that "#HttpOnly_"
// before the domain marks a cookie that the page's scripts may not see; blank lines are
// skipped. And one cookie given as NAME=VALUE on the command line.
#include <QByteArray>
#include <QNetworkCookie>
#include <QString>
#include <optional>
#include <vector>

// The cookies, or the first line that is not usable and why (then `cookies` is empty).
// A cookie for the subdomains too has a domain starting with '.', one for its host alone
// has none, as QNetworkCookieJar reads them.
struct CookiesList {
    std::vector<QNetworkCookie> cookies;
    QString error;
};

// The largest cookies file read (a pipe is read up to it).
inline constexpr qint64 kLargestCookiesFile = 16 << 20;

// The cookies in `bytes`, those expired at `now` (seconds since 1970) left out. Names and
// values are kept byte for byte: a server may have set ones that are not UTF-8.
CookiesList ParseCookiesText(const QByteArray& bytes, qint64 now);

// The same for a file (or a pipe) read now; a file that cannot be read, a device, or one
// larger than kLargestCookiesFile is an error too.
CookiesList ReadCookiesFile(const QString& path);

// The cookie of "NAME=VALUE", for the whole site (path "/") and the session; its domain is
// left empty for the caller to set to the page's host. Null, with `error` set, when the
// name is empty or holds ';', ',', '=', a space or a control character, or the value holds
// ';' or a control character.
std::optional<QNetworkCookie> CookieFromOption(const QString& nameValue, QString* error);
