// The built glimpa-shot run as a user runs it, on pages this test writes and serves over
// 127.0.0.1: every exit status, the pixels of the pictures row by row, a batch with one
// bad address among good ones, and an existing file kept when the write fails.
#include <unistd.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPdfDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "shot/project_version.h"

#include "support/capture_http_server.h"

namespace {

// Colour of the page's CSS pixel row y: every row its own, no two alike below 65,536.
QRgb Band(int y) {
    return qRgb(y & 0xff, (y >> 8) & 0xff, 0x5a);
}

// `rows` one-pixel bands, nothing else: no margin, no scroll bar setting of its own.
QByteArray BandsPage(int rows) {
    QByteArray page =
        "<!doctype html><html><head><style>body{margin:0}div{height:1px}"
        "</style></head><body>";
    for (int y = 0; y < rows; ++y)
        page += QStringLiteral("<div style='background:%1'></div>")
                    .arg(QColor(Band(y)).name())
                    .toLatin1();
    return page + "</body></html>";
}

// A page that loads at once and then asks for a picture that arrives long after any
// sensible wait: loaded, never settled.
QByteArray SlowPicturePage() {
    return "<!doctype html><html><body style='margin:0;background:#fff'><script>"
           "addEventListener('load', () => { const i = new Image();"
           " i.style = 'width:50px;height:50px'; i.src = 'slow.png';"
           " document.body.appendChild(i); });</script></body></html>";
}

// A page whose load never ends within the wait: a picture the page waits for comes late.
QByteArray StalledLoadPage() {
    return "<!doctype html><html><body style='margin:0;background:#fff'>"
           "<div style='height:120px;background:#0a64c8'></div>"
           "<img src='slow.png' style='width:50px;height:50px'></body></html>";
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// The first picture row (from 0) that is not `expected(y)` in every pixel; -1 if none.
template <class Expected>
int FirstWrongRow(const QImage& picture, Expected expected) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((line[x] & 0xffffff) != (expected(y) & 0xffffff)) return y;
    }
    return -1;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of standard error that are not the note about the sandbox.
QStringList Said(const QString& err) {
    QStringList lines;
    for (const QString& line : err.split(u'\n', Qt::SkipEmptyParts))
        if (!line.contains(QLatin1String("sandbox is off"))) lines << line;
    return lines;
}

}  // namespace

class ShotCliTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<FolderServer> server_;
    std::unique_ptr<FolderServer> slowServer_;
    QString closedAddress_;

    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // Runs the program from the test folder with no display and no platform chosen: it
    // must find its own way to draw. The event loop keeps serving pages meanwhile.
    Run Shot(const QStringList& arguments, const QString& program = QStringLiteral(GLIMPA_SHOT)) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QTWEBENGINE_DISABLE_SANDBOX"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir_.path());
        process.start(program, arguments);
        Run run;
        if (!process.waitForStarted()) return run;
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        Write("bands3000.html", BandsPage(3000));
        Write("bands200.html", BandsPage(200));
        Write("bands300.html", BandsPage(300));
        Write("slow.html", SlowPicturePage());
        Write("stalled.html", StalledLoadPage());
        Write("slow.png", QByteArray());
        server_ = std::make_unique<FolderServer>(dir_.path(), 0);
        slowServer_ = std::make_unique<FolderServer>(dir_.path(), 60000);
        // A port that was open a moment ago and is closed now: the load is refused.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedAddress_ = QStringLiteral("http://127.0.0.1:%1/gone.html").arg(probe.serverPort());
    }

    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option")
            << QStringList{"--wide", "a.html", "a.png"} << "glimpa-shot: Unknown option 'wide'.";
        QTest::newRow("unknown ending") << QStringList{"bands200.html", "a.tiff"}
                                        << "glimpa-shot: OUTPUT 'a.tiff' does not end in .bmp, "
                                           ".jpg, .jpeg, .gif, .png, .webp, .avif or .pdf";
        QTest::newRow("quality out of range")
            << QStringList{"--quality", "0", "bands200.html", "a.jpg"}
            << "glimpa-shot: --quality: '0' is not a whole number from 1 to 100";
        QTest::newRow("no batch file") << QStringList{"--batch", "none.txt"}
                                       << "glimpa-shot: none.txt: cannot read the batch file";
        QTest::newRow("bad batch line") << QStringList{"--batch", "bad-batch.txt"}
                                        << "glimpa-shot: bad-batch.txt: line 2: OUTPUT "
                                           "'b.tiff' does not end in";
    }
    void usage() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        Write("bad-batch.txt", "bands200.html a.png\nbands200.html b.tiff\n");
        const Run run = Shot(arguments);
        QCOMPARE(run.status, 2);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 2);
        QVERIFY2(said[0].startsWith(message), qPrintable(said[0]));
        QCOMPARE(said[1], QStringLiteral("Try 'glimpa-shot --help' for more information."));
        QVERIFY(!QFile::exists(Path("a.png")));
        // Nothing was loaded: not even the browser's note about the sandbox.
        QVERIFY(!run.err.contains(QLatin1String("sandbox")));
    }

    void helpAndVersion() {
        const Run help = Shot({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith("Usage: glimpa-shot [OPTION]... ADDRESS OUTPUT\n"));
        QVERIFY(help.out.contains("\nExit status:\n"));
        // Every option is told of.
        for (const char* option :
             {"--width",        "--height",         "--scale",   "--screens",    "--max-height",
              "--max-width",    "--selector",       "--padding", "--clip",       "--scroll-element",
              "--hide",         "--remove",         "--style",   "--script",     "--animations",
              "--color-scheme", "--reduced-motion", "--timeout", "--wait-for",   "--delay",
              "--header",       "--cookie",         "--cookies", "--user-agent", "--auth",
              "--quality",      "--progressive",    "--format",  "--pdf-page",   "--json",
              "--batch",        "--jobs",           "--shard",   "--max-memory", "--console",
              "--version"})
            QVERIFY2(help.out.contains(QLatin1String(option) + u' '), option);
        QCOMPARE(help.err, QString());
        const Run version = Shot({"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("glimpa-shot " GLIMPA_VERSION "\n"));
    }

    // Pictures of bands pages: size and every pixel row.
    void bands_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("rowsPerBand");  // the scale
        QTest::addColumn<int>("status");
        QTest::newRow("whole page, 1280 wide, served, PNG")
            << QStringList{"--width", "1280", "--height", "720"} << "http:bands3000.html"
            << "whole.png" << QSize(1280, 3000) << 1 << 0;
        QTest::newRow("1.5 screens, 1920 wide, page file, BMP")
            << QStringList{"--height", "1000", "--screens", "1.5"} << "bands3000.html"
            << "screens.bmp" << QSize(1920, 1500) << 1 << 0;
        QTest::newRow("cut at max-height")
            << QStringList{"--width", "800", "--max-height", "1234"} << "http:bands3000.html"
            << "cut.png" << QSize(800, 1234) << 1 << 5;
        QTest::newRow("200 colours, GIF exact")
            << QStringList{"--width", "640", "--height", "480"} << "bands200.html"
            << "short.gif" << QSize(640, 480) << 1 << 0;
        QTest::newRow("scale 2") << QStringList{"--width", "500", "--scale", "2"}
                                 << "http:bands300.html"
                                 << "double.png" << QSize(1000, 2160) << 2 << 0;
    }
    void bands() {
        QFETCH(QStringList, options);
        QFETCH(QString, page);
        QFETCH(QString, output);
        QFETCH(QSize, size);
        QFETCH(int, rowsPerBand);
        QFETCH(int, status);
        const QString address = page.startsWith(u"http:") ? server_->Address(page.mid(5)) : page;
        const Run run = Shot(options + QStringList{address, output});
        QCOMPARE(run.status, status);
        const QImage picture = QImageReader(Path(output)).read();
        QCOMPARE(picture.size(), size);
        const int pageRows = page.contains(u"3000") ? 3000 : page.contains(u"300") ? 300 : 200;
        // Below the page's end the view shows the background: white.
        const int row = FirstWrongRow(picture, [&](int y) {
            const int cssRow = y / rowsPerBand;
            return cssRow < pageRows ? Band(cssRow) : qRgb(255, 255, 255);
        });
        QCOMPARE(row, -1);
        const QStringList said = Said(run.err);
        if (status == 5) {
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].startsWith("glimpa-shot: warning: ") &&
                         said[0].contains("taller than 1234 px"),
                     qPrintable(said[0]));
        } else {
            QCOMPARE(said, QStringList());
        }
        if (geteuid() == 0) QCOMPARE(run.err.count(QLatin1String("sandbox is off")), 1);
    }

    // On a terminal the screens done are shown on one line, redrawn, and cleared at the
    // end; the picture is the same.
    void progressOnTerminal() {
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty()) QSKIP("no script(1) to give the program a terminal");
        const QString command =
            QStringLiteral(GLIMPA_SHOT " --width 320 --height 100 bands300.html tty.png");
        const Run run = Shot({"-qec", command, "/dev/null"}, script);
        QCOMPARE(run.status, 0);
        // script(1) hands everything the terminal showed to its standard output.
        const QString shown = QString(run.out).remove(u'\r').remove(QStringLiteral("\x1b[K"));
        QVERIFY2(shown.contains(QStringLiteral("screens 3 of 3")), qPrintable(run.out));
        QVERIFY2(run.out.endsWith(QStringLiteral("\r\x1b[K")), qPrintable(run.out));
        const QImage picture = QImageReader(Path("tty.png")).read();
        QCOMPARE(picture.size(), QSize(320, 300));
        QCOMPARE(FirstWrongRow(picture, Band), -1);
    }

    void loadFailed() {
        const Run run = Shot({closedAddress_, "failed.png"});
        QCOMPARE(run.status, 3);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("glimpa-shot: " + closedAddress_ + ": the page failed to load"),
                 qPrintable(said[0]));
        QVERIFY(!QFile::exists(Path("failed.png")));
    }

    void missingPageFile() {
        const Run run = Shot({"nowhere.html", "nowhere.png"});
        QCOMPARE(run.status, 3);
        QCOMPARE(Said(run.err),
                 QStringList{"glimpa-shot: " + Path("nowhere.html") + ": no such page file"});
    }

    void notSettled() {
        const Run run = Shot({"--timeout", "2", "--width", "300", "--height", "200",
                              slowServer_->Address("slow.html"), "slow.bmp"});
        QCOMPARE(run.status, 4);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("glimpa-shot: warning: ") &&
                     said[0].contains("did not settle within 2 s"),
                 qPrintable(said[0]));
        // Written as the page stood: white where the picture has not arrived.
        const QImage picture = QImageReader(Path("slow.bmp")).read();
        QCOMPARE(picture.size(), QSize(300, 200));
        QCOMPARE(QColor(picture.pixel(299, 199)), QColor(Qt::white));
    }

    // Still loading when the wait ends: written as it stands, with the warning.
    void stalledLoadIsWrittenAsItStands() {
        const Run run = Shot({"--timeout", "2", "--width", "300", "--height", "200",
                              slowServer_->Address("stalled.html"), "stalled.bmp"});
        QCOMPARE(run.status, 4);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("glimpa-shot: warning: "), qPrintable(said[0]));
        const QImage picture = QImageReader(Path("stalled.bmp")).read();
        QCOMPARE(picture.size(), QSize(300, 200));
        for (const int y : {0, 119})
            QCOMPARE(QColor(picture.pixel(150, y)), QColor(0x0a, 0x64, 0xc8));
        QCOMPARE(QColor(picture.pixel(150, 190)), QColor(Qt::white));
    }

    // The write fails after the capture: the file already there stays as it was.
    void writeFailedKeepsOldFile_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("existing");
        // No room beside the name for the temporary file, even for root.
        QTest::newRow("name too long for a temporary file")
            << QString(250, u'x') + QStringLiteral(".png") << true;
        QTest::newRow("no such folder") << QStringLiteral("no/such/folder/a.jpg") << false;
        // Only regular files are written: these are refused before anything is loaded.
        QTest::newRow("a pipe") << QStringLiteral("pipe.png") << false;
        QTest::newRow("a link to a device") << QStringLiteral("device.bmp") << false;
    }
    void writeFailedKeepsOldFile() {
        QFETCH(QString, output);
        QFETCH(bool, existing);
        if (existing) Write(output, "the old picture");
        if (output == "pipe.png")
            QVERIFY(::mkfifo(QFile::encodeName(Path(output)).constData(), 0600) == 0);
        if (output == "device.bmp") QVERIFY(QFile::link("/dev/null", Path(output)));
        const Run run = Shot({"--width", "320", "bands200.html", output});
        QCOMPARE(run.status, 6);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("glimpa-shot: " + output + ": cannot write the picture"),
                 qPrintable(said[0]));
        if (existing) QCOMPARE(Bytes(Path(output)), QByteArray("the old picture"));
        if (output == "pipe.png") QVERIFY(QFileInfo(Path(output)).isFile() == false);
        if (output == "device.bmp") QCOMPARE(QFileInfo(Path(output)).symLinkTarget(), "/dev/null");
        if (output == "pipe.png" || output == "device.bmp")
            QVERIFY2(said[0].contains("not a regular file"), qPrintable(said[0]));
        QCOMPARE(QDir(dir_.path()).entryList({"*.png.*", ".*.png*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // What a page writes to its console is the page's: not shown unless asked for, then
    // marked as the page's, escaped and limited, so that it can pass for none of ours.
    void pageConsole_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("by default") << false;
        QTest::newRow("--console") << true;
    }
    void pageConsole() {
        QFETCH(bool, shown);
        Write("console.html",
              "<body style='margin:0'><script>\n"
              "console.error('\\x1b]0;owned\\x07\\nglimpa-shot: the picture could not be "
              "written');\n"
              "for (let i = 0; i < 500; ++i) console.log('line ' + i);\n"
              "</script>");
        QStringList arguments{"--width", "200", "--height", "100", "console.html", "console.png"};
        if (shown) arguments.prepend("--console");
        const Run run = Shot(arguments);
        QCOMPARE(run.status, 0);
        const QStringList said = Said(run.err);
        QVERIFY(!run.err.contains(QChar(0x1b)));
        if (!shown) {
            QCOMPARE(said, QStringList());
            return;
        }
        QVERIFY2(said.size() >= 2, qPrintable(run.err));
        QCOMPARE(said[0],
                 "glimpa-shot: page says: \\u{1B}]0;owned\\u{7}\\nglimpa-shot: the "
                 "picture could not be written");
        int pageLines = 0;
        for (const QString& line : said) {
            if (line.startsWith("glimpa-shot: page says: "))
                ++pageLines;
            else
                QVERIFY2(line.contains("lines of the page's console not shown"), qPrintable(line));
        }
        QVERIFY2(pageLines < 501, qPrintable(QString::number(pageLines)));
    }

    // The memory the pictures may take: a page taller than it allows is cut there with a
    // warning that says so when its format needs the whole picture at once, and written
    // whole in one written as it is taken; one screen that does not fit is refused
    // before loading.
    void memoryBudget() {
        const Run cut = Shot({"--max-memory", "64", "--width", "2000", "--height", "300",
                              "bands3000.html", "budget.gif"});
        QCOMPARE(cut.status, 5);
        const QStringList said = Said(cut.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains("taller than 2097 px, the most that --max-memory (64 MiB) "
                                  "allows"),
                 qPrintable(said[0]));
        QCOMPARE(QImageReader(Path("budget.gif")).size(), QSize(2000, 2097));
        for (const char* output : {"budget.png", "budget.bmp"}) {
            const Run whole = Shot({"--max-memory", "64", "--width", "2000", "--height", "300",
                                    "bands3000.html", output});
            QVERIFY2(whole.status == 0, qPrintable(whole.err));
            const QImage picture = QImageReader(Path(output)).read();
            QCOMPARE(picture.size(), QSize(2000, 3000));
            QCOMPARE(FirstWrongRow(picture, [](int y) { return Band(y); }), -1);
        }

        // A page that allocates without end: its renderer ends within its share of the
        // budget, and the run says so.
        Write("hungry.html",
              "<body><script>const kept = []; for (;;) kept.push(new Array(1e6).fill(kept.length));"
              "</script>");
        const Run hungry =
            Shot({"--max-memory", "256", "--timeout", "60", "hungry.html", "hungry.png"});
        QCOMPARE(hungry.status, 3);
        QVERIFY2(hungry.err.contains("renderer crashed"), qPrintable(hungry.err));
        QVERIFY(!QFile::exists(Path("hungry.png")));

        const Run refused = Shot({"--max-memory", "64", "--width", "16384", "--height", "16384",
                                  "bands200.html", "huge.png"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains("one screen of 16384 x 16384 pixels needs more memory"),
                 qPrintable(refused.err));
        QVERIFY(!refused.err.contains("sandbox"));
        QVERIFY(!QFile::exists(Path("huge.png")));
    }

    // What a page does that the user must hear of, each with its status: a server's error
    // page written with status 7, dialogs told as the page's, a page wider than the view
    // taken whole.
    void livePages_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("status");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("404 with a page")
            << "status404-gone.html" << BandsPage(200) << 7 << QSize(300, 200)
            << QStringList{
                   "warning: {}: the server answered HTTP 404 Not Found; live.png "
                   "shows the page it sent"};
        QTest::newRow("dialogs")
            << "dialogs.html"
            << QByteArray(
                   "<!doctype html><html><body style='margin:0;background:#5a0000'>"
                   "<script>alert('a\x1b[31m'); confirm('b');</script></body></html>")
            << 0 << QSize(300, 200)
            << QStringList{"{}: the page's alert \"a\\u{1B}[31m\" answered OK",
                           "{}: the page's confirm \"b\" answered Cancel"};
        QTest::newRow("wide")
            << "wide.html"
            << QByteArray(
                   "<!doctype html><html><body style='margin:0;background:#5a0000'>"
                   "<div style='width:1000px;height:10px'></div></body></html>")
            << 0 << QSize(1000, 200) << QStringList{};
    }
    void livePages() {
        QFETCH(QString, name);
        QFETCH(QByteArray, page);
        QFETCH(int, status);
        QFETCH(QSize, size);
        QFETCH(QStringList, said);
        Write(name, page);
        const QString address = server_->Address(name);
        const Run run = Shot({"--width", "300", "--height", "200", address, "live.png"});
        QCOMPARE(run.status, status);
        QCOMPARE(QImageReader(Path("live.png")).size(), size);
        QStringList expected;
        for (const QString& line : said)
            expected << QStringLiteral("glimpa-shot: ") + QString(line).replace("{}", address);
        QCOMPARE(Said(run.err), expected);
    }

    // A format's own limit acts as --max-height does, and says which format it was.
    void formatLimitKnownBeforeLoading() {
        Write("tall.html",
              "<!doctype html><html><body style='margin:0'>"
              "<div style='height:70000px;background:#5a5a5a'></div></body></html>");
        const Run run =
            Shot({"--width", "64", "--height", "200", server_->Address("tall.html"), "tall.jpg"});
        QCOMPARE(run.status, 5);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains("taller than 65500 px, the most the JPEG format holds"),
                 qPrintable(said[0]));
        QCOMPARE(QImageReader(Path("tall.jpg")).size(), QSize(64, 65500));
    }

    // The options of a workflow, each against a page whose every part the test knows,
    // served by the test: the picture's size and pixels, the status, and what the server
    // was sent.
    void workflowOptions_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("pixels");  // "x,y,#rrggbb"
        QTest::addColumn<QStringList>("sent");    // lines the server must have had
        const QSize page(300, -1);
        QTest::newRow("selector with padding")
            << QStringList{"--selector", "#b", "--padding", "5"} << "wf.html" << 0
            << QSize(270, 210) << QStringList{"2,2,#ffffff", "10,10,#00ff00", "260,200,#00ff00"}
            << QStringList{};
        QTest::newRow("selector, nothing matches")
            << QStringList{"--selector", "#none"} << "wf.html" << 8 << QSize() << QStringList{}
            << QStringList{};
        QTest::newRow("selector of an element that shows nothing")
            << QStringList{"--selector", "#b", "--style", "#b{display:none}"} << "wf.html" << 8
            << QSize() << QStringList{} << QStringList{};
        QTest::newRow("clip") << QStringList{"--clip", "10,90,50,20"} << "wf.html" << 0
                              << QSize(50, 20) << QStringList{"5,5,#ff0000", "5,15,#0000ff"}
                              << QStringList{};
        QTest::newRow("clip cut to the page")
            << QStringList{"--clip", "250,0,100,10"} << "wf.html" << 0 << QSize(50, 10)
            << QStringList{"5,5,#ff0000"} << QStringList{};
        QTest::newRow("hide keeps the room, remove takes it")
            << QStringList{"--hide", "#a", "--remove", ".ad", "--clip", "0,0,300,130"} << "wf.html"
            << 0 << QSize(300, 130) << QStringList{"5,50,#ffffff", "50,125,#00ff00"}
            << QStringList{};
        QTest::newRow("style") << QStringList{"--style", "#a{background:#123456!important}",
                                              "--clip", "0,0,10,10"}
                               << "wf.html" << 0 << QSize(10, 10) << QStringList{"5,5,#123456"}
                               << QStringList{};
        QTest::newRow("script, its promise awaited")
            << QStringList{"--script",
                           "await new Promise((r) => setTimeout(r, 300));"
                           " document.getElementById('a').style.background = '#654321';",
                           "--clip", "0,0,10,10"}
            << "wf.html" << 0 << QSize(10, 10) << QStringList{"5,5,#654321"} << QStringList{};
        QTest::newRow("script that throws")
            << QStringList{"--script", "throw new Error('no way')"} << "wf.html" << 3 << QSize()
            << QStringList{} << QStringList{};
        QTest::newRow("delay after the settle")
            << QStringList{"--script",
                           "setTimeout(() => document.getElementById('a').style.background ="
                           " '#00aa00', 1500);",
                           "--delay",
                           "2500",
                           "--clip",
                           "0,0,10,10"}
            << "wf.html" << 0 << QSize(10, 10) << QStringList{"5,5,#00aa00"} << QStringList{};
        QTest::newRow("wait for a late element")
            << QStringList{"--wait-for", "#late", "--selector", "#late"} << "wf.html" << 0
            << QSize(300, 10) << QStringList{"5,5,#ff8800"} << QStringList{};
        QTest::newRow("wait for what never comes")
            << QStringList{"--wait-for", "#never", "--timeout", "2"} << "wf.html" << 4 << page
            << QStringList{} << QStringList{};
        QTest::newRow("header, cookie and user agent")
            << QStringList{"--header",    "X-Test: yes",  "--cookie",
                           "taste=sweet", "--user-agent", "glimpa-test/1"}
            << "wf.html" << 0 << page << QStringList{}
            << QStringList{"X-Test: yes", "Cookie: taste=sweet", "User-Agent: glimpa-test/1"};
        QTest::newRow("cookies file")
            << QStringList{"--cookies", "cookies.txt"} << "wf.html" << 0 << page << QStringList{}
            << QStringList{"Cookie: flavour=plain"};
        QTest::newRow("authentication")
            << QStringList{"--auth", "user:pass", "--clip", "0,0,10,10"} << "auth-wf.html" << 0
            << QSize(10, 10) << QStringList{"5,5,#ff0000"}
            << QStringList{"Authorization: Basic dXNlcjpwYXNz"};
        QTest::newRow("no authentication")
            << QStringList{} << "auth-wf.html" << 7 << page << QStringList{} << QStringList{};
        QTest::newRow("dark colour scheme")
            << QStringList{"--color-scheme", "dark", "--clip", "0,380,10,10"} << "wf.html" << 0
            << QSize(10, 10) << QStringList{"5,5,#000000"} << QStringList{};
        QTest::newRow("reduced motion")
            << QStringList{"--reduced-motion", "--clip", "0,0,10,10"} << "wf.html" << 0
            << QSize(10, 10) << QStringList{"5,5,#ff00ff"} << QStringList{};
    }
    void workflowOptions() {
        QFETCH(QStringList, options);
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QSize, size);
        QFETCH(QStringList, pixels);
        QFETCH(QStringList, sent);
        const QByteArray page =
            "<!doctype html><html><head><style>body{margin:0;background:#ffffff}"
            "#a{height:100px;background:#ff0000}.ad{height:50px;background:#0000ff}"
            "#b{margin:20px;height:200px;background:#00ff00}"
            "#late{margin:0;height:10px;background:#ff8800}div.end{height:400px}"
            "@media (prefers-color-scheme: dark){body{background:#000000}}"
            "@media (prefers-reduced-motion: reduce){#a{background:#ff00ff}}</style></head>"
            "<body><div id=a></div><div class=ad></div><div id=b></div><div class=end></div>"
            "<script>setTimeout(() => { const p = document.createElement('p'); p.id = 'late';"
            " document.body.append(p); }, 800);</script></body></html>";
        Write("wf.html", page);
        Write("cookies.txt",
              "# Netscape HTTP Cookie File\n"
              "127.0.0.1\tFALSE\t/\tFALSE\t0\tflavour\tplain\n");
        Write("auth-wf.html", page);
        FolderServer server(dir_.path(), 0);
        QFile::remove(Path("wf.png"));
        const Run run = Shot(QStringList{"--width", "300", "--height", "200"} + options +
                             QStringList{server.Address(name), "wf.png"});
        QVERIFY2(run.status == status, qPrintable(run.err));
        const QImage picture = QImageReader(Path("wf.png")).read();
        // No size: nothing written; no height: the whole page, however tall.
        if (size.isEmpty() && size.width() <= 0)
            QVERIFY(!QFile::exists(Path("wf.png")));
        else if (size.height() < 0)
            QCOMPARE(picture.width(), size.width());
        else
            QCOMPARE(picture.size(), size);
        for (const QString& pixel : pixels) {
            const QStringList p = pixel.split(u',');
            QCOMPARE(QColor(picture.pixel(p[0].toInt(), p[1].toInt())).name(), p[2]);
        }
        for (const QString& line : sent)
            QVERIFY2(server.Requests().contains(line.toLatin1() + "\r\n"),
                     qPrintable(QString::fromLatin1(server.Requests())));
    }

    // Batch lines with options of their own, one JSON record a page.
    void batchLinesAndRecords() {
        Write("rec.html",
              "<!doctype html><title>Record</title><body style='margin:0'>"
              "<div id=x style='height:40px;background:#ff0000'></div>");
        Write("rec-batch.txt", QStringLiteral("%1 rec1.png --selector #x\n"
                                              "%1 rec2.png --clip 0,0,20,20\n"
                                              "%2 rec3.png --selector #none\n")
                                   .arg(server_->Address("rec.html"), server_->Address("rec.html"))
                                   .toUtf8());
        const Run run =
            Shot({"--width", "300", "--height", "200", "--json", "--batch", "rec-batch.txt"});
        QCOMPARE(run.status, 8);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QMap<QString, QJsonObject> records;
        for (const QString& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            records.insert(QFileInfo(o.value("output").toString()).fileName(), o);
        }
        QCOMPARE(records["rec1.png"].value("exit").toInt(), 0);
        QCOMPARE(records["rec1.png"].value("width").toInt(), 300);
        QCOMPARE(records["rec1.png"].value("height").toInt(), 40);
        QCOMPARE(records["rec1.png"].value("title").toString(), QStringLiteral("Record"));
        QCOMPARE(records["rec1.png"].value("bytes").toInteger(),
                 QFileInfo(Path("rec1.png")).size());
        QCOMPARE(records["rec2.png"].value("height").toInt(), 20);
        QCOMPARE(records["rec3.png"].value("exit").toInt(), 8);
        QVERIFY(records["rec3.png"].value("message").toString().contains("Nothing matches"));
        QVERIFY(!QFile::exists(Path("rec3.png")));
    }

    // A PDF printed by the browser: its text searchable, what is hidden left out, on the
    // pages asked for.
    void pdfPrinted_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSizeF>("page");  // points
        QTest::newRow("A4") << QStringList{} << QSizeF(595, 842);
        QTest::newRow("letter") << QStringList{"--pdf-page", "letter"} << QSizeF(612, 792);
    }
    void pdfPrinted() {
        QFETCH(QStringList, options);
        QFETCH(QSizeF, page);
        Write("print.html",
              "<!doctype html><body><p>Printed words 12345</p>"
              "<p class=secret>hidden words</p></body>");
        const Run run = Shot(QStringList{"--hide", ".secret"} + options +
                             QStringList{server_->Address("print.html"), "print.pdf"});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QPdfDocument pdf;
        QCOMPARE(pdf.load(Path("print.pdf")), QPdfDocument::Error::None);
        QCOMPARE(pdf.pageCount(), 1);
        QCOMPARE(pdf.pagePointSize(0).toSize(), page.toSize());
        const QString text = pdf.getAllText(0).text();
        QVERIFY2(text.contains(QLatin1String("Printed words 12345")), qPrintable(text));
        QVERIFY(!text.contains(QLatin1String("hidden words")));
    }

    // AVIF's rows are what decoders open, and say so; a wide page is bounded by its pixels.
    void avifLimitKnownBeforeLoading() {
        Write("tall-avif.html",
              "<!doctype html><html><body style='margin:0'>"
              "<div style='height:9000px;background:#5a5a5a'></div></body></html>");
        const Run run = Shot(
            {"--width", "64", "--height", "200", server_->Address("tall-avif.html"), "tall.avif"});
        QCOMPARE(run.status, 5);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains("taller than 8704 px, the most the AVIF format holds"),
                 qPrintable(said[0]));
        QCOMPARE(Bytes(Path("tall.avif")).mid(8, 4), QByteArray("avif"));
    }

    // The web's own picture formats, by the output's ending.
    void webFormats_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("brand");  // bytes 8 to 11 of the file
        QTest::newRow("WebP lossless") << QStringList{} << "page.webp" << QByteArray("WEBP");
        QTest::newRow("WebP at 80")
            << QStringList{"--quality", "80"} << "page.webp" << QByteArray("WEBP");
        QTest::newRow("AVIF") << QStringList{} << "page.avif" << QByteArray("avif");
    }
    void webFormats() {
        QFETCH(QStringList, options);
        QFETCH(QString, output);
        QFETCH(QByteArray, brand);
        const Run run = Shot(QStringList{"--width", "300", "--height", "200"} + options +
                             QStringList{server_->Address("bands300.html"), output});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(Bytes(Path(output)).mid(8, 4), brand);
    }

    // Shards of one batch: each page in exactly one of them, their records together the
    // whole batch.
    void shardsSplitABatch() {
        QString lines;
        for (int i = 1; i <= 5; ++i)
            lines +=
                QStringLiteral("%1 shard%2.png\n").arg(server_->Address("bands200.html")).arg(i);
        Write("shards.txt", lines.toUtf8());
        // Records come as pages end, not in the batch's order.
        QList<QStringList> shards;
        for (const char* shard : {"1/2", "2/2"}) {
            QStringList outputs;
            const Run run = Shot({"--width", "300", "--height", "200", "--json", "--shard", shard,
                                  "--batch", "shards.txt"});
            QCOMPARE(run.status, 0);
            for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
                outputs << QFileInfo(QJsonDocument::fromJson(line.toUtf8())
                                         .object()
                                         .value("output")
                                         .toString())
                               .fileName();
            outputs.sort();
            shards << outputs;
        }
        QCOMPARE(shards, (QList<QStringList>{{"shard1.png", "shard3.png", "shard5.png"},
                                             {"shard2.png", "shard4.png"}}));
    }

    // A picture on standard output, whole, in the format asked for; an address typed
    // as people type it.
    void standardOutputAndTypedAddress() {
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        const QString typed =
            server_->Address("bands200.html").mid(QStringLiteral("http://").size());
        process.start(QStringLiteral(GLIMPA_SHOT),
                      {"--width", "300", "--height", "200", "--format", "png", typed, "-"});
        // The test's own server answers while it waits.
        QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QImage picture;
        QVERIFY(picture.loadFromData(process.readAllStandardOutput(), "PNG"));
        QCOMPARE(picture.size(), QSize(300, 200));
        QCOMPARE(FirstWrongRow(picture, [](int y) { return Band(y); }), -1);
    }

    void batchWithOneBadAddress() {
        QDir(dir_.path()).mkpath("out dir");
        Write("pages.txt", QStringLiteral("# three pages, one of them gone\n\n"
                                          "%1 out/a.png\n"
                                          "%2 \"out dir/b.png\"\n"
                                          "  bands300.html \"out dir/c.jpg\"\n"
                                          "\"%3\" out/d.bmp\n")
                               .arg(server_->Address("bands300.html"), closedAddress_,
                                    server_->Address("bands200.html"))
                               .toUtf8());
        QDir(dir_.path()).mkpath("out");
        const Run run =
            Shot({"--batch", "pages.txt", "--jobs", "2", "--width", "400", "--height", "300"});
        QCOMPARE(run.status, 3);
        const QStringList said = Said(run.err);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("glimpa-shot: " + closedAddress_), qPrintable(said[0]));
        QVERIFY(!QFile::exists(Path("out dir/b.png")));
        for (const auto& [name, pageRows] :
             {std::pair{"out/a.png", 300}, std::pair{"out/d.bmp", 200}}) {
            const int rows = pageRows;
            const QImage picture = QImageReader(Path(name)).read();
            QCOMPARE(picture.size(), QSize(400, 300));
            QCOMPARE(FirstWrongRow(picture,
                                   [&](int y) { return y < rows ? Band(y) : qRgb(255, 255, 255); }),
                     -1);
        }
        QCOMPARE(QImageReader(Path("out dir/c.jpg")).size(), QSize(400, 300));
        if (geteuid() == 0) QCOMPARE(run.err.count(QLatin1String("sandbox is off")), 1);
    }
};

QTEST_GUILESS_MAIN(ShotCliTest)
#include "shot_cli_test.moc"
