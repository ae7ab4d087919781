// glimpa-shot: a whole web page in one picture file, from the command line, no display
// needed.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPageLayout>
#include <QPageSize>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/browser_startup.h"
#include "shot/batch_file.h"
#include "shot/cookies_file.h"
#include "shot/headless_start.h"
#include "shot/memory_budget.h"
#include "shot/page_console.h"
#include "shot/shot_help.h"
#include "shot/shot_options.h"
#include "shot/shot_runner.h"

namespace {

int Usage(const QString& why) {
    std::fprintf(stderr, "glimpa-shot: %s\nTry 'glimpa-shot --help' for more information.\n",
                 qPrintable(why));
    return static_cast<int>(ShotExit::BadUsage);
}

// What the pages write to their console, shown only when asked for.
bool showConsole = false;
PageConsoleLimit consoleLimit;

// Qt and the browser talk a lot about themselves; the user gets our lines and real
// errors only. A page's console is the page's: never shown as ours, never raw.
void KeepQuiet(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && std::strcmp(context.category, "js") == 0) {
        static QElapsedTimer clock;
        if (!showConsole) return;
        if (!clock.isValid()) clock.start();
        if (const auto lines = consoleLimit.Take(message, clock.elapsed()))
            std::fprintf(stderr, "%s\n", lines->toUtf8().constData());
        return;
    }
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "glimpa-shot: %s\n", qPrintable(message));
}

// The engine's request for one page's options (its address comes with the page).
ShotRequest RequestFor(const ShotOptions& o) {
    ShotRequest q;
    q.width = o.width;
    q.screenHeight = o.height;
    q.screens = o.screens;
    q.scale = o.scale;
    // A page wider than the view is taken as wide as it is, up to the widest picture.
    q.maxWidth = o.maxWidth > 0 ? o.maxWidth : static_cast<int>(kWidestPicture / o.scale);
    q.timeout = std::chrono::milliseconds(static_cast<long long>(o.timeoutSeconds * 1000.0 + 0.5));
    q.stillMotion = o.stillMotion;
    q.scrollElement = o.scrollElement;
    q.selector = o.selector;
    q.padding = o.padding;
    q.clip = o.clip;
    q.hide = o.hide;
    q.remove = o.remove;
    q.styles = o.styles;
    q.scripts = o.scripts;
    q.headers = o.headers;
    q.waitFor = o.waitFor;
    q.delay = std::chrono::milliseconds(o.delayMs);
    q.authUser = o.authUser;
    q.authPassword = o.authPassword;
    return q;
}

