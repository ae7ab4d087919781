#include "engine/capture_engine.h"

#include <QAuthenticator>
#include <QColor>
#include <QDeadlineTimer>
#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <vector>

#include "engine/capture_page.h"
#include "engine/load_failure.h"
#include "engine/page_safety.h"
#include "engine/page_scripts.h"
#include "formats/band_writer.h"

namespace {

// The most pixels the engine renders at once: 8,192 rows of a 1920-wide view. Chromium's
// software renderer draws a 1920-wide view of 24,000 rows whole but leaves all below the
// first screen of a 28,000-row one blank; and the browser and the view keep several
// copies of the view's pixels, so a part of this size keeps the peak memory near the size
// of the picture. A wider page gets parts of fewer rows.
constexpr qint64 kPartPixels = 8192LL * 1920;
constexpr int kPartRows = 8192;
// Parts of a picture given to bands are smaller: nothing else of it is in memory, and the
// bands being encoded are the part's size, so the part sets the peak. Measured on a
// 60,000-row page: 1,102 MB at 8,192 rows, 935 MB at 6,144 and 746 MB at 4,096, where a
// long page of text took a fifth longer. A picture held whole keeps the larger parts: the
// window's six screens are one part.
constexpr int kBandPartRows = 6144;

// The marker of a fresh frame covers the view's bottom rows, two device pixels high and
// wide at any scale, so its last row holds its colour unblended; a gap row keeps it out
// of every grabbed row, whichever way a part's edges round.
constexpr int kMarkerRows = 2;
constexpr int kBelowPart = kMarkerRows + 1;

// How often an answer is asked for again while waiting.
constexpr int kPollMs = 3;

// The longest a capture goes past its time (the --timeout it was given): a page taken as
// it stands needs a last frame, and a renderer that hangs or died is given up.
constexpr int kOverrunMs = 800;
// Of the time given, what is kept back from the page's load and settling for that last
// frame and the grab: a fifth, at most two seconds.
constexpr qint64 kKeepBackMs = 2000;

// A page that moved under the parts already taken is taken again this many times at
// most, then written as it came, marked.
constexpr int kRetakes = 2;

// A page that saw another scale than it is taken at is loaded again at most so often.
constexpr int kReloads = 2;

// The dialogs of a page told one by one; past these, only how many more there were.
constexpr int kDialogLines = 10;

// Whether every pixel of `picture` is the colour of its first.
bool OneColour(const QImage& picture) {
    if (picture.isNull()) return false;
    const QRgb first = picture.pixel(0, 0);
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (line[x] != first) return false;
    }
    return true;
}

// A window nobody sees: its backing store is never painted, which would copy every frame
// of the tall view once more. The view is drawn only where the engine renders it.
class UnpaintedWindow : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == QEvent::UpdateRequest;
    }
};

int Device(double css, double scale) {
    return static_cast<int>(std::lround(css * scale));
}

}  // namespace

struct CaptureEngine::Run {
    ShotRequest request;
    int id = 0;
    // The page's wait ends at `deadline`, the whole capture at `end`.
    QDeadlineTimer deadline;
    QDeadlineTimer end;
    bool settled = true;
    bool cut = false;
    bool cutWide = false;
    bool widened = false;
    bool changing = false;
    bool webglFailed = false;
    bool delayed = false;
    bool blankChecked = false;
    // The page's width, and the part of it the picture holds (CSS pixels; null: all).
    int pageWidth = 0;
    QRectF region;
    bool framed = false;  // the picture is the region's, not the page's
    int authAnswers = 0;
    int reloads = 0;
    int retakes = 0;
    QSize viewSizeBefore;
    // The number of the marker last given; its colour is MarkerColour(markers).
    int markers = 0;
    // CSS pixels: one screen, the picture's height, the part of it the tall view shows.
    int width = 0;
    int screen = 0;
    int tall = 0;
    int view = 0;
    // The rows of the picture done so far, CSS pixels.
    int done = 0;
    int httpStatus = 0;
    QStringList notes;
    int dialogsLeftOut = 0;
    QImage picture;
    // The picture made white on another core while the page settles: the first touch of
    // its memory costs as much as a frame. Declared after the picture, so that a run
    // ended early waits for it before the picture goes.
    std::future<void> whitening;
    // The page is loading: the view's load signals are for this shot.
    bool loading = false;

    // The bands the picture goes to as its parts are taken (null: it is whole in memory),
    // the size they were begun with, the rows they got, whether those are all one colour
    // (`colour`), and why they failed.
    BandWriter* bands = nullptr;
    // Parts of the size for bands, kept when the bands are dropped for a whole picture.
    bool bandParts = false;
    QSize begun;
    int given = 0;
    bool oneColour = true;
    QRgb colour = 0;
    QString bandsFailed;
    // Bands given before, drawn into again once the bands let go of them: fresh memory
    // costs a page fault a page, as much as the drawing.
    std::vector<QImage> spareBands;
    // The band the next part is drawn into, made white on another core meanwhile.
    QImage nextBand;
    std::future<void> bandWhitening;

    // The picture for the tall size, white where nothing was taken, the rows taken kept;
    // or the bands begun for it.
    bool MakePicture() {
        const QSize size(Device(width, request.scale), Device(tall, request.scale));
        if (bands) {
            // Rows given go on at the size begun only; a retake starts the bands over.
            if (size == begun && (done > 0 || given == 0)) return true;
            const Outcome began = bands->Begin(size);
            if (!began) {
                bandsFailed = began.reason;
                return false;
            }
            begun = size;
            given = 0;
            oneColour = true;
            WhitenBand(Device(std::min(tall, view), request.scale));
            return true;
        }
        if (whitening.valid()) whitening.get();
        if (picture.size() == size) return true;
        if (done > 0 && picture.width() == size.width()) {
            // A page that grew while it was taken: the rows so far move to a taller picture.
            QImage taller(size, QImage::Format_RGB32);
            if (taller.isNull()) return false;
            const int keep = std::min(picture.height(), size.height());
            std::memcpy(taller.bits(), picture.constBits(),
                        static_cast<size_t>(picture.bytesPerLine()) * keep);
            std::memset(taller.scanLine(keep), 0xff,
                        static_cast<size_t>(taller.bytesPerLine()) * (size.height() - keep));
            picture = std::move(taller);
            return true;
        }
        // The old picture goes first: never two of them at once.
        picture = QImage();
        picture = QImage(size, QImage::Format_RGB32);
        if (picture.isNull()) return false;
        uchar* bits = picture.bits();
        const size_t bytes = static_cast<size_t>(picture.sizeInBytes());
        whitening =
            std::async(std::launch::async, [bits, bytes] { std::memset(bits, 0xff, bytes); });
        return true;
    }
    const QImage& WhitePicture() {
        if (whitening.valid()) whitening.get();
        return picture;
    }

