// The capture engine on its own: pages whose every pixel row the test knows, taken whole
// or by screens, in one part or several, at one and two device pixels per CSS pixel.
#include <QSignalSpy>
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

struct Expected {
    // The colour of the picture's row y (CSS pixels of the page, before the scale).
    std::function<QColor(int)> row;
};

// A page of one-pixel bands `rows` high, each its BandColor, `width` wide (0: as wide
// as the view), optionally on top of a fixed header of `header` rows and with a sticky
// bar of `sticky` rows after the first `stickyAt` bands.
QString Bands(int rows, int width = 0, int header = 0, int stickyAt = 0, int sticky = 0) {
    QString page = QStringLiteral(
                       "<!doctype html><html><head><style>body{margin:0}div{height:1px;%1}"
                       "</style></head><body>")
                       .arg(width ? QStringLiteral("width:%1px").arg(width) : QString());
    if (header > 0) page += FixedHeader(header);
    for (int i = 0; i < rows; ++i) {
        if (sticky > 0 && i == stickyAt)
            page += QStringLiteral(
                        "<nav style='position:sticky;top:0;height:%1px;background:#0000c8'>"
                        "</nav>")
                        .arg(sticky);
        if (sticky > 0 && i >= stickyAt && i < stickyAt + sticky) continue;
        page += QStringLiteral("<div style='background:%1'></div>").arg(BandColor(i).name());
    }
    return page + QStringLiteral("</body></html>");
}

// `rows` one-pixel bands, each its BandColor, for a page whose divs are one pixel high.
QString BandDivs(int rows) {
    QString divs;
    for (int i = 0; i < rows; ++i)
        divs += QStringLiteral("<div style='background:%1'></div>").arg(BandColor(i).name());
    return divs;
}

// A link to a style sheet of `rules` that `server` serves to its pages from another
// origin, so that the page cannot read its rules.
QString SheetFromElsewhere(FolderServer& server, const QString& name, const QString& rules) {
    WritePage(name, rules);
    return QStringLiteral("<link rel='stylesheet' href='%1'>")
        .arg(server.Address(name, QStringLiteral("localhost")));
}

}  // namespace

class CaptureEngineTest : public QObject {
    Q_OBJECT

  private:
    QWebEngineProfile* profile_ = nullptr;

    static ShotRequest Request(const QString& address, int width, int screen, double screens) {
        ShotRequest request;
        request.address = QUrl(address);
        request.width = width;
        request.screenHeight = screen;
        request.screens = screens;
        return request;
    }

  private Q_SLOTS:
    void initTestCase() { profile_ = new QWebEngineProfile(this); }

