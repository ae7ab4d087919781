// glimpa-shot's cookies from any bytes: a list of cookies or one reason, never both, and
// every cookie one the page can be given as it stands; the same bytes as --cookie's
// NAME=VALUE.
#include <QDateTime>
#include <cstdint>

#include "fuzz_check.h"
#include "shot/cookies_file.h"

namespace {

constexpr qint64 kNow = 1700000000;

// Nothing that would end a line of the file or split the Cookie header.
bool Clean(QByteArrayView text) {
    for (const char c : text)
        if ((c >= 0 && c < ' ') || c == '\x7f' || c == ';') return false;
    return true;
}

bool CleanName(QByteArrayView name) {
    return !name.isEmpty() && Clean(name) && !name.contains(',') && !name.contains('=') &&
           !name.contains(' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CookiesList list = ParseCookiesText(bytes, kNow);
    FUZZ_CHECK(list.error.isEmpty() || list.cookies.empty());
    for (const QNetworkCookie& cookie : list.cookies) {
        FUZZ_CHECK(CleanName(cookie.name()));
        FUZZ_CHECK(Clean(cookie.value()));
        const QString domain = cookie.domain();
        FUZZ_CHECK(!domain.isEmpty() && domain != u".");
        FUZZ_CHECK(domain == domain.toLower());
        FUZZ_CHECK(cookie.path().startsWith(u'/'));
        // A session cookie, or one still good at kNow.
        FUZZ_CHECK(cookie.isSessionCookie() || cookie.expirationDate().isValid());
        FUZZ_CHECK(cookie.isSessionCookie() || cookie.expirationDate().toSecsSinceEpoch() > kNow);
    }

    QString error;
    const std::optional<QNetworkCookie> option = CookieFromOption(QString::fromUtf8(bytes), &error);
    FUZZ_CHECK(option.has_value() == error.isEmpty());
    if (option) {
        FUZZ_CHECK(CleanName(option->name()));
        FUZZ_CHECK(Clean(option->value()));
        FUZZ_CHECK(option->domain().isEmpty());
    }
    return 0;
}