    // The band for the next `rows` device rows of the picture, made white on another core
    // while the part is drawn.
    void WhitenBand(int rows) {
        if (bandWhitening.valid()) bandWhitening.get();
        nextBand = QImage();
        const QSize size(begun.width(), std::max(1, rows));
        const auto spare = std::find_if(spareBands.begin(), spareBands.end(), [&](QImage& band) {
            return band.isDetached() && band.size() == size;
        });
        if (spare != spareBands.end()) {
            nextBand = std::move(*spare);
            spareBands.erase(spare);
        } else {
            nextBand = QImage(size, QImage::Format_RGB32);
        }
        if (nextBand.isNull()) return;
        uchar* bits = nextBand.bits();
        const size_t bytes = static_cast<size_t>(nextBand.sizeInBytes());
        bandWhitening =
            std::async(std::launch::async, [bits, bytes] { std::memset(bits, 0xff, bytes); });
    }
    // A white band of `rows` device rows, the one made ahead when it fits.
    QImage WhiteBand(int rows) {
        if (nextBand.height() != rows) WhitenBand(rows);
        if (bandWhitening.valid()) bandWhitening.get();
        return std::move(nextBand);
    }
    // Gives `band` to the bands; false, and why kept, when they cannot take it.
    bool GiveBand(QImage band) {
        if (band.isNull()) {
            bandsFailed = QStringLiteral("no memory for a band of the picture, %1 pixels wide")
                              .arg(begun.width());
            return false;
        }
        if (oneColour) {
            if (given == 0) colour = band.pixel(0, 0);
            oneColour = band.pixel(0, 0) == colour && OneColour(band);
        }
        given += band.height();
        // Kept to be drawn into again once the bands are done with it; the bands no more
        // than two at once.
        if (spareBands.size() >= 3) spareBands.erase(spareBands.begin());
        spareBands.push_back(band);
        const Outcome added = bands->Add(std::move(band));
        if (!added) bandsFailed = added.reason;
        return added.ok;
    }
    // The rows not taken, white, up to the picture's height.
    bool FillBands() {
        while (given < begun.height())
            if (!GiveBand(WhiteBand(std::min(kBandPartRows, begun.height() - given)))) return false;
        return true;
    }
};

CaptureEngine::CaptureEngine(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent), ownView_(std::make_unique<QWebEngineView>()) {
    static_assert(kOurWorld == QWebEngineScript::ApplicationWorld);
    ownView_->setPage(new CapturePage(profile, ownView_.get()));
    // The view renders as if shown, without a window on any screen.
    ownView_->setAttribute(Qt::WA_DontShowOnScreen);
    ownView_->installEventFilter(new UnpaintedWindow(ownView_.get()));
    view_ = ownView_.get();
    Watch();
}

CaptureEngine::CaptureEngine(QWebEngineView& view, QObject* parent)
    : QObject(parent), view_(&view) {
    Watch();
}

void CaptureEngine::Watch() {
    page_ = qobject_cast<CapturePage*>(view_->page());
    if (!page_) ConfineLocalPages(*view_->page());
    // A renderer that dies (killed for its memory, or crashed) answers nothing more: the
    // shot ends at once and says so, rather than wait out its time as a page that
    // stopped answering.
    connect(view_->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                if (!run_) return;
                const QString how = status == QWebEnginePage::KilledTerminationStatus
                                        ? tr("it was killed, perhaps for the memory it took")
                                        : tr("exit status %1").arg(code);
                Fail(ShotStatus::LoadFailed, tr("The page's renderer crashed (%1).").arg(how));
            });
    connect(view_->page(), &QWebEnginePage::loadingChanged, this, &CaptureEngine::LoadingChanged);
    // From the document's start on: what the page saw of its scale and width, and
    // whether a canvas asked for WebGL where the browser has none (it gets an event).
    if (view_->page()->scripts().find(QStringLiteral("glimpa-first-sight")).isEmpty()) {
        QWebEngineScript sight;
        sight.setName(QStringLiteral("glimpa-first-sight"));
        sight.setWorldId(kOurWorld);
        sight.setInjectionPoint(QWebEngineScript::DocumentCreation);
        sight.setRunsOnSubFrames(false);
        sight.setSourceCode(QStringLiteral(
            "window.glimpaFirstSight = [[devicePixelRatio, innerWidth]];"
            "const glimpaLook = () => { const last = glimpaFirstSight.at(-1);"
            " if (last[0] !== devicePixelRatio || last[1] !== innerWidth)"
            " glimpaFirstSight.push([devicePixelRatio, innerWidth]); };"
            // The scale may come, and even go for a moment, while the page is parsed:
            // every scale and width until the load counts. A resize is told only at
            // the next frame, often after the load; what was parsed is told before
            // each script the parser runs.
            "const glimpaParsed = new MutationObserver(glimpaLook);"
            "glimpaParsed.observe(document, {childList: true, subtree: true});"
            "addEventListener('DOMContentLoaded', () => glimpaParsed.disconnect(),"
            " {once: true});"
            "addEventListener('resize', () => { if (document.readyState !== "
            "'complete') glimpaLook(); }, true);"
            "addEventListener('webglcontextcreationerror', () => {"
            " window.glimpaWebglFailed = true; }, true);"
            "window.glimpaBusy = false;"
            "addEventListener('glimpa-busy', () => { window.glimpaBusy = true; });"
            "addEventListener('glimpa-idle', () => { window.glimpaBusy = false; });"));
        view_->page()->scripts().insert(sight);
        // Whether the page has work of its own due soon is seen only from its own world.
        QWebEngineScript pending;
        pending.setName(QStringLiteral("glimpa-pending"));
        pending.setWorldId(QWebEngineScript::MainWorld);
        pending.setInjectionPoint(QWebEngineScript::DocumentCreation);
        pending.setRunsOnSubFrames(false);
        pending.setSourceCode(pagescripts::PendingWatch());
        view_->page()->scripts().insert(pending);
    }
    // The user's name and password go to the page's own host only, and only so often:
    // a wrong one is not tried without end.
    connect(view_->page(), &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& address, QAuthenticator* authenticator) {
                // Not answered: a null authenticator cancels, and the server's page shows.
                const bool answer = run_ && !run_->request.authUser.isEmpty() &&
                                    run_->authAnswers < 3 &&
                                    address.host() == run_->request.address.host();
                if (!answer) {
                    *authenticator = QAuthenticator();
                    return;
                }
                ++run_->authAnswers;
                authenticator->setUser(run_->request.authUser);
                authenticator->setPassword(run_->request.authPassword);
            });
    if (!page_) return;
    connect(page_, &CapturePage::DialogAnswered, this, [this](const QString& line) {
        if (!run_) return;
        // A page that opens dialogs in a loop gets a count, not a line each.
        if (run_->notes.size() < kDialogLines)
            run_->notes << tr("the page's %1").arg(line);
        else
            ++run_->dialogsLeftOut;
    });
    connect(page_, &CapturePage::NavigatedAway, this, [this](const QUrl& address) {
        if (!run_) return;
        Fail(ShotStatus::LoadFailed,
             tr("The page went to %1 while it was being taken; a picture would have mixed two "
                "pages.")
                 .arg(address.toDisplayString()));
    });
}

