// The capture engine on pages that move: dialogs, navigation, growth without end, late
// pictures, animations, pages wider than the view, app shells, servers' errors. Each
// picture is either the page as it stands, checked pixel by pixel, or a clear failure.
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include "engine/capture_engine.h"
#include "files/program_folder.h"
#include "support/capture_http_server.h"
#include "support/capture_pages.h"
#include "support/shoot_and_wait.h"
#include "support/test_main.h"

using namespace capturepages;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

// A page of `blocks` blocks of `rows` CSS pixels each, block i in BandColor(i * 40).
QString Blocks(int blocks, int rows, const QString& extra = QString()) {
    QString page = QStringLiteral(
                       "<!doctype html><html><head><style>body{margin:0}"
                       "div.b{height:%1px}</style></head><body>%2")
                       .arg(rows)
                       .arg(extra);
    for (int i = 0; i < blocks; ++i)
        page += QStringLiteral("<div class=b style='background:%1'></div>")
                    .arg(BandColor(i * 40).name());
    return page + QStringLiteral("</body></html>");
}

// A red picture of `size` in the program folder, as `name`.
bool SaveRed(const QString& name, QSize size) {
    QImage red(size, QImage::Format_RGB32);
    red.fill(kRed);
    return red.save(AppFile(name));
}

QColor PixelAt(const QImage& picture, int x, int y) {
    return QColor(picture.pixel(x, y));
}

}  // namespace

class CaptureLivePagesTest : public QObject {
    Q_OBJECT

  private:
    QWebEngineProfile* profile_ = nullptr;

    static ShotRequest Request(const QString& address, int width = 800, int screen = 600) {
        ShotRequest request;
        request.address = QUrl(address);
        request.width = width;
        request.screenHeight = screen;
        return request;
    }

  private Q_SLOTS:
    void initTestCase() { profile_ = new QWebEngineProfile(this); }

    // Dialogs are answered as a browser without a user answers them, each told; the
    // page goes on and is taken.
    void dialogsAnswered() {
        const QString page = WritePage(
            QStringLiteral("dialogs.html"),
            QStringLiteral("<!doctype html><html><body style='margin:0'><script>"
                           "alert('one'); const c = confirm('two'); const p = prompt('three', 'x');"
                           "document.body.style.background = c === false && p === '' ? "
                           "'#0000ff' : '#ff0000';</script></body></html>"));
        CaptureEngine engine(profile_);
        QElapsedTimer clock;
        clock.start();
        const ShotResult result = ShootAndWait(engine, Request(page));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(FirstWrongRow(result.picture, 0, 600, [](int) { return kBlue; }), -1);
        QCOMPARE(result.notes.size(), 3);
        QVERIFY(result.notes[0].contains(QLatin1String("alert \"one\" answered OK")));
        QVERIFY(result.notes[1].contains(QLatin1String("confirm \"two\" answered Cancel")));
        QVERIFY(result.notes[2].contains(QLatin1String("prompt \"three\"")));
    }

    // A page that sends itself elsewhere once the view grows tall fails, naming where it
    // went; the engine takes the next page as usual.
    void navigationDuringTheCapture() {
        const QString elsewhere = WritePage(QStringLiteral("elsewhere.html"), Blocks(2, 100));
        const QString page = WritePage(
            QStringLiteral("leaves.html"),
            QStringLiteral("<!doctype html><html><body style='margin:0;height:20000px'><script>"
                           "addEventListener('resize', () => { if (innerHeight > 3000) "
                           "location.replace('elsewhere.html'); });</script></body></html>"));
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(engine, Request(page));
        QCOMPARE(int(result.status), int(ShotStatus::LoadFailed));
        QVERIFY(result.picture.isNull());
        QVERIFY2(result.detail.contains(QLatin1String("elsewhere.html")),
                 qPrintable(result.detail));
        const ShotResult next = ShootAndWait(engine, Request(elsewhere));
        QVERIFY2(next.status == ShotStatus::Ok, qPrintable(next.detail + next.notes.join(u';')));
        QCOMPARE(
            FirstWrongRow(next.picture, 0, 200, [](int y) { return BandColor(y < 100 ? 0 : 40); }),
            -1);
    }