    void wholeAndScreens_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("pageRows");
        QTest::addColumn<double>("screens");
        QTest::addColumn<int>("pictureRows");
        QTest::newRow("1280, one screen, whole") << 1280 << 800 << 800 << 0.0 << 800;
        QTest::newRow("1280, 14.5 screens, whole") << 1280 << 800 << 11600 << 0.0 << 11600;
        QTest::newRow("1280, 40000 rows, whole") << 1280 << 800 << 40000 << 0.0 << 40000;
        QTest::newRow("1920, one screen, whole") << 1920 << 1080 << 1080 << 0.0 << 1080;
        QTest::newRow("1920, 14.5 screens, whole") << 1920 << 1080 << 15660 << 0.0 << 15660;
        QTest::newRow("1920, 40000 rows, whole") << 1920 << 1080 << 40000 << 0.0 << 40000;
        QTest::newRow("1920, 2.5 of 20 screens") << 1920 << 1080 << 21600 << 2.5 << 2700;
        QTest::newRow("1280, 14.5 screens asked") << 1280 << 800 << 40000 << 14.5 << 11600;
    }

    // Every pixel row of the page once, in order, and nothing more.
    void wholeAndScreens() {
        QFETCH(int, width);
        QFETCH(int, screen);
        QFETCH(int, pageRows);
        QFETCH(double, screens);
        QFETCH(int, pictureRows);
        CaptureEngine engine(profile_);
        const QString page =
            WritePage(QStringLiteral("bands%1.html").arg(pageRows), Bands(pageRows));
        QList<int> progress;
        connect(&engine, &CaptureEngine::Progress, this,
                [&](int done, int total) { progress << done << total; });
        const ShotResult result = ShootAndWait(engine, Request(page, width, screen, screens));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(width, pictureRows));
        QCOMPARE(FirstWrongRow(result.picture, 0, pictureRows, BandColor), -1);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), (pictureRows + screen - 1) / screen);
        QCOMPARE(progress[progress.size() - 2], progress.last());
    }

    void theTopOfAPageOnce_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("one part") << 3000;
        QTest::newRow("three parts") << 20000;
    }

    // A fixed header and a sticky bar, on a page that is rendered at once and on one that
    // is rendered in parts: each shows once, at its place for the top of the page.
    void theTopOfAPageOnce() {
        QFETCH(int, rows);
        CaptureEngine engine(profile_);
        const QString page =
            WritePage(QStringLiteral("top%1.html").arg(rows), Bands(rows, 0, 40, 100, 30));
        const ShotResult result = ShootAndWait(engine, Request(page, 1280, 800, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(1280, rows));
        const auto expected = [](int y) {
            if (y < 40) return HeaderColor();
            if (y >= 100 && y < 130) return QColor(0, 0, 200);
            return BandColor(y);
        };
        QCOMPARE(FirstWrongRow(result.picture, 0, rows, expected), -1);
    }

    // A header that the page's own script makes fixed only once the page scrolls, on a
    // page taken in parts: it shows once, at the top, not again at the top of each part.
    // The page is given back as it was: the elements the capture touched have their own
    // style attribute again, or none where they had none.
    void headerFixedOnScrollAndRestore() {
        CaptureEngine engine(profile_);
        constexpr int rows = 20000;
        const QString page = WritePage(
            QStringLiteral("fixed-on-scroll.html"),
            QStringLiteral("<!doctype html><html><head><style>body{margin:0}div{height:1px}"
                           "#bar{position:absolute;top:0;left:0;width:100%;height:40px;"
                           "background:%1}.pinned{position:fixed!important}"
                           "#hero{height:100vh;background:%2}</style></head><body>"
                           "<header id='bar'></header><section id='hero'></section>%3"
                           "<script>addEventListener('scroll', () => document.getElementById("
                           "'bar').classList.toggle('pinned', scrollY > 0));</script>"
                           "</body></html>")
                .arg(HeaderColor().name(), BandColor(0).name(), BandDivs(rows)));
        const ShotResult result = ShootAndWait(engine, Request(page, 1024, 700, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(1024, 700 + rows));
        const auto expected = [](int y) {
            if (y < 40) return HeaderColor();
            if (y < 700) return BandColor(0);
            return BandColor(y - 700);
        };
        QCOMPARE(FirstWrongRow(result.picture, 0, 700 + rows, expected), -1);

        QVariant styles;
        bool answered = false;
        engine.View().page()->runJavaScript(
            QStringLiteral("[...document.querySelectorAll('header, section, [style=\"\"]')]"
                           ".map((e) => e.tagName + ':' + e.getAttribute('style')).join(' ')"),
            [&](const QVariant& v) { styles = v, answered = true; });
        QTRY_VERIFY(answered);
        QCOMPARE(styles.toString(), QStringLiteral("HEADER:null SECTION:null"));
    }

    void heightsFromTheViewport_data() {
        QTest::addColumn<QString>("hero");
        QTest::addColumn<QString>("page");
        QTest::newRow("height 100vh") << QStringLiteral("height:100vh") << QString();
        QTest::newRow("min-height 100vh") << QStringLiteral("min-height:100vh") << QString();
        // The small, large and dynamic units come with a fallback, as on real pages: the
        // browser engine may know only one of each pair.
        QTest::newRow("height 100svh") << QStringLiteral("height:100vh;height:100svh") << QString();
        QTest::newRow("height 100dvh")
            << QStringLiteral("min-height:100vh;min-height:100dvh") << QString();
        QTest::newRow("height 100% to the root")
            << QStringLiteral("height:100%") << QStringLiteral("html,body{height:100%}");
        QTest::newRow("calc from the viewport") << QStringLiteral("height:calc(50vh + 50%)")
                                                << QStringLiteral("html,body{height:100%}");
        // The layout height is kept, not the transformed one.
        QTest::newRow("scaled") << QStringLiteral(
                                       "height:50vh;margin-bottom:350px;transform:scaleY(2);"
                                       "transform-origin:top")
                                << QString();
        // In vertical writing the height is the inline size, also where the content box
        // is square and only the padding makes the box wider.
        QTest::newRow("vertical writing")
            << QStringLiteral("width:100%;height:100vh;writing-mode:vertical-lr") << QString();
        QTest::newRow("vertical writing, square content")
            << QStringLiteral("width:700px;padding-right:324px;height:100vh")
            << QStringLiteral("section{writing-mode:vertical-rl}");
    }

    // A hero section whose height comes from the viewport stays one screen tall, and the
    // content follows it, whole page and three screens.
    void heightsFromTheViewport() {
        QFETCH(QString, hero);
        QFETCH(QString, page);
        const int screen = 700;
        const int content = 3 * screen;
        QString html = QStringLiteral(
                           "<!doctype html><html><head><style>body{margin:0}div{height:1px}%1"
                           "</style></head><body><section style='%2;background:#c80000'>"
                           "</section>")
                           .arg(page, hero);
        html += BandDivs(content);
        const QString address = WritePage(QStringLiteral("hero.html"), html + "</body></html>");
        const auto expected = [&](int y) {
            return y < screen ? QColor(200, 0, 0) : BandColor(y - screen);
        };
        for (const double screens : {0.0, 3.0}) {
            CaptureEngine engine(profile_);
            const ShotResult result = ShootAndWait(engine, Request(address, 1024, screen, screens));
            QCOMPARE(int(result.status), int(ShotStatus::Ok));
            const int rows = screens > 0 ? 3 * screen : screen + content;
            QCOMPARE(result.picture.size(), QSize(1024, rows));
            QCOMPARE(FirstWrongRow(result.picture, 0, rows, expected), -1);
            // The page is given back as it was.
            QString state;
            engine.View().page()->runJavaScript(
                QStringLiteral("document.querySelector('section').getAttribute('style') + '|' +"
                               "document.querySelectorAll('glimpa-frame-marker,"
                               "glimpa-capture-spacer,glimpa-view-sizer').length + '|' +"
                               "document.querySelectorAll('style').length"),
                [&](const QVariant& v) { state = v.toString(); });
            QTRY_VERIFY(!state.isEmpty());
            QCOMPARE(state, hero + QStringLiteral(";background:#c80000|0|1"));
        }
    }

    // A hero that a script makes as high as the view at each resize, on a page with no
    // length of its own that follows the view: it stays one screen tall too.
    void heightFromTheViewportByScript() {
        const int screen = 700;
        const int content = 2 * screen;
        const QString address = WritePage(
            QStringLiteral("scripted-hero.html"),
            QStringLiteral("<!doctype html><html><head><style>body{margin:0}div{height:1px}"
                           "section{background:#c80000}</style></head><body><section></section>"
                           "%1<script>const fit = () => document.querySelector('section')"
                           ".style.height = innerHeight + 'px'; fit();"
                           " addEventListener('resize', fit);</script></body></html>")
                .arg(BandDivs(content)));
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(engine, Request(address, 1024, screen, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(1024, screen + content));
        QCOMPARE(FirstWrongRow(
                     result.picture, 0, screen + content,
                     [&](int y) { return y < screen ? QColor(200, 0, 0) : BandColor(y - screen); }),
                 -1);
    }

    // A fixed footer and a hero as high as the view, wherever their rules are: each keeps
    // its place and its one-screen height. Rules of another origin cannot be read, and
    // then every element is asked.
    void positionsAndHeightsFromStyleSheets_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("own style") << QStringLiteral("own");
        QTest::newRow("style sheet") << QStringLiteral("sheet");
        QTest::newRow("inside @media") << QStringLiteral("media");
        QTest::newRow("added by a script") << QStringLiteral("script");
        QTest::newRow("another origin") << QStringLiteral("origin");
    }
    void positionsAndHeightsFromStyleSheets() {
        QFETCH(QString, where);
        const int screen = 600;
        const int footer = 50;
        const int content = 3 * screen;
        const QString hero = QStringLiteral("min-height:100vh;background:#c80000");
        const QString foot = QStringLiteral(
                                 "position:fixed;bottom:0;left:0;width:100%;height:%1px;"
                                 "background:#00c800")
                                 .arg(footer);
        const QString rules = QStringLiteral("section{%1} footer{%2}").arg(hero, foot);
        FolderServer server(AppPath(), 0);
        QString head;
        if (where == QLatin1String("sheet")) head = QStringLiteral("<style>%1</style>").arg(rules);
        if (where == QLatin1String("media"))
            head = QStringLiteral("<style>@media screen{%1}</style>").arg(rules);
        if (where == QLatin1String("script"))
            head = QStringLiteral(
                       "<style id='s'></style><script>for (const rule of ['section{%1}',"
                       "'footer{%2}']) s.sheet.insertRule(rule);</script>")
                       .arg(hero, foot);
        if (where == QLatin1String("origin"))
            head = SheetFromElsewhere(server, QStringLiteral("rules.css"), rules);
        const bool own = where == QLatin1String("own");
        QString html =
            QStringLiteral(
                "<!doctype html><html><head><style>body{margin:0}div{height:1px}</style>%1"
                "</head><body><section style='%2'></section><footer style='%3'></footer>")
                .arg(head, own ? hero : QString(), own ? foot : QString());
        html += BandDivs(content);
        WritePage(QStringLiteral("styled-%1.html").arg(where), html + "</body></html>");
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(
            engine,
            Request(server.Address(QStringLiteral("styled-%1.html").arg(where)), 800, screen, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(800, screen + content));
        QCOMPARE(FirstWrongRow(result.picture, 0, screen + content,
                               [&](int y) {
                                   if (y < screen - footer) return QColor(200, 0, 0);
                                   if (y < screen) return QColor(0, 200, 0);
                                   return BandColor(y - screen);
                               }),
                 -1);
    }

    // The page's own scroll bars never show, however the page styles them: the body's
    // bar rules win over the root's, and a body that scrolls itself has a bar of its own.
    void pageScrollBarsHidden_data() {
        QTest::addColumn<QString>("style");
        QTest::addColumn<bool>("otherOrigin");
        const QString bar = QStringLiteral("{width:40px;height:40px;background:#ff00ff}");
        QTest::newRow("body's bar styled") << "body::-webkit-scrollbar" + bar << false;
        QTest::newRow("every bar styled") << "::-webkit-scrollbar" + bar << false;
        QTest::newRow("inside @media")
            << "@media screen{body::-webkit-scrollbar" + bar + "}" << false;
        QTest::newRow("another origin") << "body::-webkit-scrollbar" + bar << true;
        QTest::newRow("body scrolls itself, as a shell")
            << QStringLiteral("html{overflow:hidden}body{overflow:auto;height:100vh}") << false;
    }
    void pageScrollBarsHidden() {
        QFETCH(QString, style);
        QFETCH(bool, otherOrigin);
        const int screen = 500;
        const int content = 3 * screen;
        FolderServer server(AppPath(), 0);
        QString head = QStringLiteral("<style>%1</style>").arg(style);
        if (otherOrigin) head = SheetFromElsewhere(server, QStringLiteral("bars.css"), style);
        // Bands wider than the view, so that a bar would show across the bottom too.
        QString html = QStringLiteral(
                           "<!doctype html><html><head><style>body{margin:0}"
                           "div{height:1px;width:1200px}</style>%1</head><body>")
                           .arg(head);
        html += BandDivs(content);
        WritePage(QStringLiteral("bars.html"), html + "</body></html>");
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(
            engine, Request(server.Address(QStringLiteral("bars.html")), 800, screen, 3));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), QSize(800, content));
        // A body that scrolls itself is unrolled as an app's shell is: all of it shows.
        QCOMPARE(FirstWrongRow(result.picture, 0, content, BandColor), -1);
    }

    void smallAndWidePages_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pageWidth");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("shorter than a screen") << 300 << 0 << 1.0 << QSize(1280, 800);
        QTest::newRow("wider than the view") << 1600 << 3000 << 1.0 << QSize(1280, 1600);
        QTest::newRow("scale 2") << 1000 << 0 << 2.0 << QSize(2560, 2000);
    }

    // A short page is one screen, white below the page; a wide one is cut at the view
    // with no scrollbar; scale 2 doubles both sizes and each CSS row is two rows.
    void smallAndWidePages() {
        QFETCH(int, rows);
        QFETCH(int, pageWidth);
        QFETCH(double, scale);
        QFETCH(QSize, picture);
        CaptureEngine engine(profile_);
        const QString page = WritePage(QStringLiteral("small.html"), Bands(rows, pageWidth));
        ShotRequest request = Request(page, 1280, 800, 0);
        request.scale = scale;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.size(), picture);
        const auto expected = [&](int y) {
            const int css = int(y / scale);
            return css < rows ? BandColor(css) : QColor(Qt::white);
        };
        QCOMPARE(FirstWrongRow(result.picture, 0, picture.height(), expected), -1);
    }

    void lazyImages_data() {
        QTest::addColumn<int>("screensDown");
        QTest::newRow("3 screens down") << 3;
        QTest::newRow("30 screens down") << 30;
    }

    // Images that the browser loads only near the view, served slowly over HTTP.
    void lazyImages() {
        QFETCH(int, screensDown);
        const int screen = 600;
        const QRect place(100, screensDown * screen + 100, 200, 100);
        QImage red(place.size(), QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(AppFile(QStringLiteral("lazy%1.png").arg(screensDown))));
        const QString html =
            QStringLiteral(
                "<!doctype html><html><head><style>body{margin:0;height:%1px;background:white}"
                "</style></head><body><img loading='lazy' src='lazy%2.png' style='position:"
                "absolute;left:%3px;top:%4px;width:200px;height:100px'></body></html>")
                .arg((screensDown + 2) * screen)
                .arg(screensDown)
                .arg(place.x())
                .arg(place.y());
        WritePage(QStringLiteral("lazy%1.html").arg(screensDown), html);
        FolderServer server(AppPath(), 300);
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(
            engine, Request(server.Address(QStringLiteral("lazy%1.html").arg(screensDown)), 1024,
                            screen, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.height(), (screensDown + 2) * screen);
        const QImage shown = result.picture.copy(place);
        QCOMPARE(FirstWrongRow(shown, 0, shown.height(), [](int) { return QColor(Qt::red); }), -1);
        QCOMPARE(
            FirstWrongRow(result.picture, 0, place.top(), [](int) { return QColor(Qt::white); }),
            -1);
    }

    // A script that watches for elements coming into sight changes them only after the
    // frame that showed them: the picture has them changed, in the first part of the
    // tall view and in a later one.
    void sightWatchersChangeContent_data() {
        QTest::addColumn<int>("top");
        QTest::newRow("first part") << 900;
        QTest::newRow("second part") << 9000;
    }
    void sightWatchersChangeContent() {
        QFETCH(int, top);
        const int screen = 600;
        const QString html =
            QStringLiteral(
                "<!doctype html><html><head><style>body{margin:0;height:%1px;background:white}"
                "</style></head><body><div id='d' style='position:absolute;left:0;top:%2px;"
                "width:100%;height:200px;background:#ff0000'></div><script>"
                "new IntersectionObserver((entries) => { for (const e of entries)"
                "  if (e.isIntersecting) e.target.style.background = '#00ff00'; })"
                ".observe(document.getElementById('d'));</script></body></html>")
                .arg(top + 2 * screen)
                .arg(top);
        FolderServer server(AppPath(), 0);
        WritePage(QStringLiteral("watch%1.html").arg(top), html);
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(
            engine,
            Request(server.Address(QStringLiteral("watch%1.html").arg(top)), 800, screen, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.height(), top + 2 * screen);
        QCOMPARE(FirstWrongRow(result.picture, 0, result.picture.height(),
                               [&](int y) {
                                   return y >= top && y < top + 200 ? QColor(0, 255, 0)
                                                                    : QColor(Qt::white);
                               }),
                 -1);
    }

    // A picture in the tall view that never arrives: the page is taken as it stands when
    // the wait ends, every row of it right except the picture's place.
    void tallViewThatNeverSettles() {
        const int screen = 600;
        const QRect place(0, 900, 300, 100);
        QImage blue(place.size(), QImage::Format_RGB32);
        blue.fill(Qt::blue);
        QVERIFY(blue.save(AppFile(QStringLiteral("never.png"))));
        QString html = Bands(3 * screen);
        html.replace(QStringLiteral("<body>"),
                     QStringLiteral("<body><img loading='lazy' src='never.png' style='position:"
                                    "absolute;left:%1px;top:%2px;width:%3px;height:%4px'>")
                         .arg(place.x())
                         .arg(place.y())
                         .arg(place.width())
                         .arg(place.height()));
        WritePage(QStringLiteral("never.html"), html);
        FolderServer server(AppPath(), 60000);
        CaptureEngine engine(profile_);
        ShotRequest request = Request(server.Address(QStringLiteral("never.html")), 800, screen, 0);
        request.timeout = std::chrono::milliseconds(3000);
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), int(ShotStatus::NotSettled));
        QCOMPARE(result.picture.height(), 3 * screen);
        QCOMPARE(FirstWrongRow(result.picture, 0, place.top(), BandColor), -1);
        QCOMPARE(FirstWrongRow(result.picture.copy(place.width(), 0, 800 - place.width(),
                                                   result.picture.height()),
                               0, result.picture.height(), BandColor),
                 -1);
    }

    // Content a script adds half a second after the load is in a picture taken at once.
    void lateContent() {
        const QString html = QStringLiteral(
            "<!doctype html><html><head><style>body{margin:0}</style></head><body>"
            "<div style='height:500px;background:#0000ff'></div><script>"
            "addEventListener('load', () => setTimeout(() => {"
            "  const d = document.createElement('div');"
            "  d.style.cssText = 'height:900px;background:#00ff00';"
            "  document.body.appendChild(d); }, 500));</script></body></html>");
        FolderServer server(AppPath(), 0);
        WritePage(QStringLiteral("late.html"), html);
        CaptureEngine engine(profile_);
        const ShotResult result = ShootAndWait(
            engine, Request(server.Address(QStringLiteral("late.html")), 1024, 600, 0));
        QCOMPARE(int(result.status), int(ShotStatus::Ok));
        QCOMPARE(result.picture.height(), 1400);
        QCOMPARE(
            FirstWrongRow(result.picture, 0, 1400,
                          [](int y) { return y < 500 ? QColor(0, 0, 255) : QColor(0, 255, 0); }),
            -1);
    }

    void outcomes_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("maxHeight");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("rows");
        QTest::newRow("cut at the tallest picture")
            << QStringLiteral("bands5000.html") << 3000 << int(ShotStatus::CutAtMaxHeight) << 3000;
        QTest::newRow("nothing listening")
            << QStringLiteral("http://127.0.0.1:9/") << 100000 << int(ShotStatus::LoadFailed) << 0;
    }

    void outcomes() {
        QFETCH(QString, address);
        QFETCH(int, maxHeight);
        QFETCH(int, status);
        QFETCH(int, rows);
        if (!address.startsWith(QLatin1String("http"))) address = WritePage(address, Bands(5000));
        CaptureEngine engine(profile_);
        ShotRequest request = Request(address, 1024, 768, 0);
        request.maxHeight = maxHeight;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), status);
        QCOMPARE(result.picture.height(), rows);
        if (rows) QCOMPARE(FirstWrongRow(result.picture, 0, rows, BandColor), -1);
        if (status != int(ShotStatus::Ok)) QVERIFY(!result.detail.isEmpty());
    }

    // Engines on one profile work side by side; a second request to a busy engine is
    // refused without disturbing the first.
    void enginesSideBySide() {
        const QString a = WritePage(QStringLiteral("a.html"), Bands(3000));
        const QString b = WritePage(QStringLiteral("b.html"), Bands(2000, 0, 40));
        CaptureEngine first(profile_), second(profile_);
        ShotResult one, two, refused;
        int finished = 0;
        connect(&first, &CaptureEngine::Finished, this, [&](const ShotResult& r) {
            (r.status == ShotStatus::Busy ? refused : one) = r;
            ++finished;
        });
        connect(&second, &CaptureEngine::Finished, this, [&](const ShotResult& r) {
            two = r;
            ++finished;
        });
        first.Shoot(Request(a, 1024, 700, 0));
        second.Shoot(Request(b, 1024, 700, 0));
        first.Shoot(Request(b, 1024, 700, 0));
        QTRY_COMPARE_WITH_TIMEOUT(finished, 3, 120000);
        QCOMPARE(int(refused.status), int(ShotStatus::Busy));
        QCOMPARE(int(one.status), int(ShotStatus::Ok));
        QCOMPARE(int(two.status), int(ShotStatus::Ok));
        QCOMPARE(FirstWrongRow(one.picture, 0, 3000, BandColor), -1);
        QCOMPARE(FirstWrongRow(two.picture, 0, 2000,
                               [](int y) { return y < 40 ? HeaderColor() : BandColor(y); }),
                 -1);
    }

    // A shot that gives the page back later holds it, as taken, until asked, a next shot
    // or the engine's end; then the view someone else owns has its size back and the
    // page holds none of the capture's elements.
    void givenBackLater_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("asked") << "asked";
        QTest::newRow("a next shot") << "next";
        QTest::newRow("the engine's end") << "end";
    }
    void givenBackLater() {
        QFETCH(QString, how);
        const QString page = WritePage(QStringLiteral("held.html"), Bands(3000));
        QWebEngineView view;
        view.setPage(new QWebEnginePage(profile_, &view));
        view.resize(640, 480);
        view.show();
        const auto ours = [&] {
            QVariant count;
            bool answered = false;
            view.page()->runJavaScript(
                QStringLiteral("document.querySelectorAll('glimpa-frame-marker, "
                               "glimpa-view-sizer, glimpa-capture-spacer').length"),
                [&](const QVariant& v) { count = v, answered = true; });
            return QTest::qWaitFor([&] { return answered; }, 10000) ? count.toInt() : -1;
        };
        auto engine = std::make_unique<CaptureEngine>(view);
        ShotRequest request = Request(page, 800, 600, 2);
        request.giveBackLater = true;
        const ShotResult held = ShootAndWait(*engine, request);
        QCOMPARE(int(held.status), int(ShotStatus::Ok));
        QCOMPARE(FirstWrongRow(held.picture, 0, 1200, BandColor), -1);
        QVERIFY(view.height() > 1200);
        QVERIFY(ours() > 0);

        if (how == "asked") engine->GiveBack();
        if (how == "end") engine.reset();
        if (how == "next") {
            request.address = QUrl();
            request.giveBackLater = false;
            const ShotResult again = ShootAndWait(*engine, request);
            QCOMPARE(int(again.status), int(ShotStatus::Ok));
            QCOMPARE(FirstWrongRow(again.picture, 0, 1200, BandColor), -1);
        }
        QCOMPARE(view.size(), QSize(640, 480));
        QTRY_COMPARE(ours(), 0);
        // Once given back, nothing more to give.
        if (engine) engine->GiveBack();
        QCOMPARE(view.size(), QSize(640, 480));
    }
};

GLIMPA_TEST_MAIN(CaptureEngineTest, 1920, 1080)
#include "capture_engine_test.moc"