CaptureEngine::~CaptureEngine() {
    // A shot cut short still gives the page back, and so does one that held it.
    if (run_ && view_) view_->page()->runJavaScript(pagescripts::Restore(), kOurWorld);
    GiveBack();
    if (page_) page_->SetCapturing(false);
}

QWebEngineView& CaptureEngine::View() {
    return *view_;
}

bool CaptureEngine::Busy() const {
    return run_ != nullptr;
}

void CaptureEngine::Shoot(const ShotRequest& request) {
    if (run_) {
        QTimer::singleShot(0, this, [this] {
            Q_EMIT Finished(
                ShotResult::Of(ShotStatus::Busy, {}, tr("A capture is already running.")));
        });
        return;
    }
    GiveBack();
    static int runs = 0;
    run_ = std::make_unique<Run>();
    run_->request = request;
    run_->id = ++runs;
    // A part of the page is cut from a whole picture, and a print has none.
    if (request.selector.isEmpty() && request.clip.isNull() && !request.print)
        run_->bands = request.bands;
    run_->bandParts = run_->bands != nullptr;
    const qint64 given = request.timeout.count();
    run_->deadline = QDeadlineTimer(given - std::min(given / 5, kKeepBackMs));
    run_->end = QDeadlineTimer(given + kOverrunMs);
    if (page_) page_->SetCapturing(true);
    SetRequestHeaders(*view_->page(), request.headers);
    After(0, &CaptureEngine::Begin);
    const int id = run_->id;
    QTimer::singleShot(EndMs(), this, [this, id] {
        if (!Current(id)) return;
        Run& r = *run_;
        const QString seconds = QString::number(r.request.timeout.count() / 1000.0);
        if (r.loading)
            return Fail(ShotStatus::LoadFailed, tr("%1 did not load within %2 s.")
                                                    .arg(r.request.address.toDisplayString())
                                                    .arg(seconds));
        // The rows not taken are white already; a part of the page is cut from a whole
        // picture only, and there is none.
        if (r.framed)
            return Fail(
                ShotStatus::LoadFailed,
                tr("The time (%1 s) ran out before the part asked for was taken.").arg(seconds));
        if (r.done == 0 || (!r.bands && r.WhitePicture().isNull()))
            return Fail(ShotStatus::LoadFailed,
                        tr("The page stopped answering within %1 s.").arg(seconds));
        if (r.bands && !r.FillBands()) return NoPicture();
        Finish(ShotResult::Of(
            ShotStatus::NotSettled, std::move(r.picture),
            tr("The time (%1 s) ran out while the page was taken; the picture holds its "
               "top %2 pixels, white below.")
                .arg(seconds)
                .arg(Device(r.done, r.request.scale))));
    });
}

bool CaptureEngine::Current(int id) const {
    return run_ && run_->id == id && view_;
}

void CaptureEngine::After(int ms, void (CaptureEngine::*step)()) {
    const int id = run_->id;
    QTimer::singleShot(ms, this, [this, id, step] {
        if (Current(id)) (this->*step)();
    });
}

void CaptureEngine::Script(const QString& script, std::function<void(const QVariant&)> then,
                           quint32 world) {
    const int id = run_->id;
    QPointer<CaptureEngine> self(this);
    view_->page()->runJavaScript(script, world, [self, id, then](const QVariant& value) {
        if (self && self->Current(id)) then(value);
    });
}

void CaptureEngine::PollScript(const QString& script, int boundMs,
                               std::function<void(const QVariant&)> then, quint32 world) {
    const int id = run_->id;
    auto deadline = std::make_shared<QDeadlineTimer>(boundMs);
    auto ask = std::make_shared<std::function<void()>>();
    *ask = [this, id, script, deadline, then, ask, world] {
        Script(
            script,
            [this, id, deadline, then, ask](const QVariant& value) {
                if (value.toBool() || deadline->hasExpired()) return then(value);
                QTimer::singleShot(kPollMs, this, [this, id, ask] {
                    if (Current(id)) (*ask)();
                });
            },
            world);
    };
    (*ask)();
}

