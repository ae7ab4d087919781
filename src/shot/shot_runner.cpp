#include "shot/shot_runner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "files/replace_file.h"
#include "shot/page_console.h"

namespace {

// Checks that need no browser: a page file that is not there, an output folder that
// is not there. Empty when the page may go ahead.
QString MissingBeforeLoad(const ShotPage& page, ShotExit& exit) {
    if (page.address.isLocalFile() && !QFileInfo(page.address.toLocalFile()).isFile()) {
        exit = ShotExit::LoadFailed;
        return QStringLiteral("%1: no such page file").arg(page.address.toLocalFile());
    }
    if (page.output == u"-") return {};
    const QFileInfo folder(QFileInfo(page.output).absolutePath());
    if (!folder.isDir()) {
        exit = ShotExit::WriteFailed;
        return QStringLiteral("%1: cannot write the picture: no folder %2")
            .arg(page.output, QDir::toNativeSeparators(folder.filePath()));
    }
    if (const QString why = NotRegularReason(page.output); !why.isEmpty()) {
        exit = ShotExit::WriteFailed;
        return QStringLiteral("%1: cannot write the picture (%2); it is left as it was")
            .arg(page.output, why);
    }
    return {};
}

// The picture encoded as for a file, then sent to standard output whole: a reader of
// the pipe gets one complete picture or nothing.
Outcome WriteToStandardOutput(const QImage& picture, PictureFormat format, JpegChoice jpeg) {
    QTemporaryDir folder;
    if (!folder.isValid()) return Outcome::Failed(QStringLiteral("no temporary folder"));
    const QString path = folder.filePath(QStringLiteral("picture"));
    if (const Outcome written = WritePictureFile(picture, path, format, jpeg); !written)
        return written;
    QFile file(path);
    QFile out;
    if (!file.open(QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly))
        return Outcome::Failed(file.errorString());
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (out.write(chunk) != chunk.size())
            return Outcome::Failed(QStringLiteral("standard output: %1").arg(out.errorString()));
    }
    if (!out.flush())
        return Outcome::Failed(QStringLiteral("standard output: %1").arg(out.errorString()));
    return Outcome::Done();
}

// The page's output: the printed PDF as it came, or the picture encoded; to its file,
// or to standard output.
Outcome WriteOutput(const QImage& picture, const QByteArray& pdf, const ShotPage& target) {
    if (target.format == PictureFormat::Pdf) {
        if (target.output != u"-") return ReplaceFileWith(target.output, pdf);
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.flush())
            return Outcome::Failed(QStringLiteral("standard output: %1").arg(out.errorString()));
        return Outcome::Done();
    }
    return target.output == u"-"
               ? WriteToStandardOutput(picture, target.format, target.jpeg)
               : WritePictureFile(picture, target.output, target.format, target.jpeg);
}

}  // namespace

bool WrittenAsTaken(const ShotPage& page) {
    const ShotRequest& q = page.request;
    return page.output != u"-" && q.selector.isEmpty() && q.clip.isNull() &&
           WritesInBands(page.format, page.jpeg);
}

struct ShotRunner::Engine {
    std::unique_ptr<CaptureEngine> engine;
    size_t page = 0;
    bool busy = false;
};

ShotRunner::ShotRunner(std::vector<ShotPage> pages, ShotSettings settings, QObject* parent)
    : QObject(parent),
      pages_(std::move(pages)),
      settings_(settings),
      exits_(pages_.size(), ShotExit::Written),
      records_(pages_.size()) {}

ShotRunner::~ShotRunner() {
    // The views go before the profile they render with.
    engines_.clear();
}

void ShotRunner::Start() {
    if (pages_.empty()) {
        Q_EMIT Done(ShotExit::Written);
        return;
    }
    Dispatch();
}

ShotRunner::Engine* ShotRunner::IdleEngine() {
    for (auto& e : engines_)
        if (!e->busy) return e.get();
    if (engines_.size() >= static_cast<size_t>(std::max(1, settings_.jobs))) return nullptr;
    // The browser starts with the first page that needs it, not before: a run whose
    // pages all fail their checks ends at once.
    if (!profile_) {
        profile_ = std::make_unique<QWebEngineProfile>();  // off the record
        if (!settings_.userAgent.isEmpty()) profile_->setHttpUserAgent(settings_.userAgent);
    }
    auto slot = std::make_unique<Engine>();
    slot->engine = std::make_unique<CaptureEngine>(profile_.get());
    Engine& e = *slot;
    connect(e.engine.get(), &CaptureEngine::Progress, this,
            [this, &e](int done, int total) { ShowProgress(e.page, done, total); });
    connect(e.engine.get(), &CaptureEngine::Finished, this,
            [this, &e](const ShotResult& result) { Captured(e, result); });
    engines_.push_back(std::move(slot));
    return &e;
}

