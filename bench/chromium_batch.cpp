// The warm Chromium reference for a batch: what a short script over the DevTools
// protocol does. One headless Chromium, one page target 1920 wide without scroll bars;
// for each page of the list: navigate, wait for the load event, measure the page, one
// full-page PNG screenshot (clip of the whole page at scale 1, beyond the viewport,
// optimised for speed), base64 decoded and written; one page after another.
//
//   chromium_batch BATCH [--width PX]
//       the script alone, once: BATCH holds lines "ADDRESS OUTPUT" as glimpa-shot's
//       --batch reads them (no options); prints the start and the pages' times
//   chromium_batch --compare GLIMPA_SHOT BATCH [--width PX] [--runs N]
//       `glimpa-shot --batch BATCH --jobs 1` and `--jobs 2` against the script on a
//       browser started once (its start timed apart), runs interleaved; the script
//       writes beside each OUTPUT, "chromium-" before its name
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "cdp_pipe.h"
#include "interleaved_runs.h"

namespace {

struct Page {
    QUrl address;
    QString output;
};

// The batch's "ADDRESS OUTPUT" lines; blank and '#' lines skipped, as glimpa-shot does.
std::vector<Page> ReadList(const QString& path) {
    std::vector<Page> pages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return pages;
    const QDir here = QDir::current();
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const QStringList fields = QProcess::splitCommand(line);
        if (fields.size() < 2) continue;
        const QString address = fields.at(0);
        const QUrl url = address.contains(QStringLiteral("://"))
                             ? QUrl(address)
                             : QUrl::fromLocalFile(here.absoluteFilePath(address));
        pages.push_back({url, here.absoluteFilePath(fields.at(1))});
    }
    return pages;
}

class Script {
  public:
    // Starts the browser and opens the one page target; false when it could not.
    bool Start(int width) {
        if (!profile_.isValid()) return false;
        session_ = cdp_.StartWithPage(profile_.path());
        if (session_.isEmpty()) return false;
        // No scroll bar: the page laid out the whole width, as glimpa-shot does.
        return cdp_.Call("Page.enable", {}, session_) &&
               cdp_.Call("Emulation.setScrollbarsHidden", {{"hidden", true}}, session_) &&
               cdp_.Call("Emulation.setDeviceMetricsOverride",
                         {{"width", width},
                          {"height", 1080},
                          {"deviceScaleFactor", 1},
                          {"mobile", false}},
                         session_);
    }

    // One page to its file; the picture's size, or nothing when a step failed.
    std::optional<QSize> Shoot(const Page& page, const QString& output) {
        cdp_.ForgetEvents();
        if (!cdp_.Call("Page.navigate", {{"url", page.address.toString()}}, session_) ||
            !cdp_.WaitForEvent("Page.loadEventFired", 60000))
            return std::nullopt;
        const auto metrics = cdp_.Call("Page.getLayoutMetrics", {}, session_);
        if (!metrics) return std::nullopt;
        const QJsonObject content = metrics->value("cssContentSize").toObject();
        const int width = int(std::ceil(content.value("width").toDouble()));
        const int height = int(std::ceil(content.value("height").toDouble()));
        const QJsonObject clip{
            {"x", 0}, {"y", 0}, {"width", width}, {"height", height}, {"scale", 1}};
        const auto shot = cdp_.Call("Page.captureScreenshot",
                                    {{"format", "png"},
                                     {"captureBeyondViewport", true},
                                     {"clip", clip},
                                     {"optimizeForSpeed", true}},
                                    session_, 300000);
        if (!shot) return std::nullopt;
        const QByteArray png = QByteArray::fromBase64(shot->value("data").toString().toLatin1());
        QFile out(output);
        if (png.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(png) != png.size())
            return std::nullopt;
        return QSize(width, height);
    }

    bool ShootAll(const std::vector<Page>& pages, bool besideOutput, bool tell) {
        for (const Page& page : pages) {
            const QFileInfo info(page.output);
            const QString output =
                besideOutput ? info.dir().filePath(QStringLiteral("chromium-") + info.fileName())
                             : page.output;
            const auto size = Shoot(page, output);
            if (!size) {
                std::fprintf(stderr, "chromium failed on %s\n",
                             qPrintable(page.address.toString()));
                return false;
            }
            if (tell)
                std::printf("  %s: %d x %d\n", qPrintable(info.fileName()), size->width(),
                            size->height());
        }
        return true;
    }