int CaptureEngine::RemainingMs() const {
    return static_cast<int>(std::max<qint64>(0, run_->deadline.remainingTime()));
}

int CaptureEngine::EndMs() const {
    return static_cast<int>(std::max<qint64>(0, run_->end.remainingTime()));
}

void CaptureEngine::Finish(ShotResult result) {
    Run& r = *run_;
    // A view someone else owns gets its size back; our own goes back to one screen, which
    // frees the tall view's frames before the picture is encoded.
    heldSize_ = ownView_ ? (r.width > 0 ? OneScreen() : QSize()) : r.viewSizeBefore;
    if (!r.request.giveBackLater) GiveBack();
    if (page_) page_->SetCapturing(false);
    result.httpStatus = r.httpStatus;
    result.finalAddress = view_->page()->url();
    result.title = view_->page()->title();
    result.settled = r.settled && !r.changing;
    result.cut = r.cut || r.cutWide;
    const bool pictured = result.status != ShotStatus::LoadFailed &&
                          result.status != ShotStatus::NoMatch && result.pdf.isEmpty();
    result.streamed = pictured && r.bands && result.picture.isNull() && r.given > 0 &&
                      r.given == r.begun.height();
    result.size = result.streamed ? r.begun : result.picture.size();
    SetRequestHeaders(*view_->page(), {});
    if (r.httpStatus) result.httpText = HttpStatusText(r.httpStatus);
    result.notes = std::move(r.notes);
    if (r.dialogsLeftOut)
        result.notes
            << tr("and %1 more dialogs of the page, answered the same way").arg(r.dialogsLeftOut);
    run_.reset();
    Q_EMIT Finished(result);
}

void CaptureEngine::GiveBack() {
    if (!heldSize_ || !view_) return;
    // The page takes its changes back in the renderer's own time: every later script,
    // a next shot's included, runs after this one, so nothing waits for it here.
    view_->page()->runJavaScript(pagescripts::Restore(), kOurWorld);
    view_->page()->runJavaScript(QStringLiteral("window.glimpaTaken = true"), kOurWorld);
    if (!heldSize_->isEmpty()) view_->resize(*heldSize_);
    heldSize_.reset();
}

void CaptureEngine::Fail(ShotStatus status, const QString& detail) {
    Finish(ShotResult::Of(status, {}, detail));
}

void CaptureEngine::NoPicture() {
    Run& r = *run_;
    if (r.bandsFailed.isEmpty())
        return Fail(ShotStatus::LoadFailed, tr("No memory for a picture of %1 x %2 pixels.")
                                                .arg(Device(r.width, r.request.scale))
                                                .arg(Device(r.tall, r.request.scale)));
    ShotResult result = ShotResult::Of(ShotStatus::LoadFailed, {}, r.bandsFailed);
    result.bandsFailed = r.bandsFailed;
    Finish(std::move(result));
}

void CaptureEngine::Begin() {
    Run& r = *run_;
    const ShotRequest& q = r.request;
    if (q.width <= 0 || q.screenHeight <= 0 || !(q.scale >= 0.25 && q.scale <= 5) ||
        !(q.screens >= 0) || !std::isfinite(q.screens) || q.maxHeight <= 0 || q.maxWidth < 0)
        return Fail(ShotStatus::LoadFailed, tr("The capture was asked for with impossible sizes."));
    r.width = q.width;
    r.screen = q.screenHeight;
    // The page sees its scale and width from its first script on: its pictures for that
    // scale are the ones it loads.
    if (!qFuzzyCompare(view_->zoomFactor(), q.scale)) view_->setZoomFactor(q.scale);
    if (q.address.isEmpty()) return Prepare();

    r.loading = true;
    const int id = r.id;
    QTimer::singleShot(RemainingMs(), this, [this, id] {
        if (!Current(id) || !run_->loading) return;
        run_->loading = false;
        view_->stop();
        // A page that shows something but still waits for a slow part is taken as it
        // stands, marked unsettled; only one that never showed anything failed to load.
        // The view may still hold the page taken before (a load that never came in its
        // place): that one is marked, and is no picture of this page.
        Script(QStringLiteral("!window.glimpaTaken && location.href !== 'about:blank' && "
                              "document.body !== null && document.body.childNodes.length > 0"),
               [this](const QVariant& shows) {
                   if (shows.toBool()) {
                       run_->settled = false;
                       // Out of time: the scripts and the wait are skipped, and said so.
                       if (!run_->request.scripts.isEmpty())
                           run_->notes
                               << tr("the page had not loaded in time; the scripts "
                                     "given did not run");
                       if (!run_->request.waitFor.isEmpty())
                           run_->notes
                               << tr("the page had not loaded in time; nothing was "
                                     "waited for");
                       return Prepare();
                   }
                   Fail(ShotStatus::LoadFailed, tr("%1 did not load within %2 s.")
                                                    .arg(run_->request.address.toDisplayString())
                                                    .arg(run_->request.timeout.count() / 1000.0));
               });
    });
    if (ownView_) {
        // A new page is laid out at one screen from the start, never at an earlier
        // shot's height.
        view_->resize(OneScreen());
        view_->show();
    }
    view_->load(q.address);
}

