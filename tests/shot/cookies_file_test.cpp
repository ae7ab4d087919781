// glimpa-shot's cookies: the lines of a cookies file taken or refused, the file itself
// (missing, a folder, a device, a pipe, too large), and the cookie of --cookie.
#include <fcntl.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "shot/cookies_file.h"
#include "support/special_files.h"

namespace {

constexpr qint64 kNow = 1700000000;

// Every field in one line, so that a table row states the whole cookie.
QString Describe(const QNetworkCookie& c) {
    return QStringLiteral("%1 %2 %3 %4 %5 %6=%7")
        .arg(c.domain(), c.path(), c.isSecure() ? "secure" : "-", c.isHttpOnly() ? "httponly" : "-",
             c.isSessionCookie() ? QStringLiteral("session")
                                 : QString::number(c.expirationDate().toSecsSinceEpoch()),
             QString::fromUtf8(c.name()), QString::fromUtf8(c.value()));
}

QStringList Describe(const std::vector<QNetworkCookie>& cookies) {
    QStringList out;
    for (const QNetworkCookie& c : cookies) out << Describe(c);
    return out;
}

}  // namespace

class CookiesFileTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void lines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("cookies");
        QTest::addColumn<QString>("error");
        const QStringList none;
        QTest::newRow("as a downloader writes it")
            << QByteArray(
                   "# Netscape HTTP Cookie File\n# This file was generated.\n\n"
                   "example.com\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
                   ".example.org\tTRUE\t/app\tTRUE\t1800000000\tt\tv 1\n")
            << QStringList{"example.com / - - session sid=abc",
                           ".example.org /app secure - 1800000000 t=v 1"}
            << "";
        QTest::newRow("HttpOnly mark") << QByteArray("#HttpOnly_a.org\tFALSE\t/\tTRUE\t0\tn\tv\n")
                                       << QStringList{"a.org / secure httponly session n=v"} << "";
        QTest::newRow("commented-out cookie")
            << QByteArray("# a.org\tFALSE\t/\tFALSE\t0\tn\tv\n#HttpOnly a.org\n") << none << "";
        QTest::newRow("CRLF, last line unended")
            << QByteArray(
                   "a.org\tFALSE\t/\tFALSE\t0\tn\tv\r\n\r\nb.org\tFALSE\t/\tFALSE\t0\tm\tw\r")
            << QStringList{"a.org / - - session n=v", "b.org / - - session m=w"} << "";
        QTest::newRow("empty value") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\t\n")
                                     << QStringList{"a.org / - - session n="} << "";
        QTest::newRow("value with spaces and =")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\t a=b c \n")
            << QStringList{"a.org / - - session n= a=b c "} << "";
        QTest::newRow("subdomains without the dot")
            << QByteArray("A.Org\tTRUE\t/\tfalse\t0\tn\tv\n")
            << QStringList{".a.org / - - session n=v"} << "";
        QTest::newRow("dot with FALSE") << QByteArray(".a.org\tFALSE\t/\ttrue\t0\tn\tv\n")
                                        << QStringList{".a.org / secure - session n=v"} << "";
        QTest::newRow("expired and just expired left out")
            << QByteArray(
                   "a.org\tFALSE\t/\tFALSE\t1\told\tv\n"
                   "a.org\tFALSE\t/\tFALSE\t1700000000\tnow\tv\n"
                   "a.org\tFALSE\t/\tFALSE\t1700000001\tnext\tv\n")
            << QStringList{"a.org / - - 1700000001 next=v"} << "";
        QTest::newRow("far future held at the year 9999")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t99999999999999999999\tn\tv\n")
            << QStringList{"a.org / - - 253402300799 n=v"} << "";
        QTest::newRow("empty file") << QByteArray() << none << "";
        QTest::newRow("blank lines only") << QByteArray("\n  \n\r\n") << none << "";

        QTest::newRow("six fields")
            << QByteArray("# c\n\na.org\tFALSE\t/\tFALSE\t0\tn\n") << none
            << "line 3: DOMAIN SUBDOMAINS PATH SECURE EXPIRY NAME VALUE separated by tabs "
               "expected, 6 field(s) found";
        QTest::newRow("tab in the value")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv\tw\n") << none << "line 1: DOMAIN";
        QTest::newRow("spaces for tabs")
            << QByteArray("a.org FALSE / FALSE 0 n v\n") << none << "line 1: DOMAIN";
        QTest::newRow("HttpOnly mark alone")
            << QByteArray("#HttpOnly_\n") << none << "line 1: DOMAIN";
        QTest::newRow("subdomains neither") << QByteArray("a.org\tyes\t/\tFALSE\t0\tn\tv\n") << none
                                            << "line 1: SUBDOMAINS is 'yes'";
        QTest::newRow("secure neither")
            << QByteArray("a.org\tFALSE\t/\t1\t0\tn\tv\n") << none << "line 1: SECURE is '1'";
        QTest::newRow("negative expiry") << QByteArray("a.org\tFALSE\t/\tFALSE\t-5\tn\tv\n") << none
                                         << "line 1: the expiry '-5'";
        QTest::newRow("fractional expiry") << QByteArray("a.org\tFALSE\t/\tFALSE\t1.5\tn\tv\n")
                                           << none << "line 1: the expiry '1.5'";
        QTest::newRow("empty expiry")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t\tn\tv\n") << none << "line 1: the expiry ''";
        // Checked before the expiry, so that a broken line is told even when out of date.
        QTest::newRow("empty name, expired") << QByteArray("a.org\tFALSE\t/\tFALSE\t1\t\tv\n")
                                             << none << "line 1: the cookie has no name";
        QTest::newRow("space in the name") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\ta b\tv\n")
                                           << none << "line 1: the name 'a b' holds a space";
        QTest::newRow("= in the name") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\ta=b\tv\n") << none
                                       << "line 1: the name 'a=b' holds '='";
        QTest::newRow("; in the value") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv;w\n") << none
                                        << "line 1: the value holds ';'";
        QTest::newRow("no domain") << QByteArray("\tFALSE\t/\tFALSE\t0\tn\tv\n") << none
                                   << "line 1: the cookie has no domain";
        QTest::newRow("a dot for domain") << QByteArray(".\tTRUE\t/\tFALSE\t0\tn\tv\n") << none
                                          << "line 1: the cookie has no domain";
        QTest::newRow("space in the domain")
            << QByteArray("a .org\tFALSE\t/\tFALSE\t0\tn\tv\n") << none
            << "line 1: the domain 'a .org' is not a host name";
        QTest::newRow("relative path") << QByteArray("a.org\tFALSE\tapp\tFALSE\t0\tn\tv\n") << none
                                       << "line 1: the path 'app' does not start";
        QTest::newRow("CR inside") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv\rw\n") << none
                                   << "line 1: a control character (U+000D) in the line";
        QTest::newRow("NUL in the value")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv\0w\n",
                          sizeof("a.org\tFALSE\t/\tFALSE\t0\tn\tv\0w\n") - 1)
            << none << "line 1: a control character (U+0000) in the line";
        QTest::newRow("delete in the name") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\x7f\tv\n")
                                            << none << "line 1: a control character (U+007F)";
        QTest::newRow("a bad line after good ones")
            << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv\nb.org\tFALSE\t/\tFALSE\t0\tm\n") << none
            << "line 2: DOMAIN";
    }
    void lines() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, cookies);
        QFETCH(QString, error);
        const CookiesList list = ParseCookiesText(text, kNow);
        QCOMPARE(Describe(list.cookies), cookies);
        if (error.isEmpty())
            QCOMPARE(list.error, QString());
        else
            QVERIFY2(list.error.startsWith(error), qPrintable(list.error));
    }

    // A server may set bytes that are not UTF-8; they go back to it as they came.
    void valueBytesKept() {
        const CookiesList list =
            ParseCookiesText("a.org\tFALSE\t/\tFALSE\t0\tn\xe9\tcaf\xe9\xff\n", kNow);
        QCOMPARE(list.error, QString());
        QCOMPARE(list.cookies.size(), size_t(1));
        QCOMPARE(list.cookies[0].name(), QByteArray("n\xe9"));
        QCOMPARE(list.cookies[0].value(), QByteArray("caf\xe9\xff"));
    }

    void option_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cookie");
        QTest::addColumn<QString>("error");
        QTest::newRow("plain") << "sid=abc"
                               << " / - - session sid=abc"
                               << "";
        QTest::newRow("empty value") << "sid="
                                     << " / - - session sid="
                                     << "";
        QTest::newRow("= in the value") << "sid=a=b c"
                                        << " / - - session sid=a=b c"
                                        << "";
        QTest::newRow("beyond ASCII") << "név=érték"
                                      << " / - - session név=érték"
                                      << "";
        QTest::newRow("no =") << "sid"
                              << ""
                              << "NAME=VALUE expected";
        QTest::newRow("no name") << "=abc"
                                 << ""
                                 << "the cookie has no name";
        QTest::newRow("; in the name") << "s;d=1"
                                       << ""
                                       << "the name 's;d' holds ';'";
        QTest::newRow(", in the name") << "s,d=1"
                                       << ""
                                       << "the name 's,d' holds ','";
        QTest::newRow("space in the name") << "s d=1"
                                           << ""
                                           << "the name 's d' holds a space";
        QTest::newRow("wide space in the name")
            << QStringLiteral("s\u3000d=1") << ""
            << QStringLiteral("the name 's\u3000d' holds a space");
        QTest::newRow("tab in the name") << "s\td=1"
                                         << ""
                                         << "a control character (U+0009) in the name";
        QTest::newRow("; in the value") << "sid=a;b"
                                        << ""
                                        << "the value holds ';'";
        QTest::newRow("newline in the value") << "sid=a\nb"
                                              << ""
                                              << "a control character (U+000A) in the value";
        QTest::newRow("delete in the value") << "sid=a\x7f"
                                             << ""
                                             << "a control character (U+007F) in the value";
    }
    void option() {
        QFETCH(QString, text);
        QFETCH(QString, cookie);
        QFETCH(QString, error);
        QString why;
        const std::optional<QNetworkCookie> got = CookieFromOption(text, &why);
        QCOMPARE(got ? Describe(*got) : QString(), cookie);
        QCOMPARE(why, error);
    }

    void file() {
        QTemporaryDir dir;
        const QString missing = dir.filePath("none.txt");
        QVERIFY(ReadCookiesFile(missing).error.startsWith("cannot read the cookies file: "));
        QCOMPARE(ReadCookiesFile(dir.path()).error,
                 QStringLiteral("cannot read the cookies file: not a regular file or a pipe"));
        QCOMPARE(ReadCookiesFile("/dev/zero").error,
                 QStringLiteral("cannot read the cookies file: not a regular file or a pipe"));

        // Expiry against the clock: long gone, the session, and the year 2100.
        QFile text(dir.filePath("cookies.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(
            "a.org\tFALSE\t/\tFALSE\t1\told\tv\n"
            "a.org\tFALSE\t/\tFALSE\t0\tsession\tv\n"
            "a.org\tFALSE\t/\tFALSE\t4102444800\tlater\tv\n");
        text.close();
        const CookiesList read = ReadCookiesFile(text.fileName());
        QCOMPARE(read.error, QString());
        QCOMPARE(Describe(read.cookies),
                 (QStringList{"a.org / - - session session=v", "a.org / - - 4102444800 later=v"}));
    }

    // Sparse files: the largest is read through (its NULs are what it refuses), one byte
    // more is not read at all.
    void sizeCap() {
        QTemporaryDir dir;
        QFile largest(dir.filePath("largest.txt"));
        QVERIFY(largest.open(QIODevice::WriteOnly) && largest.resize(kLargestCookiesFile));
        largest.close();
        QCOMPARE(ReadCookiesFile(largest.fileName()).error,
                 QStringLiteral("line 1: a control character (U+0000) in the line"));
        QFile larger(dir.filePath("larger.txt"));
        QVERIFY(larger.open(QIODevice::WriteOnly) && larger.resize(kLargestCookiesFile + 1));
        larger.close();
        QCOMPARE(ReadCookiesFile(larger.fileName()).error,
                 QStringLiteral("cannot read the cookies file: larger than %1 bytes")
                     .arg(kLargestCookiesFile));
    }

    void pipe_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("cookies");
        QTest::addColumn<QString>("error");
        QTest::newRow("one cookie") << QByteArray("a.org\tFALSE\t/\tFALSE\t0\tn\tv\n")
                                    << QStringList{"a.org / - - session n=v"} << "";
        // Its size is not known beforehand: the cap holds while reading.
        QTest::newRow("over the cap") << QByteArray(kLargestCookiesFile + 1, '\n') << QStringList{}
                                      << "the cookies file is larger than 16 MiB";
    }
    void pipe() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, cookies);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe");
        QVERIFY(testsupport::MakeSpecial(fifo, testsupport::Special::Fifo));
        bool wrote = false;
        std::thread writer = testsupport::FeedFifo(fifo, bytes, &wrote);
        const CookiesList list = ReadCookiesFile(fifo);
        writer.join();
        QCOMPARE(list.error, error);
        QCOMPARE(Describe(list.cookies), cookies);
    }
};

QTEST_GUILESS_MAIN(CookiesFileTest)
#include "cookies_file_test.moc"
