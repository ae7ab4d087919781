// Times the Capture command from the click to the composite on disk, for 1 and 6 rows of
// an already loaded page, beside two warm headless Chromiums (driven over the DevTools
// protocol on a pipe, the page loaded once; one with the screen's viewport, one with a
// viewport as tall as the shot) taking a PNG screenshot of the same six screens, timed to
// the reply's last byte, on a bands page and on a page of text; runs interleaved, the
// ratio against each Chromium. Run under a real X server of the screen's size, e.g.
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/capture_bench [--sides] [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "cdp_pipe.h"
#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/picture_button.h"
#include "desktop/program.h"
#include "desktop/startup.h"
#include "engine/bounded_wait.h"
#include "engine/browser_startup.h"
#include "engine/capture_engine.h"
#include "engine/val.h"
#include "files/program_files.h"
#include "files/program_folder.h"
#include "files/warm_memory.h"
#include "formats/bitmap_file.h"
#include "support/capture_pages.h"

namespace {

// Runs of each figure, interleaved where two are compared; "--runs N" asks for more.
int runs = 7;

struct Figures {
    double best = 0, median = 0;
};

Figures Summary(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void Print(const char* what, const Figures& f) {
    std::printf("%-44s best %7.1f ms   median %7.1f ms\n", what, f.best, f.median);
}

// One click on Capture, timed to the composite on disk; the composite is checked
// against the bands page when `bands` is set.
double CaptureOnce(Program& program, const QString& rows, bool bands) {
    program.form1().TextRowsToCapture->setText(rows);
    QFile::remove(WhopperFilePath());
    QElapsedTimer clock;
    clock.start();
    program.form1().CommandCapture->click();
    const double ms = clock.nsecsElapsed() / 1e6;
    const auto composite = LoadPicture(WhopperFilePath());
    const int height = int(Val(rows)) * QGuiApplication::primaryScreen()->size().height();
    if (!composite || composite->height() != height ||
        (bands &&
         capturepages::FirstWrongRow(*composite, 0, height, capturepages::BandColor) != -1))
        std::printf("composite wrong!\n");
    // Let the browser catch up with the small view before the next click.
    QTest::qWait(300);
    return ms;
}

Figures TimeCapture(Program& program, const QString& rows) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) ms.push_back(CaptureOnce(program, rows, true));
    return Summary(ms);
}

// Shows `page` in the program's browser and waits for it to load.
bool LoadInProgram(Program& program, const QString& page) {
    QSignalSpy loaded(program.form0().WebBrowser1, &QWebEngineView::loadFinished);
    program.form1().TextURL->setText(page);
    QTest::keyClick(program.form1().TextURL, Qt::Key_Return);
    if (!loaded.wait(30000)) return false;
    QTest::qWait(500);
    return true;
}

// A warm headless Chromium as fast as it goes: one page target, a page loaded once, then
// PNG screenshot after screenshot of its top `shot` pixels, optimised for speed; each
// timed from the command to the last byte of the reply, the base64 left undecoded. With
// `tallView` the viewport is the shot's size, so that no screenshot has to grow the view
// beyond it first; else it is the screen's and the screenshot reaches beyond it.
class WarmChromium {
  public:
    bool Start(QSize screen, QSize shot, bool tallView) {
        if (!profile_.isValid()) return false;
        session_ = cdp_.StartWithPage(profile_.path());
        if (session_.isEmpty()) return false;
        tallView_ = tallView;
        const QSize view = tallView ? shot : screen;
        return cdp_.Call("Page.enable", {}, session_) &&
               cdp_.Call("Emulation.setDeviceMetricsOverride",
                         {{"width", view.width()},
                          {"height", view.height()},
                          {"deviceScaleFactor", 1},
                          {"mobile", false}},
                         session_);
    }

    bool Load(const QString& page) {
        cdp_.ForgetEvents();
        return cdp_.Call("Page.navigate", {{"url", page}}, session_) &&
               cdp_.WaitForEvent("Page.loadEventFired", 60000);
    }

    // The loaded page's height in CSS pixels; 0 when unknown.
    int PageHeight() {
        const auto result =
            cdp_.Call("Runtime.evaluate", {{"expression", "document.documentElement.scrollHeight"}},
                      session_);
        return result ? result->value("result").toObject().value("value").toInt() : 0;
    }

    // Milliseconds from the command to the reply's last byte; nothing when it failed. With
    // `file` the PNG is decoded and written there once the clock has stopped.
    std::optional<double> Screenshot(QSize shot, const QString& file = {}) {
        const QJsonObject clip{
            {"x", 0}, {"y", 0}, {"width", shot.width()}, {"height", shot.height()}, {"scale", 1}};
        const auto sent = std::chrono::steady_clock::now();
        const auto result = cdp_.Call("Page.captureScreenshot",
                                      {{"format", "png"},
                                       {"captureBeyondViewport", !tallView_},
                                       {"clip", clip},
                                       {"optimizeForSpeed", true}},
                                      session_, 120000);
        if (!result) return std::nullopt;
        const double ms =
            std::chrono::duration<double, std::milli>(cdp_.LastReplyArrival() - sent).count();
        if (file.isEmpty()) return ms;
        const QByteArray png = QByteArray::fromBase64(result->value("data").toString().toLatin1());
        QFile out(file);
        if (png.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(png) != png.size())
            return std::nullopt;
        return ms;
    }

  private:
    QTemporaryDir profile_;
    CdpPipe cdp_;
    QString session_;
    bool tallView_ = false;
};

// A long page of real text: headings, paragraphs, a list, links, in the fonts a page
// uses, about `height` pixels tall.
QString TextPage(int height) {
    const QStringList words{"capture", "the",  "page",   "screen",  "picture", "browser",
                            "of",      "and",  "crop",   "bars",    "save",    "quality",
                            "a",       "text", "colour", "file",    "to",      "window",
                            "rows",    "with", "image",  "address", "panel",   "control"};
    QString page = QStringLiteral(
        "<!doctype html><html><head><style>body{margin:40px 360px 40px 60px;"
        "font:16px/24px 'DejaVu Sans',sans-serif;color:#1e1e1e}"
        "h2{font:bold 30px/46px 'Liberation Serif',serif;color:#96141e;margin:30px 0 8px}"
        "a{color:#1446c8}li{margin:2px 0}</style></head><body>"
        "<h1 style='font:bold 40px/60px serif'>The Daily Capture</h1>");
    quint32 state = 7;
    const auto word = [&] {
        state = state * 1664525u + 1013904223u;
        return words[int(state >> 16) % words.size()];
    };
    // A 90-word paragraph takes about three lines of 24 px; the estimate runs short
    // rather than long, with a screen to spare.
    for (int y = 120, section = 0; y < height + 1080; ++section) {
        page += QStringLiteral("<h2>Section %1: %2 %3 %4</h2>")
                    .arg(section + 1)
                    .arg(word(), word(), word());
        y += 84;
        for (int p = 0; p < 3; ++p) {
            page += QStringLiteral("<p>");
            for (int i = 0; i < 90; ++i)
                page +=
                    (i % 17 == 5 ? QStringLiteral("<a href='#'>%1</a> ") : QStringLiteral("%1 "))
                        .arg(word());
            page += QStringLiteral("</p>");
            y += 3 * 24 + 16;
        }
        page += QStringLiteral("<ul>");
        for (int i = 0; i < 4; ++i)
            page += QStringLiteral("<li>%1 %2 %3 %4</li>").arg(word(), word(), word(), word());
        page += QStringLiteral("</ul>");
        y += 4 * 28 + 32;
    }
    return page + QStringLiteral("</body></html>");
}

// Peak resident memory of this process so far, MiB (the browser's own processes apart).
long PeakMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    return -1;
}