void CaptureEngine::LoadingChanged(const QWebEngineLoadingInfo& info) {
    if (!run_ || !run_->loading) return;
    Run& r = *run_;
    switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
        // Stopped: a newer navigation took its place, whose end is awaited.
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            // -3: aborted for a newer navigation (a script or a refresh sent the page on).
            if (info.errorCode() == -3) return;
            // A server's error that came with a page of its own: the page is taken, and
            // the status told.
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                !info.isErrorPage()) {
                r.httpStatus = info.errorCode();
                break;
            }
            r.loading = false;
            return Fail(ShotStatus::LoadFailed, LoadFailureReason(info) + u'.');
    }
    r.loading = false;
    // The scale reaches a new renderer a moment after the page may have started: a page
    // that saw another scale or width than it is taken at loads again, once, where the
    // scale is set before it starts (its pictures for the scale are the ones it loads).
    Script(QStringLiteral("window.glimpaFirstSight ? glimpaFirstSight.map((s) => s.join(' '))"
                          ".join(';') : ''"),
           [this](const QVariant& seen) {
               Run& r = *run_;
               // The first scale and width seen that are not the ones asked for, if any.
               QStringList sight;
               bool right = true;
               for (const QString& one : seen.toString().split(QLatin1Char(';'))) {
                   sight = one.split(QLatin1Char(' '));
                   right = sight.size() == 2 &&
                           std::abs(sight[0].toDouble() - r.request.scale) < 0.01 &&
                           std::abs(sight[1].toInt() - r.width) <= 1 + 2 / r.request.scale;
                   if (!right) break;
               }
               if (!right && (r.reloads >= kReloads || r.deadline.hasExpired()))
                   r.notes << tr("the page's first scripts saw a scale of %1 and a width of %2, "
                                 "not %3 and %4: it may have chosen its pictures for those")
                                  .arg(sight.value(0), sight.value(1))
                                  .arg(r.request.scale)
                                  .arg(r.width);
               if (right || r.reloads >= kReloads || r.deadline.hasExpired()) return Loaded();
               // The reload waits until the page has its scale, a moment after the load.
               ++r.reloads;
               PollScript(
                   QStringLiteral("Math.abs(devicePixelRatio - %1) < 0.01").arg(r.request.scale),
                   std::min(RemainingMs(), 2000), [this](const QVariant& scaled) {
                       if (!scaled.toBool()) return Loaded();
                       run_->loading = true;
                       view_->reload();
                   });
           });
}

void CaptureEngine::Loaded() {
    // The page is guarded from here on: a script of the user's may not send it away.
    if (page_) page_->GuardNavigation(true);
    RunScript(0);
}

void CaptureEngine::RunScript(int index) {
    Run& r = *run_;
    if (index >= r.request.scripts.size()) return WaitFor();
    if (r.deadline.hasExpired()) {
        r.settled = false;
        r.notes << tr("the time ran out before script %1 could run").arg(index + 1);
        return WaitFor();
    }
    // In the page's own context, as the body of an async function: what it returns is
    // awaited, and its outcome is left where the polls below find it.
    const QString key = QStringLiteral("__glimpaScript%1").arg(index);
    // The user's text is put in as it is, never through arg().
    const QString script =
        QStringLiteral("(() => { window.%1 = {done: false}; (async () => {\n").arg(key) +
        r.request.scripts[index] +
        QStringLiteral(
            "\n})().then(() => { window.%1 = {done: true}; }, (e) => {"
            " window.%1 = {done: true, error: String(e)}; }); return true; })()")
            .arg(key);
    constexpr quint32 kPage = QWebEngineScript::MainWorld;
    const auto ended = [this, index](const QVariant& outcome) {
        if (!outcome.toBool()) {
            run_->settled = false;
            run_->notes << tr("script %1 had not ended when the time ran out").arg(index + 1);
            return WaitFor();
        }
        const QString error = QJsonDocument::fromJson(outcome.toString().toUtf8())
                                  .object()
                                  .value(QLatin1String("error"))
                                  .toString();
        if (!error.isEmpty())
            return Fail(ShotStatus::LoadFailed,
                        tr("Script %1 failed: %2").arg(index + 1).arg(error));
        RunScript(index + 1);
    };
    Script(
        script,
        [this, index, key, ended](const QVariant& started) {
            if (!started.toBool())
                return Fail(ShotStatus::LoadFailed,
                            tr("Script %1 did not run: it does not parse, or the page forbids "
                               "it.")
                                .arg(index + 1));
            PollScript(
                QStringLiteral("window.%1 && window.%1.done ? JSON.stringify(window.%1) : false")
                    .arg(key),
                RemainingMs(), ended, kPage);
        },
        kPage);
}

void CaptureEngine::WaitFor() {
    Run& r = *run_;
    if (r.request.waitFor.isEmpty()) return Prepare();
    PollScript(pagescripts::Matches(r.request.waitFor), RemainingMs(),
               [this](const QVariant& found) {
                   Run& r = *run_;
                   if (found.toString() == QLatin1String("bad"))
                       return Fail(ShotStatus::NoMatch,
                                   tr("\"%1\" is not a selector.").arg(r.request.waitFor));
                   if (found.toString() != QLatin1String("found")) {
                       r.settled = false;
                       r.notes << tr("nothing matched \"%1\" in time").arg(r.request.waitFor);
                   }
                   Prepare();
               });
}

void CaptureEngine::Prepare() {
    Run& r = *run_;
    // From here on the page is the one being taken: it may not go elsewhere.
    if (page_) page_->GuardNavigation(true);
    const double scale = r.request.scale;
    if (!qFuzzyCompare(view_->zoomFactor(), scale)) view_->setZoomFactor(scale);
    if (ownView_ && !view_->isVisible()) view_->show();
    // One screen first: what follows the viewport's height is measured there.
    if (r.viewSizeBefore.isEmpty()) r.viewSizeBefore = view_->size();
    view_->resize(OneScreen());
    // What the user hides, removes and adds, in a style sheet of its own after ours.
    QString style;
    for (const QString& selector : r.request.hide)
        style += selector + QStringLiteral("{visibility:hidden!important}\n");
    for (const QString& selector : r.request.remove)
        style += selector + QStringLiteral("{display:none!important}\n");
    style += r.request.styles.join(QLatin1Char('\n'));
    Settle(Loop::Measure, &CaptureEngine::Measured,
           pagescripts::Prepare(NextMarker(), kMarkerRows / scale, r.request.stillMotion, style));
}

QSize CaptureEngine::OneScreen() const {
    const Run& r = *run_;
    return {Device(r.width, r.request.scale), Device(r.screen, r.request.scale)};
}