// The first option that holds for the whole run and that a batch line gives otherwise.
QString RunWideDiffers(const ShotOptions& run, const ShotOptions& line) {
    if (line.console != run.console) return QStringLiteral("--console");
    if (line.maxMemoryMiB != run.maxMemoryMiB) return QStringLiteral("--max-memory");
    if (line.userAgent != run.userAgent) return QStringLiteral("--user-agent");
    if (line.colorScheme != run.colorScheme) return QStringLiteral("--color-scheme");
    if (line.reducedMotion != run.reducedMotion) return QStringLiteral("--reduced-motion");
    if (line.cookies != run.cookies) return QStringLiteral("--cookie");
    if (line.cookiesFile != run.cookiesFile) return QStringLiteral("--cookies");
    if (line.json != run.json) return QStringLiteral("--json");
    return {};
}

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    // Everything is checked before a browser starts: a mistake costs nothing.
    const ParsedShotOptions parsed = ParseShotOptions(arguments);
    if (!parsed.options) return Usage(parsed.error);
    const ShotOptions& o = *parsed.options;
    if (o.action == ShotAction::Help) {
        std::fputs(qPrintable(ShotHelpText()), stdout);
        return 0;
    }
    if (o.action == ShotAction::Version) {
        std::printf("%s\n", qPrintable(ShotVersionText()));
        return 0;
    }
    // Every page's options: a batch line's own after the command line's.
    std::vector<ShotOptions> perPage;
    std::vector<ShotPage> pages;
    if (!o.batchFile.isEmpty()) {
        const BatchList batch = ReadBatchFile(o.batchFile, QDir::currentPath());
        if (!batch.error.isEmpty())
            return Usage(QStringLiteral("%1: %2").arg(o.batchFile, batch.error));
        const QStringList defaults = PerPageArguments(arguments);
        for (size_t i = 0; i < batch.pages.size(); ++i) {
            // This machine's share of the batch: every N-th page from the K-th.
            if (static_cast<int>(i % o.shards) != o.shard - 1) continue;
            const BatchPage& p = batch.pages[i];
            const ParsedShotOptions line =
                ParseShotOptions(defaults + p.options +
                                 QStringList{QStringLiteral("--"), p.address.toString(), p.output});
            const auto fail = [&](const QString& why) {
                return Usage(
                    QStringLiteral("%1: line %2: %3").arg(o.batchFile).arg(p.line).arg(why));
            };
            if (!line.options) return fail(line.error);
            if (const QString whole = RunWideDiffers(o, *line.options); !whole.isEmpty())
                return fail(QStringLiteral("%1 holds for the whole run; give it on the command "
                                           "line")
                                .arg(whole));
            ShotOptions po = *line.options;
            po.styles = o.styles + po.styles;
            po.scripts = o.scripts + po.scripts;
            perPage.push_back(po);
            pages.push_back(ShotPage{p.address, p.output, {}, {}, {}});
        }
    } else {
        perPage.push_back(o);
        pages.push_back(
            ShotPage{*AddressToUrl(o.address, QDir::currentPath()), o.output, {}, {}, {}});
    }

    // The pictures must fit in memory: one screen at once, and the height they may grow
    // to, are known before any browser starts.
    const int jobs = std::max(1, std::min(o.jobs, static_cast<int>(pages.size())));
    const qint64 budget = o.maxMemoryMiB > 0 ? o.maxMemoryMiB << 20 : DefaultMemoryBudget();
    for (size_t i = 0; i < pages.size(); ++i) {
        const ShotOptions& po = perPage[i];
        const qint64 wide = static_cast<qint64>(std::ceil(po.width * po.scale));
        const qint64 screen = static_cast<qint64>(std::ceil(po.height * po.scale));
        const qint64 rows =
            RowsWithinBudget(budget, static_cast<int>(wide), jobs, pages.size() > 1);
        if (rows < screen)
            return Usage(QStringLiteral("one screen of %1 x %2 pixels needs more memory than %3 "
                                        "MiB allow (--max-memory)")
                             .arg(wide)
                             .arg(screen)
                             .arg(budget >> 20));
        ShotPage& page = pages[i];
        page.format = *OutputFormat(po, page.output);
        page.jpeg = JpegChoice{po.quality, po.progressive, po.qualityGiven};
        page.request = RequestFor(po);
        // A picture written as it is taken holds one part in memory, whatever its height.
        const bool held = !WrittenAsTaken(page);
        page.heightFromMemory = held && rows < po.maxHeight;
        // A PDF is printed on the browser's own pages, with a margin as printers keep one.
        if (page.format == PictureFormat::Pdf)
            page.request.print = QPageLayout(
                QPageSize(po.pdfPage == u"letter" ? QPageSize::Letter : QPageSize::A4),
                QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        page.request.maxHeight =
            static_cast<int>(held ? std::min<qint64>(po.maxHeight, rows) : po.maxHeight);
        // A page taken wider than the view gets fewer rows of the same memory.
        page.request.maxPixelsHeld = rows * wide;
    }

    // What the browser is told for the whole run: its colour scheme and motion.
    if (o.colorScheme == u"dark")
        AddBrowserFlag("--blink-settings=preferredColorScheme=0", {"--blink-settings"});
    else if (o.colorScheme == u"light")
        AddBrowserFlag("--blink-settings=preferredColorScheme=1", {"--blink-settings"});
    if (o.reducedMotion)
        AddBrowserFlag("--force-prefers-reduced-motion", {"--force-prefers-reduced-motion"});
    std::vector<QNetworkCookie> cookies;
    if (!o.cookiesFile.isEmpty()) {
        const CookiesList read = ReadCookiesFile(o.cookiesFile);
        if (!read.error.isEmpty())
            return Usage(QStringLiteral("%1: %2").arg(o.cookiesFile, read.error));
        cookies = read.cookies;
    }
    for (const QString& nameValue : o.cookies) {
        QString error;
        const auto cookie = CookieFromOption(nameValue, &error);
        if (!cookie) return Usage(QStringLiteral("--cookie: %1").arg(error));
        cookies.push_back(*cookie);
    }

    // A page's scripts get a share of the budget too (each page one, the picture being
    // written another): one that allocates without end ends its renderer, which the
    // engine reports, before the machine runs out.
    const qint64 heapMiB = std::clamp<qint64>((budget >> 20) / (jobs + 1), 64, 4096);
    AddBrowserFlag("--js-flags=--max-old-space-size=" + QByteArray::number(heapMiB),
                   {"--js-flags"});
    // The tall view needs every tile of every layer at once: past the browser's own tile
    // memory, layers of a page with many (blurred, shadowed, each its own layer) are
    // left undrawn, white or with holes. The tiles get the same share, at most 4 GiB.
    AddBrowserFlag("--force-gpu-mem-available-mb=" +
                       QByteArray::number(std::clamp<qint64>(heapMiB, 512, 4096)),
                   {"--force-gpu-mem-available-mb"});

    showConsole = o.console;
    // The browser's console messages below warnings come only when they are shown.
    if (showConsole)
        QLoggingCategory::setFilterRules(QStringLiteral("js.debug=true\njs.info=true"));
    qInstallMessageHandler(KeepQuiet);
    DrawOffscreenWithoutDisplay();
    if (StartBrowser())
        std::fputs(
            "glimpa-shot: running as root: the browser's sandbox is off, so a page that "
            "breaks into the browser would act as root; run glimpa-shot as a normal user "
            "(in a container, as a user other than root)\n",
            stderr);
    // Qt must not read our arguments as its own (-platform, -style ...).
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    app.setApplicationName(QStringLiteral("glimpa-shot"));

    ShotSettings settings;
    settings.heightFromMemoryMiB = budget >> 20;
    settings.json = o.json;
    settings.userAgent = o.userAgent;
    settings.cookies = std::move(cookies);
    settings.jobs = jobs;
    settings.showProgress = isatty(STDERR_FILENO) == 1;

    ShotRunner runner(std::move(pages), settings);
    QObject::connect(&runner, &ShotRunner::Done, &app,
                     [](ShotExit status) { QCoreApplication::exit(static_cast<int>(status)); });
    QTimer::singleShot(0, &runner, &ShotRunner::Start);
    const int status = app.exec();
    if (const QString note = consoleLimit.LeftOut(); !note.isEmpty())
        std::fprintf(stderr, "%s\n", note.toUtf8().constData());
    return status;
}