// The engine alone on a whole page: load, settle, every part, the picture in memory.
void TimeWholePage(int width, int rows) {
    const QString page = capturepages::WritePage(QStringLiteral("whole%1.html").arg(rows),
                                                 capturepages::BandsPage(rows));
    CaptureEngine engine;
    ShotRequest request;
    request.address = QUrl(page);
    request.width = width;
    request.screenHeight = 1080;
    ShotResult result;
    QSignalSpy finished(&engine, &CaptureEngine::Finished);
    QObject::connect(&engine, &CaptureEngine::Finished, &engine,
                     [&](const ShotResult& r) { result = r; });
    QElapsedTimer clock;
    clock.start();
    engine.Shoot(request);
    finished.wait(300000);
    const double ms = clock.nsecsElapsed() / 1e6;
    const bool exact =
        result.picture.height() == rows &&
        capturepages::FirstWrongRow(result.picture, 0, rows, capturepages::BandColor) == -1;
    std::printf("Engine, whole %d x %d page (load included)   %7.1f ms   %s, peak RSS %ld MiB\n",
                width, rows, ms, exact ? "exact" : "WRONG", PeakMiB());
}

}  // namespace

int main(int argc, char* argv[]) {
    KeepPictureMemoryWarm();
    StartBrowser();
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--runs")); at > 0)
        runs = std::max(runs, app.arguments().value(at + 1).toInt());
    QTemporaryDir folder;
    SetAppPathOverride(folder.path());
    SetEndHandler([] {});
    ReleaseMemoryWhenIdle(app, std::chrono::seconds(30));

    Program program;
    Startup(program);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("screen %d x %d, platform %s\n", screen.width(), screen.height(),
                qPrintable(QGuiApplication::platformName()));

    const QString page = capturepages::WritePage(QStringLiteral("bands.html"),
                                                 capturepages::BandsPage(6 * screen.height()));
    if (!LoadInProgram(program, page)) return 1;

    const Figures one = TimeCapture(program, QStringLiteral("1"));
    Print("Capture, 1 row (click to whopper.bmp)", one);
    const Figures six = TimeCapture(program, QStringLiteral("6"));
    Print("Capture, 6 rows (click to whopper.bmp)", six);
    // What each screen beyond the first costs, from the medians.
    const double perRow = (six.median - one.median) / 5;
    std::printf("  per extra row %.1f ms, per megapixel %.1f ms\n", perRow,
                perRow / (screen.width() * screen.height() / 1e6));
    // Where the composite's time goes: reading a row file back, writing the composite.
    std::vector<double> load, save;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const auto row = LoadPicture(RowFilePath(1));
        load.push_back(clock.nsecsElapsed() / 1e6);
        const auto composite = LoadPicture(WhopperFilePath());
        clock.restart();
        if (composite) SavePicture(*composite, WhopperFilePath());
        save.push_back(clock.nsecsElapsed() / 1e6);
    }
    Print("  LoadPicture of one row file", Summary(load));
    Print("  SavePicture of the 6-row composite", Summary(save));

    // The engine alone on whole pages, cold load included; "--sides" skips to the side by
    // side runs.
    if (!app.arguments().contains(QStringLiteral("--sides"))) {
        TimeWholePage(screen.width(), 6 * screen.height());
        TimeWholePage(screen.width(), 60000);
    }

    // Side by side with two warm Chromiums, one run of each in turn: the screen's viewport
    // with the screenshot beyond it, and a viewport as tall as the shot.
    const QSize shot(screen.width(), 6 * screen.height());
    WarmChromium beyond, tall;
    if (!beyond.Start(screen, shot, false) || !tall.Start(screen, shot, true)) {
        std::printf("chromium not found or not driven over its pipe\n");
        return 0;
    }
    const QString text =
        capturepages::WritePage(QStringLiteral("text.html"), TextPage(shot.height()));
    struct Side {
        const char* name;
        QString page;
        bool bands;
    };
    struct Reference {
        const char* name;
        WarmChromium* chromium;
        std::vector<double> ms;
    };
    for (const Side& side : {Side{"bands page", page, true}, Side{"text page", text, false}}) {
        std::vector<Reference> references{{"chromium, screen's view, beyond it", &beyond, {}},
                                          {"chromium, view as tall as the shot", &tall, {}}};
        if (!LoadInProgram(program, side.page) || !beyond.Load(side.page) ||
            !tall.Load(side.page)) {
            std::printf("%s did not load\n", side.name);
            continue;
        }
        std::printf("%s: %d px tall\n", side.name, beyond.PageHeight());
        // One of each first: the page is warm in each browser before the clock runs, and
        // the pictures are checked.
        CaptureOnce(program, QStringLiteral("6"), side.bands);
        for (Reference& r : references) {
            const QString png = folder.filePath(QStringLiteral("chromium.png"));
            const QImage first = r.chromium->Screenshot(shot, png) ? QImage(png) : QImage();
            if (first.size() != shot ||
                (side.bands && capturepages::FirstWrongRow(first, 0, shot.height(),
                                                           capturepages::BandColor) != -1))
                std::printf("%s: screenshot wrong or failed!\n", r.name);
        }
        std::vector<double> ours;
        for (int run = 0; run < runs; ++run) {
            ours.push_back(CaptureOnce(program, QStringLiteral("6"), side.bands));
            for (Reference& r : references)
                if (const auto ms = r.chromium->Screenshot(shot)) r.ms.push_back(*ms);
        }
        std::printf(
            "%s, 6 screens, %d runs interleaved (chromium: command to the PNG's last "
            "byte received):\n",
            side.name, runs);
        const Figures a = Summary(ours);
        Print("  Capture, 6 rows (click to whopper.bmp)", a);
        // The ratio against each reference. The full-page picture of the page as loaded is
        // the screen's view with the shot beyond it; the tall view is a bound below it, a
        // page laid out six screens high from the start, which never has to grow.
        for (const Reference& r : references) {
            if (r.ms.empty()) continue;
            Print(("  " + QByteArray(r.name)).constData(), Summary(r.ms));
        }
        for (const Reference& r : references) {
            if (r.ms.empty()) continue;
            const Figures b = Summary(r.ms);
            std::printf("  ratio ours / %s: best %.2f, median %.2f\n", r.name, a.best / b.best,
                        a.median / b.median);
        }
    }
    return 0;
}