int CaptureEngine::TallViewRows() const {
    return Device(run_->view, run_->request.scale) + kBelowPart;
}

void CaptureEngine::Settle(Loop loop, void (CaptureEngine::*next)(const QStringList&),
                           const QString& before) {
    Run& r = *run_;
    const double scale = r.request.scale;
    // A page out of time is not waited for; what the loop does besides still happens.
    const bool wait = !r.deadline.hasExpired();
    if (!wait) r.settled = false;
    // The tall view's markers go on from the last one given, none the view shows now.
    const int first = loop == Loop::Measure ? 0 : r.markers + 1;
    const QRgb avoid = first ? MarkerPixel() : 0;
    const double tall = TallViewRows() / scale;
    const QString script =
        loop == Loop::Measure
            ? pagescripts::SettleAndMeasure(r.width, r.screen, wait, r.request.scrollElement)
        : loop == Loop::Pin ? pagescripts::PinAndSettle(r.width, tall, wait, first, avoid)
                            : pagescripts::SettlePart(r.width, tall, wait, first, avoid);
    const auto settled = [this, next](const QVariant& answer) {
        QStringList values = answer.toString().split(QLatin1Char(' '));
        // The marker shown last is the one the view must show.
        if (const int marker = values.takeFirst().toInt(); marker > 0) run_->markers = marker;
        (this->*next)(values);
    };
    Script(before.isEmpty() ? script : before + QStringLiteral(";\n") + script,
           [this, settled](const QVariant& started) {
               if (started.typeId() == QMetaType::QString) return settled(started);
               PollScript(pagescripts::Settled(), RemainingMs(),
                          [this, settled](const QVariant& last) {
                              if (last.toBool()) return settled(last);
                              StopSettle(settled);
                          });
           });
}

void CaptureEngine::StopSettle(std::function<void(const QVariant&)> settled) {
    // Out of time: the page is taken as it stands, with a fresh marker; a view that has
    // not yet taken its new size gets the grace of a frame, within the capture's end.
    run_->settled = false;
    PollScript(pagescripts::StopSettle(false), EndMs() / 2,
               [this, settled](const QVariant& stopped) {
                   if (stopped.toBool()) return settled(stopped);
                   Script(pagescripts::StopSettle(true), settled);
               });
}

void CaptureEngine::Measured(const QStringList& values) {
    Run& r = *run_;
    const ShotRequest& q = r.request;
    const QString shell = values.value(2);
    if (shell == QLatin1String("missing"))
        return Fail(
            ShotStatus::LoadFailed,
            tr("No element of the page matches the scroll element \"%1\".").arg(q.scrollElement));
    // A page wider than the view is laid out again as wide as it is (up to the widest
    // picture), and measured there: its height at that width is the picture's.
    const int pageWidth = values.value(1).toInt();
    if (q.maxWidth > 0 && !r.widened && pageWidth > r.width) {
        r.widened = true;
        r.cutWide = pageWidth > std::max(q.maxWidth, q.width);
        r.width = std::min(pageWidth, std::max(q.maxWidth, q.width));
        view_->resize(OneScreen());
        return Settle(Loop::Measure, &CaptureEngine::Measured);
    }
    // The extra wait, then the page measured again as it then stands.
    if (q.delay.count() > 0 && !r.delayed) {
        r.delayed = true;
        const int id = r.id;
        QTimer::singleShot(std::min<qint64>(q.delay.count(), RemainingMs()), this, [this, id] {
            if (Current(id)) Settle(Loop::Measure, &CaptureEngine::Measured);
        });
        return;
    }
    if (q.print) return Print();
    const int page = std::max(r.screen, values.value(0).toInt());
    r.pageWidth = std::max(r.width, pageWidth);
    if (!q.selector.isEmpty()) {
        return Script(pagescripts::ElementBox(q.selector), [this, page](const QVariant& box) {
            if (!FindRegion(box.toString())) return;
            Framed(page);
        });
    }
    if (!q.clip.isNull()) {
        run_->region = q.clip;
        run_->framed = true;
        return Framed(page);
    }
    const int asked = q.screens > 0 ? static_cast<int>(std::lround(q.screens * r.screen)) : page;
    SetTall(std::max(1, asked));
    // Made now, the picture is white by the time the tall view shows the page.
    r.MakePicture();
    Grow();
}

void CaptureEngine::Print() {
    // The frame marker is ours, not the page's: it goes before the page is printed.
    Script(QStringLiteral("window.glimpaCapture && window.glimpaCapture.marker.remove()"),
           [this](const QVariant&) {
               const int id = run_->id;
               QPointer<CaptureEngine> self(this);
               view_->page()->printToPdf(
                   [self, id](const QByteArray& pdf) {
                       if (!self || !self->Current(id)) return;
                       if (pdf.isEmpty())
                           return self->Fail(ShotStatus::LoadFailed,
                                             tr("The browser could not print the page."));
                       ShotResult result;
                       result.pdf = pdf;
                       if (!self->run_->settled) {
                           result.status = ShotStatus::NotSettled;
                           result.detail =
                               tr("The page did not settle in time; it is printed "
                                  "as it then stood.");
                       }
                       self->Finish(std::move(result));
                   },
                   *run_->request.print);
           });
}

bool CaptureEngine::FindRegion(const QString& box) {
    Run& r = *run_;
    const QString& selector = r.request.selector;
    if (box == QLatin1String("bad")) {
        Fail(ShotStatus::NoMatch, tr("\"%1\" is not a selector.").arg(selector));
        return false;
    }
    const QStringList sides = box.split(QLatin1Char(' '));
    if (sides.size() != 4) {
        Fail(ShotStatus::NoMatch, tr("Nothing matches the selector \"%1\".").arg(selector));
        return false;
    }
    const int padding = r.request.padding;
    r.region =
        QRectF(sides[0].toDouble(), sides[1].toDouble(), sides[2].toDouble(), sides[3].toDouble())
            .adjusted(-padding, -padding, padding, padding);
    r.framed = true;
    // An element that shows nothing (gone, or display:none) has no part to take.
    if (r.region.isEmpty()) {
        Fail(ShotStatus::NoMatch,
             tr("The element matching \"%1\" shows nothing: it has no size.").arg(selector));
        return false;
    }
    return true;
}