void ShotRunner::Dispatch() {
    while (nextPage_ < pages_.size()) {
        const size_t page = nextPage_;
        ShotExit exit = ShotExit::Written;
        const QString missing = MissingBeforeLoad(pages_[page], exit);
        if (!missing.isEmpty()) {
            ++nextPage_;
            SayFor(page, missing);
            EndPage(page, exit);
            continue;
        }
        // At most --jobs pictures in memory and the one being written: a capture waits
        // for the encoder rather than pile pictures up.
        const auto busy =
            std::count_if(engines_.begin(), engines_.end(), [](const auto& e) { return e->busy; });
        if (busy + encoding_ > std::max(1, settings_.jobs)) return;
        Engine* engine = IdleEngine();
        if (!engine) return;
        ++nextPage_;
        engine->page = page;
        engine->busy = true;
        ShotRequest request = pages_[page].request;
        request.address = pages_[page].address;
        // The format's own limit acts as --max-height does, known before the load.
        request.maxHeight = static_cast<int>(std::min<qint64>(request.maxHeight, FormatRows(page)));
        // Its pixels in all (AVIF's, BMP's).
        request.maxPixels = MostPicturePixels(pages_[page].format);
        // And its widest picture (WebP's 16,383) as --max-width does.
        const int columns =
            static_cast<int>(MostPictureColumns(pages_[page].format) / request.scale);
        request.maxWidth = std::min(request.maxWidth, columns);
        // A cookie without a domain is the page's own host's.
        for (QNetworkCookie cookie : settings_.cookies) {
            if (cookie.domain().isEmpty()) cookie.setDomain(request.address.host());
            profile_->cookieStore()->setCookie(cookie, request.address);
        }
        if (WrittenAsTaken(pages_[page])) {
            records_[page].bands =
                BandWriterFor(pages_[page].output, pages_[page].format, pages_[page].jpeg);
            request.bands = records_[page].bands.get();
        }
        records_[page].clock.start();
        engine->engine->Shoot(request);
    }
}

qint64 ShotRunner::FormatRows(size_t page) const {
    const ShotRequest& q = pages_[page].request;
    // At the view's width: a wider page is bounded by the format's pixels in all.
    return MostPictureRows(pages_[page].format, static_cast<int>(std::ceil(q.width * q.scale)));
}

void ShotRunner::Captured(Engine& engine, const ShotResult& result) {
    const size_t page = engine.page;
    const QString address = pages_[page].address.toDisplayString();
    for (const QString& note : result.notes)
        SayFor(page, QStringLiteral("%1: %2").arg(address, PageText(note)));
    Record& record = records_[page];
    record.result = result;
    record.result.picture = QImage();
    record.size = result.size;
    // The picture written as it was taken, or the bands dropped for one whole in memory.
    std::shared_ptr<BandWriter> bands = std::move(record.bands);
    if (!result.streamed) bands.reset();
    if (!result.bandsFailed.isEmpty()) {
        engine.busy = false;
        NotWritten(page, result.bandsFailed);
        Dispatch();
        return;
    }
    const bool nothing = result.status == ShotStatus::LoadFailed ||
                         result.status == ShotStatus::Busy ||
                         result.status == ShotStatus::NoMatch ||
                         (result.picture.isNull() && result.pdf.isEmpty() && !result.streamed);
    if (nothing) {
        if (result.status == ShotStatus::NoMatch)
            SayFor(page, QStringLiteral("%1: %2").arg(address, PageText(result.detail)));
        else
            SayFor(page, QStringLiteral("%1: the page failed to load%2")
                             .arg(address, result.detail.isEmpty()
                                               ? QString()
                                               : QStringLiteral(": ") + PageText(result.detail)));
        engine.busy = false;
        EndPage(page,
                result.status == ShotStatus::NoMatch ? ShotExit::NoMatch : ShotExit::LoadFailed);
        Dispatch();
        return;
    }
    // The picture is encoded on a worker thread: the engine moves on to the next page
    // meanwhile, and the event loop keeps the other engines going.
    const QImage picture = result.picture;
    const ShotPage target = pages_[page];
    ShotResult report = result;
    report.picture = QImage();
    report.pdf.clear();
    const QByteArray pdf = result.pdf;
    ++encoding_;
    QThreadPool::globalInstance()->start([this, page, picture, pdf, target, report, bands] {
        const Outcome written = bands ? bands->Finish() : WriteOutput(picture, pdf, target);
        QMetaObject::invokeMethod(
            this, [this, page, report, written] { Written(page, report, written); },
            Qt::QueuedConnection);
    });
    engine.busy = false;
    Dispatch();
}