    // A page that grows without end is taken down to the tallest picture and says so;
    // every block taken is whole.
    void endlessGrowthStopsAtTheTallest() {
        const QString page = WritePage(QStringLiteral("endless.html"), EndlessPage());
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.maxHeight = 30000;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), int(ShotStatus::CutAtMaxHeight));
        QCOMPARE(result.picture.height(), 30000);
        QCOMPARE(FirstWrongRow(result.picture, 0, 30000,
                               [](int y) { return (y / 1000) % 2 ? kGreen : kBlue; }),
                 -1);
    }

    // A page that lays itself out after its load, through work the page itself had due
    // (a timeout, a request, an interval), is taken once it has: whatever it was waiting
    // for, the picture holds what it added.
    void workDueAfterTheLoad_data() {
        QTest::addColumn<QString>("work");
        const QString add = QStringLiteral(
            "const d = document.createElement('div');"
            "d.style.cssText = 'height:900px;background:#00ff00';"
            "document.body.appendChild(d);");
        QTest::newRow("a timeout") << QStringLiteral("setTimeout(() => { %1 }, 400);").arg(add);
        QTest::newRow("a chain of timeouts")
            << QStringLiteral(
                   "setTimeout(() => setTimeout(() => setTimeout(() => { %1 }, 150),"
                   " 150), 0);")
                   .arg(add);
        QTest::newRow("a fetch answered late")
            << QStringLiteral("fetch('slow.png').then((r) => r.blob()).then(() => { %1 });")
                   .arg(add);
        QTest::newRow("an XMLHttpRequest answered late")
            << QStringLiteral(
                   "const x = new XMLHttpRequest(); x.open('GET', 'slow.png');"
                   "x.onload = () => { %1 }; x.send();")
                   .arg(add);
        QTest::newRow("an interval that ends itself")
            << QStringLiteral(
                   "let n = 0; const i = setInterval(() => { if (++n < 4) return;"
                   " clearInterval(i); %1 }, 100);")
                   .arg(add);
    }
    void workDueAfterTheLoad() {
        QFETCH(QString, work);
        QVERIFY(SaveRed(QStringLiteral("slow.png"), QSize(10, 10)));
        WritePage(QStringLiteral("work.html"),
                  QStringLiteral("<!doctype html><html><head><style>body{margin:0}</style>"
                                 "</head><body><div style='height:500px;background:#0000ff'>"
                                 "</div><script>addEventListener('load', () => { %1 });"
                                 "</script></body></html>")
                      .arg(work));
        FolderServer server(AppPath(), 400);
        CaptureEngine engine(profile_);
        const ShotResult result =
            ShootAndWait(engine, Request(server.Address(QStringLiteral("work.html"))));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.height(), 1400);
        QCOMPARE(
            FirstWrongRow(result.picture, 0, 1400, [](int y) { return y < 500 ? kBlue : kGreen; }),
            -1);
    }

    // A picture of no given size that comes in while a tall page is taken: the picture
    // shows the page before it came or after, never rows of both.
    void latePictureNeverTears() {
        QVERIFY(SaveRed(QStringLiteral("late.png"), QSize(300, 400)));
        WritePage(QStringLiteral("late.html"),
                  QStringLiteral("<!doctype html><html><body style='margin:0'><span id=s></span>"
                                 "<div style='height:30000px;background:#00ff00'></div>"
                                 "<div style='height:100px;background:#0000ff'></div><script>"
                                 "addEventListener('load', () => { const i = new Image();"
                                 "i.style.display = 'block'; i.src = 'late.png';"
                                 "s.appendChild(i); });</script></body></html>"));
        for (const int delay : {200, 500, 800}) {
            FolderServer server(AppPath(), delay);
            CaptureEngine engine(profile_);
            const ShotResult result =
                ShootAndWait(engine, Request(server.Address(QStringLiteral("late.html"))));
            QVERIFY2(result.status == ShotStatus::Ok || result.status == ShotStatus::NotSettled,
                     qPrintable(result.detail));
            const QImage& p = result.picture;
            // With the picture, 400 red rows on top; the rest follows in its place.
            const bool shown = PixelAt(p, 10, 0) == kRed;
            const int top = shown ? 400 : p.height() - 30100;
            QVERIFY2(top >= 0 && top <= 400,
                     qPrintable(QStringLiteral("%1 rows after %2 ms").arg(p.height()).arg(delay)));
            QCOMPARE(p.height(), top + 30100);
            QCOMPARE(FirstWrongRow(p.copy(0, top, 800, 30100), 0, 30100,
                                   [](int y) { return y < 30000 ? kGreen : kBlue; }),
                     -1);
        }
    }

    // Motion held still: a finite fade at its end, an endless spin at its start, and two
    // runs give the same picture; left running, the fade is caught on its way.
    void motionHeldStill_data() {
        QTest::addColumn<bool>("still");
        QTest::newRow("held still") << true;
        QTest::newRow("left running") << false;
    }
    void motionHeldStill() {
        QFETCH(bool, still);
        const QString page = WritePage(
            QStringLiteral("motion.html"),
            QStringLiteral("<!doctype html><html><head><style>body{margin:0}"
                           "@keyframes fade{from{background:#ffffff}to{background:#0000ff}}"
                           "@keyframes slide{from{margin-left:0}to{margin-left:400px}}"
                           ".fade{height:200px;animation:fade 20s forwards}"
                           ".slide{width:100px;height:200px;background:#00ff00;"
                           "animation:slide 3s linear infinite}</style></head><body>"
                           "<div class=fade></div><div class=slide></div></body></html>"));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.stillMotion = still;
        const ShotResult first = ShootAndWait(engine, request);
        QCOMPARE(int(first.status), int(ShotStatus::Ok));
        if (!still) {
            QVERIFY(PixelAt(first.picture, 10, 10) != kBlue);
            return;
        }
        QCOMPARE(
            FirstWrongRow(first.picture.copy(0, 0, 800, 200), 0, 200, [](int) { return kBlue; }),
            -1);
        QCOMPARE(PixelAt(first.picture, 50, 300), kGreen);
        QCOMPARE(PixelAt(first.picture, 150, 300), QColor(Qt::white));
        const ShotResult second = ShootAndWait(engine, request);
        QCOMPARE(second.picture, first.picture);
    }

    // Every scale settles as fast as scale 1, and the page sees its scale and width
    // from its first script on.
    void everyScaleSettles_data() {
        QTest::addColumn<double>("scale");
        for (const double scale : {0.25, 0.5, 1.0, 1.5, 2.0, 2.5})
            QTest::newRow(qPrintable(QString::number(scale))) << scale;
    }
    void everyScaleSettles() {
        QFETCH(double, scale);
        const QString page =
            WritePage(QStringLiteral("scaled.html"),
                      Blocks(25, 40,
                             QStringLiteral("<script>document.title = devicePixelRatio + ' ' + "
                                            "innerWidth;</script>")));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.scale = scale;
        request.timeout = std::chrono::milliseconds(20000);
        QElapsedTimer clock;
        clock.start();
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
        // What the page's first script saw, asked of the page itself (the view's title
        // follows a moment later). Where the browser gave the scale too late even after
        // the loads again, the result says so.
        QString seen;
        engine.View().page()->runJavaScript(
            QStringLiteral("document.title"),
            [&](const QVariant& title) { seen = title.toString(); });
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 10000);
        const QStringList sight = seen.split(u' ');
        const bool right = sight.size() == 2 && qAbs(sight[0].toDouble() - scale) < 0.01 &&
                           qAbs(sight[1].toInt() - 800) <= 1 + 2 / scale;
        if (!right) {
            QVERIFY2(result.notes.size() == 1, qPrintable(seen));
            QVERIFY(result.notes[0].contains(QLatin1String("first scripts saw a scale of")));
        }
        QCOMPARE(result.picture.size(), QSize(qRound(800 * scale), qRound(1000 * scale)));
        for (int i = 0; i < 25; ++i)
            QCOMPARE(PixelAt(result.picture, 5, int((i * 40 + 20) * scale)), BandColor(i * 40));
    }

    // A page wider than the view is taken as wide as it is, up to the widest picture,
    // and cut there with a status of its own.
    void widePages_data() {
        QTest::addColumn<int>("maxWidth");
        QTest::addColumn<int>("pictureWidth");
        QTest::addColumn<int>("status");
        QTest::newRow("whole") << 4000 << 3000 << int(ShotStatus::Ok);
        QTest::newRow("cut") << 2000 << 2000 << int(ShotStatus::CutAtMaxWidth);
        QTest::newRow("the view's width") << 0 << 800 << int(ShotStatus::Ok);
    }
    void widePages() {
        QFETCH(int, maxWidth);
        QFETCH(int, pictureWidth);
        QFETCH(int, status);
        QString stripes;
        for (int i = 0; i < 30; ++i)
            stripes += QStringLiteral(
                           "<i style='display:inline-block;width:100px;height:500px;"
                           "background:%1'></i>")
                           .arg(BandColor(i * 40).name());
        const QString page = WritePage(
            QStringLiteral("wide.html"),
            QStringLiteral("<!doctype html><html><body style='margin:0'><div style='width:3000px;"
                           "display:flex'>%1</div></body></html>")
                .arg(stripes));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.maxWidth = maxWidth;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), status);
        QCOMPARE(result.picture.size(), QSize(pictureWidth, 600));
        for (int x = 50; x < pictureWidth; x += 100)
            QCOMPARE(PixelAt(result.picture, x, 250), BandColor(x / 100 * 40));
    }

    // An app's shell: a fixed header over a main part that scrolls by itself. The
    // picture holds the header once and all of the main part below it; a selector names
    // a scroller too small to be guessed, and one that matches nothing fails.
    void appShells_data() {
        QTest::addColumn<QString>("mainStyle");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("height");
        QTest::newRow("guessed") << QStringLiteral(
                                        "position:fixed;top:60px;bottom:0;left:0;right:0")
                                 << QString() << int(ShotStatus::Ok) << 60 + 3000;
        QTest::newRow("in a flex column")
            << QStringLiteral("flex:1") << QString() << int(ShotStatus::Ok) << 60 + 3000;
        QTest::newRow("named") << QStringLiteral(
                                      "position:fixed;top:60px;height:200px;left:0;width:300px")
                               << QStringLiteral("main") << int(ShotStatus::Ok) << 60 + 3000;
        QTest::newRow("named, missing") << QStringLiteral("flex:1") << QStringLiteral("#nothing")
                                        << int(ShotStatus::LoadFailed) << 0;
    }
    void appShells() {
        QFETCH(QString, mainStyle);
        QFETCH(QString, selector);
        QFETCH(int, status);
        QFETCH(int, height);
        const QString page = WritePage(
            QStringLiteral("shell.html"),
            QStringLiteral("<!doctype html><html><head><style>html,body{height:100%;margin:0;"
                           "overflow:hidden}body{display:flex;flex-direction:column}"
                           "header{height:60px;flex:none;background:#0000ff}"
                           "main{overflow:auto;%1}div.b{height:100px}</style></head><body>"
                           "<header></header><main>%2</main></body></html>")
                .arg(mainStyle, Blocks(30, 100)
                                    .section(QStringLiteral("<body>"), 1)
                                    .section(QStringLiteral("</body>"), 0, 0)));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.scrollElement = selector;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), status);
        if (status != int(ShotStatus::Ok)) {
            QVERIFY(result.detail.contains(selector));
            return;
        }
        QCOMPARE(result.picture.height(), height);
        QCOMPARE(
            FirstWrongRow(result.picture.copy(0, 0, 300, height), 0, height,
                          [](int y) { return y < 60 ? kBlue : BandColor((y - 60) / 100 * 40); }),
            -1);
    }

    // A server's error that comes with a page: the page is taken and the status told.
    // Without a page, and where nothing answers, the failure says which it was.
    void serverAnswers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("http");
        QTest::addColumn<QString>("said");
        QTest::newRow("404 with a page")
            << "status404-page.html" << int(ShotStatus::Ok) << 404 << "HTTP 404 Not Found";
        QTest::newRow("500 with a page") << "status500-page.html" << int(ShotStatus::Ok) << 500
                                         << "HTTP 500 Internal Server Error";
        QTest::newRow("404 without") << "status404-none.html" << int(ShotStatus::LoadFailed) << 0
                                     << "HTTP 404 Not Found with no page";
        QTest::newRow("200") << "status200-page.html" << int(ShotStatus::Ok) << 0 << "";
    }
    void serverAnswers() {
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(int, http);
        QFETCH(QString, said);
        WritePage(name, Blocks(3, 200));
        QFile::remove(AppFile(QStringLiteral("status404-none.html")));
        FolderServer server(AppPath(), 0);
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(engine, Request(server.Address(name)));
        QCOMPARE(int(result.status), status);
        QCOMPARE(result.httpStatus, http);
        if (http) QCOMPARE(result.httpText, said);
        if (status != int(ShotStatus::Ok))
            QVERIFY2(result.detail.contains(said), qPrintable(result.detail));
        if (status == int(ShotStatus::Ok))
            QCOMPARE(FirstWrongRow(result.picture, 0, 600,
                                   [](int y) { return BandColor(y / 200 * 40); }),
                     -1);
    }

    void refusedConnection() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        CaptureEngine engine(profile_);
        const ShotResult result =
            ShootAndWait(engine, Request(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
        QCOMPARE(int(result.status), int(ShotStatus::LoadFailed));
        QVERIFY2(result.detail.contains(QLatin1String("refused")), qPrintable(result.detail));
    }

    // The whole capture ends within a second of its time, whatever the page does.
    void timeHeldTo_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::newRow("a script that never returns")
            << "addEventListener('load', () => setTimeout(() => { for (;;) {} }, 300));"
            << int(ShotStatus::LoadFailed);
        QTest::newRow("a page that grows without end")
            << "setInterval(() => { const d = document.createElement('div');"
               " d.style.height = '100px'; document.body.appendChild(d); }, 20);"
            << int(ShotStatus::NotSettled);
    }
    void timeHeldTo() {
        QFETCH(QString, script);
        QFETCH(int, status);
        const QString page =
            WritePage(QStringLiteral("restless.html"),
                      QStringLiteral("<!doctype html><html><body style='margin:0'><script>%1"
                                     "</script></body></html>")
                          .arg(script));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(page);
        request.timeout = std::chrono::milliseconds(3000);
        QElapsedTimer clock;
        clock.start();
        const ShotResult result = ShootAndWait(engine, request);
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(int(result.status), status);
        QVERIFY(!result.detail.isEmpty());
    }

    // A page that asked for WebGL where there is none is not written as a success.
    void webglThatCannotBeDrawn() {
        const QString page = WritePage(
            QStringLiteral("webgl.html"),
            QStringLiteral("<!doctype html><html><body style='margin:0'><canvas id=c></canvas>"
                           "<script>const gl = c.getContext('webgl');"
                           "if (gl) { gl.clearColor(0, 1, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); }"
                           "</script></body></html>"));
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(engine, Request(page));
        if (result.status == ShotStatus::Ok) {
            // Where the browser draws WebGL, the canvas shows what was drawn.
            QCOMPARE(PixelAt(result.picture, 10, 10), kGreen);
            return;
        }
        QCOMPARE(int(result.status), int(ShotStatus::NotSettled));
        QVERIFY(result.detail.contains(QLatin1String("WebGL")));
    }

    // A long page of text gives the same picture at two screen heights.
    void sameTextAtTwoScreenHeights() {
        QString text;
        for (int i = 0; i < 400; ++i)
            text += QStringLiteral(
                        "<p>Paragraph %1: the quick brown fox jumps over the lazy "
                        "dog, again and again, for line after line.</p>")
                        .arg(i);
        const QString page = WritePage(
            QStringLiteral("text.html"),
            QStringLiteral("<!doctype html><html><body style='margin:8px;font:16px sans-serif'>"
                           "%1</body></html>")
                .arg(text));
        CaptureEngine engine(profile_);
        const ShotResult shorter = ShootAndWait(engine, Request(page, 1024, 600));
        const ShotResult taller = ShootAndWait(engine, Request(page, 1024, 900));
        QCOMPARE(int(shorter.status), int(ShotStatus::Ok));
        QCOMPARE(int(taller.status), int(ShotStatus::Ok));
        QVERIFY(shorter.picture.height() > 9000);
        QCOMPARE(shorter.picture, taller.picture);
    }
};

GLIMPA_TEST_MAIN(CaptureLivePagesTest, 1920, 1080)
#include "capture_live_pages_test.moc"