void CaptureEngine::Framed(int page) {
    Run& r = *run_;
    // The region is cut to the page; the picture is taken down to its lower edge.
    r.region &= QRectF(0, 0, r.pageWidth, page);
    if (r.region.isEmpty())
        return Fail(ShotStatus::NoMatch, tr("The part asked for lies outside the page."));
    SetTall(std::max(1, static_cast<int>(std::ceil(r.region.bottom()))));
    r.MakePicture();
    Grow();
}

bool CaptureEngine::Whole() const {
    const ShotRequest& q = run_->request;
    return q.screens == 0 && q.selector.isEmpty() && q.clip.isNull();
}

void CaptureEngine::SetTall(int tall) {
    Run& r = *run_;
    const double scale = r.request.scale;
    qint64 rows = r.request.maxHeight;
    if (r.request.maxPixels > 0)
        rows = std::min<qint64>(rows, r.request.maxPixels / Device(r.width, scale));
    if (r.request.maxPixelsHeld > 0 && !r.bands)
        rows = std::min<qint64>(rows, r.request.maxPixelsHeld / Device(r.width, scale));
    const int most = std::max(1, static_cast<int>(rows / scale));
    r.cut = tall > most;
    r.tall = std::min(tall, most);
    const int partMost = r.bandParts ? kBandPartRows : kPartRows;
    const qint64 partRows =
        std::min<qint64>(partMost, kPartPixels * partMost / kPartRows / Device(r.width, scale));
    int part = std::max(1, static_cast<int>(partRows / scale));
    // Parts of whole device pixels: at 1.5, a part of an odd number of CSS rows would start
    // every later one half a pixel off the page's own rows.
    for (int whole = part; whole > 1 && whole > part - 64; --whole) {
        const double device = whole * scale;
        if (std::abs(device - std::round(device)) < 1e-6) {
            part = whole;
            break;
        }
    }
    r.view = std::max(r.screen, std::min(r.tall, part));
}

void CaptureEngine::Grow() {
    Run& r = *run_;
    view_->resize(Device(r.width, r.request.scale), TallViewRows());
    Settle(Loop::Pin, &CaptureEngine::Grown);
}

void CaptureEngine::Grown(const QStringList& heights) {
    Run& r = *run_;
    const int scroll = heights.value(0).toInt();
    const int inner = heights.value(1).toInt();
    // Only a whole page follows what the page became in the tall view (lazy images of
    // no given size, content added by scripts); a view taller than the page says
    // nothing about the page's own height. A page that grows without end grows up to
    // the tallest picture, or as long as there is time.
    if (Whole() && scroll > inner && scroll > r.tall && !r.cut) {
        const int view = r.view;
        SetTall(scroll);
        if (r.view > view && !r.deadline.hasExpired()) return Grow();
    }
    if (!r.MakePicture()) return NoPicture();
    ShowFreshFrame();
}

QRgb CaptureEngine::MarkerPixel() {
    const QImage shown = view_->grab(QRect(0, view_->height() - 1, 1, 1)).toImage();
    return shown.isNull() ? 0 : shown.pixel(0, 0) & 0xffffff;
}

QString CaptureEngine::NextMarker() {
    // Each colour of a shot differs from the ones before it (multiplying by an odd number
    // is one to one modulo 2^24) and from what the view shows now.
    Run& r = *run_;
    const QRgb shown = MarkerPixel();
    while (pagescripts::MarkerColour(++r.markers) == shown) {
    }
    return QColor::fromRgb(pagescripts::MarkerColour(r.markers)).name();
}

void CaptureEngine::ShowFreshFrame() {
    // The marker lies in the view's last rows, below every grabbed row: seeing it in the
    // colour the settle gave it last proves that the view shows a frame drawn after all
    // the changes made before it. Past the page's time the view gets until shortly
    // before the capture's end.
    const int grace = std::max(RemainingMs(), EndMs() - kOverrunMs / 2);
    auto deadline = std::make_shared<QDeadlineTimer>(std::max(0, grace));
    auto look = std::make_shared<std::function<void()>>();
    const int id = run_->id;
    *look = [this, id, deadline, look] {
        if (!Current(id)) return;
        const bool fresh = MarkerPixel() == pagescripts::MarkerColour(run_->markers);
        if (fresh || deadline->hasExpired()) {
            if (!fresh) run_->settled = false;
            return GrabPart();
        }
        QTimer::singleShot(kPollMs, this, *look);
    };
    (*look)();
}

void CaptureEngine::PartSettled(const QStringList&) {
    ShowFreshFrame();
}

void CaptureEngine::GrabPart() {
    Run& r = *run_;
    const double scale = r.request.scale;
    const int from = r.done;
    const int to = std::min(r.tall, from + r.view);
    // The view shows the part from its top and paints it straight into the picture: no
    // copy of the view's pixels in between. What the view could not paint is white,
    // never stale memory.
    const int top = Device(from, scale);
    const int bottom = Device(to, scale);
    if (r.bands) {
        // The part goes to the bands, which encode it on another core while the next
        // part is drawn.
        QImage band = r.WhiteBand(bottom - top);
        if (!band.isNull())
            view_->render(&band, QPoint(0, 0), QRegion(0, 0, band.width(), bottom - top),
                          QWidget::DrawChildren);
        if (!r.GiveBand(std::move(band))) return NoPicture();
        if (to < r.tall) r.WhitenBand(Device(std::min(r.tall, to + r.view), scale) - bottom);
    } else {
        r.WhitePicture();
        view_->render(&r.picture, QPoint(0, top), QRegion(0, 0, r.picture.width(), bottom - top),
                      QWidget::DrawChildren);
    }
    r.done = to;
    const int screens = (r.tall + r.screen - 1) / r.screen;
    Q_EMIT Progress(std::min(screens, (r.done + r.screen - 1) / r.screen), screens);
    if (!Current(r.id)) return;
    if (r.done >= r.tall) return CheckLayout();
    NextPart();
}

