// Times the Capture command from the click to the composite on disk, for 1 and 6 rows of
// an already loaded page, beside a headless Chromium's full-page screenshot of the same
// page. Run under a real X server of the screen's size, e.g.
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/capture_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/form0.h"
#include "app/form1.h"
#include "app/picture_button.h"
#include "app/program.h"
#include "app/startup.h"
#include "capture/browser_rendering.h"
#include "capture/capture_engine.h"
#include "capture/row_files.h"
#include "capture_pages.h"
#include "platform/bitmap_file.h"
#include "platform/end_program.h"
#include "platform/program_folder.h"
#include "platform/val.h"

namespace {

constexpr int kRuns = 7;

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

Figures TimeCapture(Program& program, const QString& rows) {
    program.form1().TextRowsToCapture->setText(rows);
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        QFile::remove(WhopperFilePath());
        QElapsedTimer clock;
        clock.start();
        program.form1().CommandCapture->click();
        ms.push_back(clock.nsecsElapsed() / 1e6);
        const auto composite = LoadPicture(WhopperFilePath());
        const int height = int(Val(rows)) * QGuiApplication::primaryScreen()->size().height();
        if (!composite || composite->height() != height ||
            capturepages::FirstWrongRow(*composite, 0, height, capturepages::BandColor) != -1)
            std::printf("composite wrong!\n");
        // Let the browser catch up with the small view before the next click.
        QTest::qWait(300);
    }
    return Summary(ms);
}

std::optional<Figures> TimeChromium(const QString& page, QSize size) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) return std::nullopt;
    std::vector<double> ms;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir profile;
        const QString shot = profile.filePath(QStringLiteral("shot.png"));
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(
            chromium,
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
             QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
             QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
             QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
             QStringLiteral("--user-data-dir=") + profile.path(),
             QStringLiteral("--window-size=%1,%2").arg(size.width()).arg(size.height()),
             QStringLiteral("--screenshot=") + shot, page});
        if (!process.waitForFinished(120000)) return std::nullopt;
        ms.push_back(clock.nsecsElapsed() / 1e6);
        if (!QFile::exists(shot)) std::printf("chromium wrote no screenshot!\n");
    }
    return Summary(ms);
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
    AllowBrowserAsRoot();
    DrawBrowserInMemory();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir folder;
    SetAppPathOverride(folder.path());
    SetEndHandler([] {});

    Program program;
    Startup(program);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("screen %d x %d, platform %s\n", screen.width(), screen.height(),
                qPrintable(QGuiApplication::platformName()));

    const QString page = capturepages::WritePage(QStringLiteral("bands.html"),
                                                 capturepages::BandsPage(6 * screen.height()));
    QSignalSpy loaded(program.form0().WebBrowser1, &QWebEngineView::loadFinished);
    program.form1().TextURL->setText(page);
    QTest::keyClick(program.form1().TextURL, Qt::Key_Return);
    if (!loaded.wait(30000)) return 1;
    QTest::qWait(500);

    Print("Capture, 1 row (click to whopper.bmp)", TimeCapture(program, QStringLiteral("1")));
    Print("Capture, 6 rows (click to whopper.bmp)", TimeCapture(program, QStringLiteral("6")));
    // Where the composite's time goes: reading a row file back, writing the composite.
    std::vector<double> load, save;
    for (int run = 0; run < kRuns; ++run) {
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

    const auto chromium = TimeChromium(page, QSize(screen.width(), 6 * screen.height()));
    if (chromium)
        Print("chromium --headless --screenshot, 6 screens", *chromium);
    else
        std::printf("chromium not found or did not finish\n");
    TimeWholePage(screen.width(), 6 * screen.height());
    TimeWholePage(screen.width(), 60000);
    return 0;
}