void ShotRunner::Written(size_t page, const ShotResult& report, const Outcome& written) {
    --encoding_;
    // A capture that waited for the encoder goes on; the page ends first, as before.
    QTimer::singleShot(0, this, &ShotRunner::Dispatch);
    const ShotPage& target = pages_[page];
    const QString address = target.address.toDisplayString();
    if (!written) return NotWritten(page, written.reason);
    ShotExit exit = ShotExit::Written;
    switch (report.status) {
        case ShotStatus::NotSettled:
        case ShotStatus::CutAtMaxWidth:
            SayFor(page, QStringLiteral("warning: %1: %2 Written to %3.")
                             .arg(address, PageText(report.detail), target.output));
            exit = report.status == ShotStatus::NotSettled ? ShotExit::NotSettled
                                                           : ShotExit::CutAtMaxHeight;
            break;
        case ShotStatus::CutAtMaxHeight: {
            const qint64 rows = FormatRows(page);
            QString why;
            const QSize size = records_[page].size;
            const qint64 pixels = MostPicturePixels(target.format);
            if (rows <= size.height() || qint64(size.width()) * (size.height() + 1) > pixels)
                why = QStringLiteral(", the most the %1 format holds")
                          .arg(PictureFormatName(target.format));
            else if (target.heightFromMemory ||
                     records_[page].size.height() < target.request.maxHeight)
                why = QStringLiteral(", the most that --max-memory (%1 MiB) allows")
                          .arg(settings_.heightFromMemoryMiB);
            const qint64 most = records_[page].size.height();
            SayFor(page, QStringLiteral("warning: %1: the page is taller than %2 px%3; %4 holds "
                                        "its top %2 px")
                             .arg(address)
                             .arg(most)
                             .arg(why, target.output));
            exit = ShotExit::CutAtMaxHeight;
            break;
        }
        default:
            break;
    }
    // A server's error page is written, and told: the picture is not the page asked for.
    if (report.httpStatus >= 400) {
        SayFor(page, QStringLiteral("warning: %1: the server answered %2; %3 shows the page it "
                                    "sent")
                         .arg(address, report.httpText, target.output));
        exit = ShotExit::HttpError;
    }
    EndPage(page, exit);
}

void ShotRunner::NotWritten(size_t page, const QString& why) {
    SayFor(page, QStringLiteral("%1: cannot write the picture (%2); an existing file is left as "
                                "it was")
                     .arg(pages_[page].output, why));
    EndPage(page, ShotExit::WriteFailed);
}

void ShotRunner::EndPage(size_t page, ShotExit exit) {
    exits_[page] = exit;
    if (settings_.json) PrintRecord(page, exit);
    if (++ended_ == pages_.size()) {
        Say({});
        Q_EMIT Done(BatchExit(exits_));
    }
}

void ShotRunner::SayFor(size_t page, const QString& line) {
    records_[page].message = line;
    Say(line);
}

void ShotRunner::PrintRecord(size_t page, ShotExit exit) {
    const ShotPage& p = pages_[page];
    Record& r = records_[page];
    if (!Failed(exit) && p.output != u"-") r.bytes = QFileInfo(p.output).size();
    QJsonObject o;
    o.insert(QStringLiteral("address"), p.address.toString());
    o.insert(QStringLiteral("final_address"), r.result.finalAddress.toString());
    o.insert(QStringLiteral("output"), p.output);
    o.insert(QStringLiteral("exit"), static_cast<int>(exit));
    o.insert(QStringLiteral("http_status"), r.result.httpStatus);
    o.insert(QStringLiteral("title"), r.result.title);
    o.insert(QStringLiteral("width"), r.size.width());
    o.insert(QStringLiteral("height"), r.size.height());
    o.insert(QStringLiteral("cut"), r.result.cut);
    o.insert(QStringLiteral("settled"), r.result.settled);
    o.insert(QStringLiteral("ms"), r.clock.isValid() ? r.clock.elapsed() : 0);
    o.insert(QStringLiteral("bytes"), r.bytes);
    o.insert(QStringLiteral("message"), r.message);
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ShotRunner::ShowProgress(size_t page, int done, int total) {
    if (!settings_.showProgress) return;
    QString line = QStringLiteral("screens %1 of %2").arg(done).arg(total);
    if (pages_.size() > 1)
        line = QStringLiteral("page %1 of %2 (%3 ended): %4")
                   .arg(page + 1)
                   .arg(pages_.size())
                   .arg(ended_)
                   .arg(line);
    std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
    std::fflush(stderr);
    progressShown_ = true;
}

void ShotRunner::Say(const QString& line) {
    // A message starts on a clean line, the progress line is drawn again by the next step.
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }
    if (!line.isEmpty()) std::fprintf(stderr, "glimpa-shot: %s\n", qPrintable(line));
    std::fflush(stderr);
}