void CaptureEngine::NextPart() {
    Run& r = *run_;
    // The next part: the page scrolled so that it starts at the view's top. A spacer past
    // the picture's end lets every part scroll exactly there.
    Script(pagescripts::ScrollPart(r.done, r.tall + r.view + 2),
           [this](const QVariant&) { Settle(Loop::Part, &CaptureEngine::PartSettled); });
}

void CaptureEngine::CheckLayout() {
    Script(pagescripts::LayoutCheck(run_->tall), [this](const QVariant& answer) {
        Run& r = *run_;
        const QStringList check = answer.toString().split(QLatin1Char(' '));
        const bool inTime = !r.deadline.hasExpired();
        if (check.value(0) == QLatin1String("moved")) {
            // Rows taken earlier no longer show what is there: all of them again.
            if (r.retakes >= kRetakes || !inTime) {
                r.changing = true;
                return Restore();
            }
            ++r.retakes;
            r.done = 0;
            return Grow();
        }
        if (check.value(0) == QLatin1String("wait") && Whole() && !r.cut) {
            if (!inTime) {
                r.changing = true;
                return Restore();
            }
            return After(kPollMs * 10, &CaptureEngine::CheckLayout);
        }
        if (check.value(0) == QLatin1String("grew") && Whole() && !r.cut) {
            if (!inTime) {
                r.changing = true;
                return Restore();
            }
            const int view = r.view;
            // Rows given to the bands never get taller: a page that grew below them is
            // taken again from the top, whole in memory, as it may grow on.
            if (r.bands && r.done > 0) {
                r.bands = nullptr;
                r.done = 0;
            }
            SetTall(check.value(1).toInt());
            if (!r.MakePicture()) return NoPicture();
            // Still one part: the taller view shows it whole in one frame again.
            if (r.view > view) {
                r.done = 0;
                return Grow();
            }
            return NextPart();
        }
        if (check.contains(QLatin1String("webgl"))) r.webglFailed = true;
        // The element where it stands now, as the picture shows it.
        if (!r.request.selector.isEmpty())
            return Script(pagescripts::ElementBox(r.request.selector), [this](const QVariant& box) {
                if (!FindRegion(box.toString())) return;
                // The element moved down in the tall view (pictures above it came in): the
                // picture is taken further, down to it, while there is time.
                Run& r = *run_;
                const int bottom = static_cast<int>(std::ceil(r.region.bottom()));
                if (bottom > r.tall && !r.cut && !r.deadline.hasExpired() &&
                    r.retakes++ < kRetakes) {
                    SetTall(bottom);
                    if (!r.MakePicture()) return NoPicture();
                    return NextPart();
                }
                Restore();
            });
        Restore();
    });
}

void CaptureEngine::Restore() {
    Run& r = *run_;
    // A page taken as it stood whose picture is one colour while it shows text or
    // pictures was not drawn: that is no picture of it.
    const auto oneColour = [&r] {
        return r.bands ? r.given > 0 && r.oneColour : OneColour(r.WhitePicture());
    };
    if (!r.settled && !r.blankChecked && oneColour()) {
        r.blankChecked = true;
        // What would be drawn: text, a picture that arrived, a drawing or a frame.
        return Script(QStringLiteral("document.body !== null && (document.body.innerText.trim() "
                                     "!== '' || [...document.images].some((i) => i.complete && "
                                     "i.naturalWidth > 0) || document.querySelector('svg,canvas,"
                                     "video,iframe,object,embed') !== null)"),
                      [this](const QVariant& content) {
                          if (!content.toBool()) return Restore();
                          Fail(ShotStatus::LoadFailed,
                               tr("Nothing of the page was drawn in time; the picture would "
                                  "have been blank."));
                      });
    }
    ShotResult result;
    result.picture = std::move(r.picture);
    if (r.framed) {
        // The part asked for, in whole device pixels, within the picture taken.
        const double scale = r.request.scale;
        const QRect part = QRect(QPoint(static_cast<int>(std::floor(r.region.left() * scale)),
                                        static_cast<int>(std::floor(r.region.top() * scale))),
                                 QPoint(static_cast<int>(std::ceil(r.region.right() * scale)) - 1,
                                        static_cast<int>(std::ceil(r.region.bottom() * scale)) - 1))
                               .intersected(result.picture.rect());
        result.picture = part.isEmpty() ? QImage() : result.picture.copy(part);
        if (result.picture.isNull())
            return Fail(ShotStatus::NoMatch, tr("The part asked for lies outside the picture."));
    }
    const QString seconds = QString::number(r.request.timeout.count() / 1000.0);
    if (!r.settled) {
        result.status = ShotStatus::NotSettled;
        result.detail =
            tr("The page did not settle within %1 s; it is shown as it then stood.").arg(seconds);
    } else if (r.changing) {
        result.status = ShotStatus::NotSettled;
        result.detail =
            tr("The page kept changing while it was taken; parts of the picture may "
               "show it at different moments.");
    } else if (r.webglFailed) {
        result.status = ShotStatus::NotSettled;
        result.detail =
            tr("The page draws with WebGL, which this browser cannot draw here (it "
               "needs OpenGL, which needs a display); the picture shows the page "
               "without it.");
    } else if (r.cutWide) {
        result.status = ShotStatus::CutAtMaxWidth;
        result.detail = tr("The page is wider than %1 pixels; the picture ends there.")
                            .arg(Device(r.width, r.request.scale));
    } else if (r.cut) {
        result.status = ShotStatus::CutAtMaxHeight;
        result.detail = tr("The page is taller than %1 pixels; the picture ends there.")
                            .arg(r.request.maxHeight);
    }
    Finish(std::move(result));
}
