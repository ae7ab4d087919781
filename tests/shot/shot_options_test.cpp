// glimpa-shot's command line without a browser: every option read or refused, the
// addresses it takes, the batch file's lines, and the status of a batch.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "shot/project_version.h"

#include "shot/batch_file.h"
#include "shot/memory_budget.h"
#include "shot/shot_exit.h"
#include "shot/shot_help.h"
#include "shot/shot_options.h"
#include "support/special_files.h"

Q_DECLARE_METATYPE(ShotExit)

namespace {

// Every field in one line, so that a table row states the whole outcome.
QString Describe(const ShotOptions& o) {
    const char* action = o.action == ShotAction::Help      ? "help"
                         : o.action == ShotAction::Version ? "version"
                                                           : "shoot";
    return QStringLiteral("%1 w=%2 h=%3 n=%4 s=%5 q=%6%7 m=%8 t=%9 j=%10 b=%11 [%12] [%13]")
        .arg(QLatin1String(action))
        .arg(o.width)
        .arg(o.height)
        .arg(o.screens)
        .arg(o.scale)
        .arg(o.quality)
        .arg(o.progressive ? QStringLiteral("p") : QString())
        .arg(o.maxHeight)
        .arg(o.timeoutSeconds)
        .arg(o.jobs)
        .arg(o.batchFile, o.address, o.output);
}

const QString kDefaults = QStringLiteral("w=1920 h=1080 n=0 s=1 q=85 m=100000 t=30 j=2 b=");

QString Shoot(const QString& fields, const QString& address, const QString& output) {
    return QStringLiteral("shoot %1 [%2] [%3]").arg(fields, address, output);
}

}  // namespace

class ShotOptionsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome");  // Describe() or "error: <part of the message>"
        const QString page = QStringLiteral("https://example.org/");
        const auto shoot = [&](const QString& fields, const QString& output = "p.png") {
            return Shoot(fields, page, output);
        };
        QTest::newRow("defaults") << QStringList{page, "p.png"} << shoot(kDefaults);
        QTest::newRow("every option, separate values")
            << QStringList{"--width",   "1280",      "--height",      "720",
                           "--screens", "2.5",       "--scale",       "2",
                           "--quality", "92",        "--progressive", "--max-height",
                           "5000",      "--timeout", "1.5",           page,
                           "a.jpeg"}
            << shoot("w=1280 h=720 n=2.5 s=2 q=92p m=5000 t=1.5 j=2 b=", "a.jpeg");
        QTest::newRow("values after =")
            << QStringList{"--width=800", "--screens=0.25", page, "x.bmp"}
            << shoot("w=800 h=1080 n=0.25 s=1 q=85 m=100000 t=30 j=2 b=", "x.bmp");
        QTest::newRow("options after the arguments")
            << QStringList{page, "p.gif", "--height", "600"}
            << shoot("w=1920 h=600 n=0 s=1 q=85 m=100000 t=30 j=2 b=", "p.gif");
        QTest::newRow("single dash long option")
            << QStringList{"-width", "640", page, "p.png"}
            << shoot("w=640 h=1080 n=0 s=1 q=85 m=100000 t=30 j=2 b=");
        QTest::newRow("range ends")
            << QStringList{"--width",   "16", "--height",     "16384",   "--scale", "0.25",
                           "--quality", "1",  "--max-height", "1000000", page,      "p.jpg"}
            << shoot("w=16 h=16384 n=0 s=0.25 q=1 m=1000000 t=30 j=2 b=", "p.jpg");
        // The widest view and the largest scale each; together they would make a picture
        // wider than any the formats hold.
        QTest::newRow("upper ends")
            << QStringList{"--width",      "16384", "--quality", "100",
                           "--max-height", "1",     page,        "p.jpg"}
            << shoot("w=16384 h=1080 n=0 s=1 q=100 m=1 t=30 j=2 b=", "p.jpg");
        QTest::newRow("upper end of scale")
            << QStringList{"--width", "3276", "--scale", "5", page, "p.png"}
            << shoot("w=3276 h=1080 n=0 s=5 q=85 m=100000 t=30 j=2 b=");
        QTest::newRow("-- before an output that looks like an option")
            << QStringList{"--", page, "-x.png"} << shoot(kDefaults, "-x.png");
        QTest::newRow("page file, upper-case ending")
            << QStringList{"docs/Manual.HTML", "m.PNG"}
            << Shoot(kDefaults, "docs/Manual.HTML", "m.PNG");
        QTest::newRow("batch")
            << QStringList{"--batch", "list.txt", "--jobs", "3", "--width", "1024"}
            << QStringLiteral(
                   "shoot w=1024 h=1080 n=0 s=1 q=85 m=100000 t=30 j=3 b=list.txt [] []");
        QTest::newRow("batch, default jobs")
            << QStringList{"--batch=list.txt"}
            << QStringLiteral(
                   "shoot w=1920 h=1080 n=0 s=1 q=85 m=100000 t=30 j=2 b=list.txt [] []");
        QTest::newRow("help wins") << QStringList{"--width", "0", "--help"}
                                   << QStringLiteral("help ") + kDefaults + " [] []";
        QTest::newRow("-h") << QStringList{"-h"} << QStringLiteral("help ") + kDefaults + " [] []";
        QTest::newRow("version") << QStringList{"--version"}
                                 << QStringLiteral("version ") + kDefaults + " [] []";

        const auto error = [](const char* part) { return QStringLiteral("error: ") + part; };
        QTest::newRow("nothing") << QStringList{} << error("ADDRESS and OUTPUT missing");
        QTest::newRow("no output") << QStringList{page} << error("OUTPUT missing");
        QTest::newRow("three arguments")
            << QStringList{page, "a.png", "b.png"} << error("'b.png' is one too many");
        QTest::newRow("unknown option")
            << QStringList{"--wdith", "5", page, "p.png"} << error("Unknown option 'wdith'");
        QTest::newRow("value missing")
            << QStringList{page, "p.png", "--width"} << error("Missing value after '--width'");
        QTest::newRow("width letters") << QStringList{"--width", "wide", page, "p.png"}
                                       << error("--width: 'wide' is not a whole number");
        QTest::newRow("width fraction")
            << QStringList{"--width", "100.5", page, "p.png"} << error("--width: '100.5'");
        QTest::newRow("width too small")
            << QStringList{"--width", "15", page, "p.png"} << error("from 16 to 16384");
        QTest::newRow("height too large")
            << QStringList{"--height", "16385", page, "p.png"} << error("--height: '16385'");
        QTest::newRow("height negative")
            << QStringList{"--height=-5", page, "p.png"} << error("--height: '-5'");
        QTest::newRow("screens zero") << QStringList{"--screens", "0", page, "p.png"}
                                      << error("--screens: '0' is not a number of screens above 0");
        QTest::newRow("screens nan")
            << QStringList{"--screens", "nan", page, "p.png"} << error("--screens: 'nan'");
        QTest::newRow("screens inf")
            << QStringList{"--screens", "inf", page, "p.png"} << error("--screens: 'inf'");
        QTest::newRow("screens at the upper end")
            << QStringList{"--screens", "100000", page, "p.png"}
            << shoot("w=1920 h=1080 n=100000 s=1 q=85 m=100000 t=30 j=2 b=");
        QTest::newRow("screens past the upper end")
            << QStringList{"--screens", "100000.5", page, "p.png"}
            << error("--screens: '100000.5'");
        QTest::newRow("scale too small") << QStringList{"--scale", "0.2", page, "p.png"}
                                         << error("--scale: '0.2' is not a pixel ratio");
        QTest::newRow("scale too large")
            << QStringList{"--scale", "5.01", page, "p.png"} << error("--scale: '5.01'");
        // The picture's width is known before loading: no wider than the formats hold.
        QTest::newRow("width times scale too wide")
            << QStringList{"--width", "4000", "--scale", "5", page, "p.png"}
            << error("--width 4000 at --scale 5 makes a picture 20000 pixels wide; at most 16384");
        QTest::newRow("width times scale at the edge")
            << QStringList{"--width", "8192", "--scale", "2", page, "p.png"}
            << shoot("w=8192 h=1080 n=0 s=2 q=85 m=100000 t=30 j=2 b=");
        QTest::newRow("max-memory too small")
            << QStringList{"--max-memory", "63", page, "p.png"}
            << error("--max-memory: '63' is not a whole number of MiB from 64");
        QTest::newRow("max-memory words")
            << QStringList{"--max-memory", "lots", page, "p.png"} << error("--max-memory: 'lots'");
        QTest::newRow("quality 0") << QStringList{"--quality", "0", page, "p.jpg"}
                                   << error("--quality: '0' is not a whole number from 1 to 100");
        QTest::newRow("quality 101")
            << QStringList{"--quality", "101", page, "p.jpg"} << error("--quality: '101'");
        QTest::newRow("max-height 0")
            << QStringList{"--max-height", "0", page, "p.png"} << error("--max-height: '0'");
        QTest::newRow("max-height too large")
            << QStringList{"--max-height", "1000001", page, "p.png"} << error("--max-height");
        QTest::newRow("timeout 0") << QStringList{"--timeout", "0", page, "p.png"}
                                   << error("--timeout: '0' is not a number of seconds");
        QTest::newRow("timeout empty")
            << QStringList{"--timeout=", page, "p.png"} << error("--timeout: ''");
        QTest::newRow("jobs without batch")
            << QStringList{"--jobs", "2", page, "p.png"} << error("--jobs: only a batch");
        QTest::newRow("jobs 0") << QStringList{"--batch", "l.txt", "--jobs", "0"}
                                << error("--jobs: '0'");
        QTest::newRow("jobs 17") << QStringList{"--batch", "l.txt", "--jobs", "17"}
                                 << error("--jobs: '17'");
        QTest::newRow("batch with arguments")
            << QStringList{"--batch", "l.txt", page, "p.png"} << error("with --batch");
        QTest::newRow("output without ending")
            << QStringList{page, "picture"} << error("OUTPUT 'picture' does not end in");
        QTest::newRow("output tif") << QStringList{page, "p.tif"} << error("OUTPUT 'p.tif'");
        QTest::newRow("output ending in folder")
            << QStringList{page, "a.png/b"} << error("OUTPUT 'a.png/b'");
        QTest::newRow("ftp address") << QStringList{"ftp://example.org/x.html", "p.png"}
                                     << error("only http, https and file addresses");
        QTest::newRow("http without host")
            << QStringList{"http:///x", "p.png"} << error("is not a usable address");
        QTest::newRow("bare host name")
            << QStringList{"example.org", "p.png"} << Shoot(kDefaults, "example.org", "p.png");
        // Options the output's format has no use for are refused, not ignored.
        QTest::newRow("quality with PNG") << QStringList{"--quality", "50", page, "p.png"}
                                          << error("--quality: a PNG picture has no quality");
        QTest::newRow("quality with GIF")
            << QStringList{"--quality", "50", page, "p.gif"} << error("--quality: a GIF picture");
        QTest::newRow("progressive with BMP")
            << QStringList{"--progressive", page, "p.bmp"} << error("--progressive: only a JPEG");
        QTest::newRow("standard output without a format")
            << QStringList{page, "-"} << error("OUTPUT '-' (standard output) needs --format");
        QTest::newRow("format for a file") << QStringList{"--format", "png", page, "p.png"}
                                           << error("--format: only for OUTPUT '-'");
        QTest::newRow("unknown format")
            << QStringList{"--format", "tiff", page, "-"} << error("--format: 'tiff' is not");
        QTest::newRow("standard output and JSON")
            << QStringList{"--format", "png", "--json", page, "-"}
            << error("--json and OUTPUT '-'");
        QTest::newRow("quality with WebP")
            << QStringList{"--quality", "70", page, "p.webp"}
            << shoot("w=1920 h=1080 n=0 s=1 q=70 m=100000 t=30 j=2 b=", "p.webp");
        QTest::newRow("too wide for WebP") << QStringList{"--width", "16384", page, "p.webp"}
                                           << error("a WebP picture holds at most 16383");
        QTest::newRow("a brace in a selector to hide")
            << QStringList{"--hide", "p{color:red}", page, "p.png"}
            << error("--hide: 'p{color:red}' is no selector");
        QTest::newRow("PDF pages for a picture")
            << QStringList{"--pdf-page", "letter", page, "p.png"}
            << error("--pdf-page: only a PDF has pages");
        QTest::newRow("PDF page size unknown")
            << QStringList{"--pdf-page", "a3", page, "p.pdf"} << error("--pdf-page: 'a3'");
        QTest::newRow("a part of a PDF") << QStringList{"--selector", "main", page, "p.pdf"}
                                         << error("a PDF holds the whole page");
        QTest::newRow("standard output")
            << QStringList{"--format", "JPG", page, "-"} << shoot(kDefaults, "-");
        QTest::newRow("page file of another kind")
            << QStringList{"notes.txt", "p.png"} << error("'notes.txt' is neither");
    }
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, outcome);
        const ParsedShotOptions parsed = ParseShotOptions(arguments);
        if (outcome.startsWith(u"error: ")) {
            QVERIFY2(!parsed.options, qPrintable(parsed.options ? Describe(*parsed.options) : ""));
            QVERIFY2(parsed.error.contains(outcome.mid(7)), qPrintable(parsed.error));
        } else {
            QVERIFY2(parsed.options, qPrintable(parsed.error));
            QCOMPARE(Describe(*parsed.options), outcome);
        }
    }

    // The options for pages that move: checked against the other options they depend on.
    void liveOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<bool>("still");
        QTest::addColumn<QString>("scrollElement");
        QTest::addColumn<QString>("error");
        const QStringList page{QStringLiteral("https://example.org/"), QStringLiteral("p.png")};
        QTest::newRow("defaults") << page << 0 << true << QString() << QString();
        QTest::newRow("max-width")
            << QStringList{"--max-width", "4000"} + page << 4000 << true << QString() << QString();
        QTest::newRow("max-width at the scale's end")
            << QStringList{"--scale", "2", "--max-width", "8192"} + page << 8192 << true
            << QString() << QString();
        QTest::newRow("max-width past the scale's end")
            << QStringList{"--scale", "2", "--max-width", "8193"} + page << 0 << true << QString()
            << "--max-width: '8193' is not a width in CSS pixels from --width (1920) to 8192";
        QTest::newRow("max-width below the width")
            << QStringList{"--width", "1000", "--max-width", "999"} + page << 0 << true << QString()
            << "--max-width: '999'";
        QTest::newRow("animations run")
            << QStringList{"--animations", "run"} + page << 0 << false << QString() << QString();
        QTest::newRow("animations still")
            << QStringList{"--animations", "still"} + page << 0 << true << QString() << QString();
        QTest::newRow("animations other")
            << QStringList{"--animations", "off"} + page << 0 << true << QString()
            << "--animations: 'off' is not 'still' or 'run'";
        QTest::newRow("scroll element") << QStringList{"--scroll-element", " main .content "} + page
                                        << 0 << true << "main .content" << QString();
        QTest::newRow("scroll element empty")
            << QStringList{"--scroll-element", " "} + page << 0 << true << QString()
            << "--scroll-element: no selector given";
    }
    // --style and --script take their text, or read it from @FILE; a file that is not
    // there is bad usage, named.
    void optionTextFromFiles() {
        QTemporaryDir dir;
        QFile css(dir.filePath(QStringLiteral("a.css")));
        QVERIFY(css.open(QIODevice::WriteOnly));
        css.write("body { color: red }\n");
        css.close();
        const ParsedShotOptions parsed =
            ParseShotOptions({"--style", "@" + css.fileName(), "--style", "p{}", "--script",
                              "return 1;", "https://example.org/", "p.png"});
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        QCOMPARE(parsed.options->styles, (QStringList{"body { color: red }\n", "p{}"}));
        QCOMPARE(parsed.options->scripts, QStringList{"return 1;"});
        const ParsedShotOptions missing =
            ParseShotOptions({"--script", "@" + dir.filePath(QStringLiteral("none.js")),
                              "https://example.org/", "p.png"});
        QVERIFY(!missing.options);
        QVERIFY2(missing.error.startsWith(QLatin1String("--script: cannot read")),
                 qPrintable(missing.error));
    }

    void shards_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("shard");  // 0: refused
        QTest::addColumn<int>("shards");
        QTest::newRow("none") << QStringList{"--batch", "l.txt"} << 1 << 1;
        QTest::newRow("2 of 8") << QStringList{"--batch", "l.txt", "--shard", "2/8"} << 2 << 8;
        QTest::newRow("8 of 8") << QStringList{"--batch", "l.txt", "--shard=8/8"} << 8 << 8;
        QTest::newRow("0 of 8") << QStringList{"--batch", "l.txt", "--shard", "0/8"} << 0 << 0;
        QTest::newRow("9 of 8") << QStringList{"--batch", "l.txt", "--shard", "9/8"} << 0 << 0;
        QTest::newRow("words") << QStringList{"--batch", "l.txt", "--shard", "two"} << 0 << 0;
        QTest::newRow("without a batch")
            << QStringList{"--shard", "1/2", "a.html", "a.png"} << 0 << 0;
    }
    void shards() {
        QFETCH(QStringList, arguments);
        QFETCH(int, shard);
        QFETCH(int, shards);
        const ParsedShotOptions parsed = ParseShotOptions(arguments);
        QCOMPARE(bool(parsed.options), shard > 0);
        if (!parsed.options) {
            QVERIFY(parsed.error.contains(QLatin1String("--shard")));
            return;
        }
        QCOMPARE(parsed.options->shard, shard);
        QCOMPARE(parsed.options->shards, shards);
    }

    void liveOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(int, maxWidth);
        QFETCH(bool, still);
        QFETCH(QString, scrollElement);
        QFETCH(QString, error);
        const ParsedShotOptions parsed = ParseShotOptions(arguments);
        if (!error.isEmpty()) {
            QVERIFY(!parsed.options);
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            return;
        }
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        QCOMPARE(parsed.options->maxWidth, maxWidth);
        QCOMPARE(parsed.options->stillMotion, still);
        QCOMPARE(parsed.options->scrollElement, scrollElement);
    }

    void addresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("url");  // empty: refused
        QTest::newRow("https") << "https://example.org/a?b=c#d"
                               << "https://example.org/a?b=c#d";
        QTest::newRow("http with port") << "http://127.0.0.1:8080/p.html"
                                        << "http://127.0.0.1:8080/p.html";
        QTest::newRow("scheme in capitals") << "HTTPS://example.org/"
                                            << "https://example.org/";
        QTest::newRow("file address") << "file:///srv/doc/index.html"
                                      << "file:///srv/doc/index.html";
        QTest::newRow("relative page file") << "doc/index.htm"
                                            << "file:///w/doc/index.htm";
        QTest::newRow("dot dot") << "../up.html"
                                 << "file:///up.html";
        QTest::newRow("absolute page file") << "/tmp/x y.mht"
                                            << "file:///tmp/x%20y.mht";
        QTest::newRow("upper-case ending") << "A.HTM"
                                           << "file:///w/A.HTM";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "";
        QTest::newRow("data") << "data:text/html,<p>"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("mhtml is not .mht") << "page.mhtml"
                                           << "";
        QTest::newRow("https without host") << "https://"
                                            << "";
        // As people type them: a host, perhaps a port and a path.
        QTest::newRow("bare host") << "example.org"
                                   << "https://example.org";
        QTest::newRow("host and path") << "docs.example.org/guide/intro.html?x=1"
                                       << "https://docs.example.org/guide/intro.html?x=1";
        QTest::newRow("host and port") << "example.org:8443/a"
                                       << "https://example.org:8443/a";
        QTest::newRow("IP address and port") << "127.0.0.1:8000/page"
                                             << "http://127.0.0.1:8000/page";
        QTest::newRow("localhost") << "localhost:3000"
                                   << "http://localhost:3000";
        QTest::newRow("IPv6") << "[::1]:8080/"
                              << "http://[::1]:8080/";
        QTest::newRow("a file's ending is no host") << "notes.txt"
                                                    << "";
        QTest::newRow("one label is no host") << "intranet"
                                              << "";
    }
    void addresses() {
        QFETCH(QString, address);
        QFETCH(QString, url);
        QString error;
        const std::optional<QUrl> got = AddressToUrl(address, QStringLiteral("/w"), &error);
        QCOMPARE(got ? got->toString(QUrl::FullyEncoded) : QString(), url);
        QCOMPARE(error.isEmpty(), !url.isEmpty());
    }

    // A batch line's defaults: the command line without what only the whole run has.
    void perPageArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("batch and jobs go")
            << QStringList{"--width", "800", "--batch", "l.txt", "--jobs", "3", "--hide", ".a"}
            << QStringList{"--width", "800", "--hide", ".a"};
        QTest::newRow("values are no options")
            << QStringList{"--hide", ".jobs", "--selector", "#batch", "--timeout", "10"}
            << QStringList{"--hide", ".jobs", "--selector", "#batch", "--timeout", "10"};
        QTest::newRow("style sheets and scripts are the run's")
            << QStringList{"--style", "@a.css", "--script=x()", "--width", "800"}
            << QStringList{"--width", "800"};
        QTest::newRow("with = and one dash")
            << QStringList{"--batch=l.txt", "-jobs", "2", "--json", "--shard", "1/2"}
            << QStringList{"--json"};
    }
    void perPageArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, kept);
        QCOMPARE(PerPageArguments(arguments), kept);
    }

    void batch_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pages");  // "line address output" each
        QTest::addColumn<QString>("error");
        QTest::newRow("two pages, comments and blanks")
            << "# pages for the docs\n\nhttps://a.org/ a.png\n  \n   # indented comment\n"
               "b.html  out/b.jpg\n"
            << QStringList{"3 https://a.org/ /w/a.png", "6 file:///w/b.html /w/out/b.jpg"} << "";
        QTest::newRow("quoted with spaces, tabs, CRLF")
            << "\"my page.html\"\t\"/tmp/shot one.png\"\r\n\"https://a.org/x y\" a.gif\r\n"
            << QStringList{"1 file:///w/my%20page.html /tmp/shot one.png",
                           "2 https://a.org/x%20y /w/a.gif"}
            << "";
        QTest::newRow("absolute and dotted outputs")
            << "https://a.org/ ./x/../a.bmp\n"
            << QStringList{"1 https://a.org/ /w/a.bmp"} << "";
        QTest::newRow("options of a line")
            << "https://a.org/ a.png --selector \"main .x\" --hide .ads\nb.html b.png\n"
            << QStringList{"1 https://a.org/ /w/a.png --selector|main .x|--hide|.ads",
                           "2 file:///w/b.html /w/b.png"}
            << "";
        QTest::newRow("one field")
            << "https://a.org/ a.png\nhttps://b.org/\n"
            << QStringList{} << "line 2: ADDRESS OUTPUT expected, 1 field(s) found";
        QTest::newRow("three fields")
            << "\n\nhttps://a.org/ a.png b.png\n"
            << QStringList{} << "line 3: 'b.png' after OUTPUT is no option";
        QTest::newRow("unquoted space")
            << "my page.html a.png\n"
            << QStringList{} << "line 1: 'a.png' after OUTPUT is no option";
        QTest::newRow("bad address")
            << "gopher://x a.png" << QStringList{} << "line 1: ADDRESS 'gopher://x': only http";
        QTest::newRow("bad ending") << "https://a.org/ a.tiff" << QStringList{}
                                    << "line 1: OUTPUT 'a.tiff' does not end in";
        QTest::newRow("same output twice")
            << "https://a.org/ a.png\nhttps://b.org/ ./a.png\n"
            << QStringList{} << "line 2: OUTPUT './a.png' is written by line 1 already";
        QTest::newRow("outputs differing in case are two files")
            << "https://a.org/ a.png\nhttps://b.org/ A.png\n"
            << QStringList{"1 https://a.org/ /w/a.png", "2 https://b.org/ /w/A.png"} << "";
        QTest::newRow("only comments") << "# nothing yet\n\n"
                                       << QStringList{} << "no pages in the batch";
        QTest::newRow("empty file") << "" << QStringList{} << "no pages in the batch";
        // A NUL would cut the name short: a.png and a.png<NUL>x would be one file.
        QTest::newRow("NUL in the output")
            << QStringLiteral("https://a.org/ a.png\nhttps://b.org/ a.png%1x.png\n").arg(QChar(0))
            << QStringList{} << "line 2: a control character (U+0000) in the line";
        QTest::newRow("escape in the address")
            << "https://a.org/\x1b[31m a.png\n"
            << QStringList{} << "line 1: a control character (U+001B) in the line";
        QTest::newRow("tab inside quotes")
            << "https://a.org/ \"a\tb.png\"\n"
            << QStringList{} << "line 1: a control character (U+0009) in the line";
        QTest::newRow("CR inside quotes")
            << "https://a.org/ \"a\rb.png\"\n"
            << QStringList{} << "line 1: a control character (U+000D)";
        QTest::newRow("delete") << "https://a.org/ a\x7f.png\n"
                                << QStringList{} << "line 1: a control character (U+007F)";
        QTest::newRow("a line too long")
            << "https://a.org/" + QString(kLongestBatchLine, u'a') + " a.png\n"
            << QStringList{} << "line 1: longer than";
    }
    void batch() {
        QFETCH(QString, text);
        QFETCH(QStringList, pages);
        QFETCH(QString, error);
        const BatchList list = ParseBatchText(text, QStringLiteral("/w"));
        QStringList got;
        for (const BatchPage& p : list.pages)
            got << QStringLiteral("%1 %2 %3%4")
                       .arg(p.line)
                       .arg(p.address.toString(QUrl::FullyEncoded), p.output,
                            p.options.isEmpty() ? QString() : u' ' + p.options.join(u'|'));
        QCOMPARE(got, pages);
        if (error.isEmpty())
            QCOMPARE(list.error, QString());
        else
            QVERIFY2(list.error.startsWith(error), qPrintable(list.error));
    }

    // How tall a picture may grow within the memory it may take: rows of 16 bytes a
    // pixel, shared by the pages at once and the one being written.
    void rowsWithinBudget_data() {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<qint64>("rows");
        const qint64 mib64 = qint64{64} << 20, gib12 = qint64{12} << 30;
        QTest::newRow("64 MiB, 1000 wide, one page") << mib64 << 1000 << 1 << false << qint64(4194);
        QTest::newRow("a batch, one at a time") << mib64 << 1000 << 1 << true << qint64(2097);
        QTest::newRow("a batch, two at once") << mib64 << 1000 << 2 << true << qint64(1398);
        QTest::newRow("12 GiB, desktop width") << gib12 << 1920 << 2 << true << qint64(139810);
        QTest::newRow("widest picture") << gib12 << 16384 << 1 << false << qint64(49152);
        QTest::newRow("nothing to spend") << qint64(0) << 1920 << 1 << false << qint64(0);
    }
    void rowsWithinBudget() {
        QFETCH(qint64, budget);
        QFETCH(int, width);
        QFETCH(int, jobs);
        QFETCH(bool, batch);
        QFETCH(qint64, rows);
        QCOMPARE(RowsWithinBudget(budget, width, jobs, batch), rows);
    }

    // The default is half of what the machine (or its container) has: never nothing,
    // never more than the machine.
    void defaultBudget() {
        const qint64 budget = DefaultMemoryBudget();
        QVERIFY(budget >= qint64{64} << 20);
        QVERIFY(budget <= qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE) / 2);
    }

    void batchFile() {
        QTemporaryDir dir;
        QCOMPARE(ReadBatchFile(dir.filePath("none.txt"), dir.path()).pages.size(), size_t(0));
        QVERIFY(ReadBatchFile(dir.filePath("none.txt"), dir.path())
                    .error.startsWith("cannot read the batch file"));
        QFile latin(dir.filePath("latin.txt"));
        QVERIFY(latin.open(QIODevice::WriteOnly));
        latin.write("caf\xe9.html a.png\n");
        latin.close();
        QCOMPARE(ReadBatchFile(latin.fileName(), dir.path()).error,
                 QStringLiteral("the batch file is not UTF-8 text"));
        // Devices are no batch files: read to the end they never end.
        for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"})
            QCOMPARE(ReadBatchFile(device, dir.path()).error,
                     QStringLiteral("cannot read the batch file: not a regular file or a pipe"));
        QVERIFY(ReadBatchFile(dir.path(), dir.path()).error.startsWith("cannot read"));
        QFile huge(dir.filePath("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kLargestBatchFile + 1));
        huge.close();
        QVERIFY(ReadBatchFile(huge.fileName(), dir.path()).error.startsWith("cannot read"));
        // A pipe is read to its end, as a shell's process substitution gives it.
        const QString fifo = dir.filePath("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        bool wrote = false;
        std::thread writer =
            testsupport::FeedFifo(fifo, QByteArray("https://a.org/ a.png\n"), &wrote);
        const BatchList piped = ReadBatchFile(fifo, dir.path());
        writer.join();
        QVERIFY(wrote);
        QCOMPARE(piped.error, QString());
        QCOMPARE(piped.pages.size(), size_t(1));
        QFile utf8(dir.filePath("utf8.txt"));
        QVERIFY(utf8.open(QIODevice::WriteOnly));
        utf8.write("caf\xc3\xa9.html a.png\n");
        utf8.close();
        const BatchList list = ReadBatchFile(utf8.fileName(), dir.path());
        QCOMPARE(list.pages.size(), size_t(1));
        QCOMPARE(list.pages[0].address.toLocalFile(), dir.filePath(QStringLiteral("café.html")));
    }

    void batchExit_data() {
        QTest::addColumn<std::vector<ShotExit>>("pages");
        QTest::addColumn<ShotExit>("status");
        using E = ShotExit;
        QTest::newRow("all written") << std::vector<E>{E::Written, E::Written} << E::Written;
        QTest::newRow("one warning")
            << std::vector<E>{E::Written, E::CutAtMaxHeight} << E::CutAtMaxHeight;
        QTest::newRow("first warning")
            << std::vector<E>{E::NotSettled, E::CutAtMaxHeight} << E::NotSettled;
        QTest::newRow("failure outranks an earlier warning")
            << std::vector<E>{E::NotSettled, E::Written, E::WriteFailed} << E::WriteFailed;
        QTest::newRow("first failure")
            << std::vector<E>{E::Written, E::LoadFailed, E::WriteFailed} << E::LoadFailed;
        QTest::newRow("one page") << std::vector<E>{E::LoadFailed} << E::LoadFailed;
    }
    void batchExit() {
        QFETCH(std::vector<ShotExit>, pages);
        QFETCH(ShotExit, status);
        QCOMPARE(BatchExit(pages), status);
    }

    void exitValuesAreDistinctAndDocumented() {
        const QString help = ShotHelpText();
        for (ShotExit e : {ShotExit::Written, ShotExit::BadUsage, ShotExit::LoadFailed,
                           ShotExit::NotSettled, ShotExit::CutAtMaxHeight, ShotExit::WriteFailed})
            QVERIFY2(help.contains(QStringLiteral("\n  %1  ").arg(static_cast<int>(e))),
                     qPrintable(QString::number(static_cast<int>(e))));
        for (const char* option : {"--width PX", "--height PX", "--screens N", "--scale F",
                                   "--quality Q", "--progressive", "--max-height PX", "--timeout S",
                                   "--batch FILE", "--jobs N", "--help", "--version"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(help.startsWith("Usage: glimpa-shot [OPTION]... ADDRESS OUTPUT\n"));
        QCOMPARE(ShotVersionText(), QStringLiteral("glimpa-shot " GLIMPA_VERSION));
    }
};

QTEST_GUILESS_MAIN(ShotOptionsTest)
#include "shot_options_test.moc"