  private:
    QTemporaryDir profile_;
    CdpPipe cdp_;
    QString session_;
};

QString ArgAfter(const QStringList& args, const QString& name, const QString& otherwise) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : otherwise;
}

void PrintTimes(const char* what, const Timings& t, int pages) {
    if (t.failed || t.ms.empty()) {
        std::printf("%-34s FAILED\n", what);
        return;
    }
    std::printf("%-34s best %6.2f s  median %6.2f s   %5.2f / %5.2f pages/s   runs:", what,
                t.Best() / 1000, t.Median() / 1000, pages * 1000 / t.Best(),
                pages * 1000 / t.Median());
    for (const double ms : t.ms) std::printf(" %.2f", ms / 1000);
    std::printf("\n");
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    const int width = ArgAfter(args, QStringLiteral("--width"), QStringLiteral("1920")).toInt();
    const int runs =
        std::max(1, ArgAfter(args, QStringLiteral("--runs"), QStringLiteral("5")).toInt());
    const qsizetype compare = args.indexOf(QStringLiteral("--compare"));
    const QString glimpa = compare > 0 ? args.value(compare + 1) : QString();
    const QString list = compare > 0 ? args.value(compare + 2) : args.value(1);
    const std::vector<Page> pages = ReadList(list);
    if (pages.empty() || width <= 0 || (compare > 0 && glimpa.isEmpty())) {
        std::fprintf(stderr,
                     "usage: chromium_batch BATCH [--width PX]\n"
                     "       chromium_batch --compare GLIMPA_SHOT BATCH [--width PX] [--runs N]\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    Script script;
    if (!script.Start(width)) {
        std::fprintf(stderr, "chromium not found or not driven over its pipe\n");
        return 1;
    }
    const double startMs = clock.nsecsElapsed() / 1e6;
    if (compare < 0) {
        clock.restart();
        const bool done = script.ShootAll(pages, false, true);
        std::printf("chromium script: start %.2f s, %zu pages %.2f s\n", startMs / 1000,
                    pages.size(), clock.nsecsElapsed() / 1e6 / 1000);
        return done ? 0 : 1;
    }

    // Once each outside the clock: the pages' files in the cache alike, the sizes shown.
    std::printf("chromium start (once, not in the runs): %.2f s\n", startMs / 1000);
    std::printf("chromium pictures:\n");
    if (!script.ShootAll(pages, true, true)) return 1;
    const QStringList batch{QStringLiteral("--batch"), list, QStringLiteral("--width"),
                            QString::number(width), QStringLiteral("--jobs")};
    if (!RunTool(glimpa, batch + QStringList{QStringLiteral("2")}))
        std::printf("glimpa-shot --batch failed\n");

    Timings jobs1, jobs2, chromium;
    Interleave(runs, {{&jobs2, [&] { return RunTool(glimpa, batch + QStringList{"2"}); }},
                      {&jobs1, [&] { return RunTool(glimpa, batch + QStringList{"1"}); }},
                      {&chromium, [&] { return script.ShootAll(pages, true, false); }}});
    const int n = int(pages.size());
    std::printf("%d pages, %d wide, PNG, %d runs interleaved:\n", n, width, runs);
    PrintTimes("glimpa-shot --jobs 2 (cold start)", jobs2, n);
    PrintTimes("glimpa-shot --jobs 1 (cold start)", jobs1, n);
    PrintTimes("chromium script (warm browser)", chromium, n);
    // As a script run once would take it, the browser's start added.
    Timings started = chromium;
    for (double& ms : started.ms) ms += startMs;
    PrintTimes("chromium script + its start", started, n);
    if (!chromium.failed && !chromium.ms.empty())
        for (const auto& [name, t] : {std::pair{"--jobs 2", &jobs2}, std::pair{"--jobs 1", &jobs1}})
            if (!t->failed && !t->ms.empty())
                std::printf("throughput glimpa %s / chromium: best %.2f, median %.2f\n", name,
                            chromium.Best() / t->Best(), chromium.Median() / t->Median());
    return 0;
}
