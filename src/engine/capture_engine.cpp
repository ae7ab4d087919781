#include "engine/capture_engine.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>

#include "engine/page_safety.h"
#include "engine/page_scripts.h"

namespace {

// Our scripts run apart from the page's own, so neither can disturb the other's names.
constexpr quint32 kWorld = QWebEngineScript::ApplicationWorld;

// The tallest view the engine renders at once, in device pixels. Chromium's software
// renderer draws a 1920-wide view of 24,000 rows whole but leaves all below the first
// screen of a 28,000-row one blank; and the browser and the view keep several copies of
// the view's pixels, so a part of this height keeps the peak memory near the size of the
// picture.
constexpr int kPartRows = 8192;

// How often an answer is asked for again while waiting.
constexpr int kPollMs = 3;

// Time the view gets to show the marker of a fresh frame even after the request's bound
// ran out: without it a page that never settles would be grabbed mid-frame.
constexpr int kFrameGraceMs = 3000;

// Past the request's bound, this long without the page answering at all (a renderer
// that hangs or died) ends the shot: every wait of the engine has an end.
constexpr int kSilenceMs = 15000;

int Device(double css, double scale) {
    return static_cast<int>(std::lround(css * scale));
}

}  // namespace

struct CaptureEngine::Run {
    ShotRequest request;
    int id = 0;
    QDeadlineTimer deadline;
    bool settled = true;
    bool cut = false;
    QSize viewSizeBefore;
    int growths = 0;
    // The number of the marker last given; its colour is MarkerColour(markers).
    int markers = 0;
    // CSS pixels: one screen, the picture's height, the view's height for the picture
    // (one row more holds the frame marker).
    int width = 0;
    int screen = 0;
    int tall = 0;
    int view = 0;
    // The rows of the picture done so far, CSS pixels.
    int done = 0;
    QImage picture;
    // The picture made white on another core while the page settles: the first touch of
    // its memory costs as much as a frame. Declared after the picture, so that a run
    // ended early waits for it before the picture goes.
    std::future<void> whitening;
    QMetaObject::Connection loading;

    // The picture for the tall size, white, ready to be painted into.
    bool MakePicture() {
        const QSize size(Device(width, request.scale), Device(tall, request.scale));
        if (whitening.valid()) whitening.get();
        if (picture.size() == size) return true;
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
};

CaptureEngine::CaptureEngine(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent), ownView_(std::make_unique<QWebEngineView>()) {
    if (profile) ownView_->setPage(new QWebEnginePage(profile, ownView_.get()));
    // The view renders as if shown, without a window on any screen.
    ownView_->setAttribute(Qt::WA_DontShowOnScreen);
    view_ = ownView_.get();
    Watch();
}

CaptureEngine::CaptureEngine(QWebEngineView& view, QObject* parent)
    : QObject(parent), view_(&view) {
    Watch();
}

void CaptureEngine::Watch() {
    ConfineLocalPages(*view_->page());
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
}

CaptureEngine::~CaptureEngine() {
    // A shot cut short still gives the page back.
    if (run_ && view_) view_->page()->runJavaScript(pagescripts::Restore(), kWorld);
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
            Q_EMIT Finished({ShotStatus::Busy, {}, tr("A capture is already running.")});
        });
        return;
    }
    static int runs = 0;
    run_ = std::make_unique<Run>();
    run_->request = request;
    run_->id = ++runs;
    run_->deadline = QDeadlineTimer(request.timeout);
    After(0, &CaptureEngine::Begin);
    const int id = run_->id;
    const auto bound = std::chrono::milliseconds(kSilenceMs) + request.timeout;
    QTimer::singleShot(bound, this, [this, id] {
        if (!Current(id)) return;
        Run& r = *run_;
        if (!r.viewSizeBefore.isEmpty() && !ownView_) view_->resize(r.viewSizeBefore);
        view_->page()->runJavaScript(pagescripts::Restore(), kWorld);
        // The rows not taken are white already.
        if (r.WhitePicture().isNull() || r.done == 0)
            return Fail(ShotStatus::LoadFailed, tr("The page stopped answering."));
        ShotResult result{ShotStatus::NotSettled, std::move(r.picture),
                          tr("The page stopped answering; the picture holds what was taken.")};
        run_.reset();
        Q_EMIT Finished(result);
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

void CaptureEngine::Script(const QString& script, std::function<void(const QVariant&)> then) {
    const int id = run_->id;
    QPointer<CaptureEngine> self(this);
    view_->page()->runJavaScript(script, kWorld, [self, id, then](const QVariant& value) {
        if (self && self->Current(id)) then(value);
    });
}

void CaptureEngine::PollScript(const QString& script, int boundMs,
                               std::function<void(const QVariant&)> then) {
    const int id = run_->id;
    auto deadline = std::make_shared<QDeadlineTimer>(boundMs);
    auto ask = std::make_shared<std::function<void()>>();
    *ask = [this, id, script, deadline, then, ask] {
        Script(script, [this, id, deadline, then, ask](const QVariant& value) {
            if (value.toBool() || deadline->hasExpired()) return then(value);
            QTimer::singleShot(kPollMs, this, [this, id, ask] {
                if (Current(id)) (*ask)();
            });
        });
    };
    (*ask)();
}

int CaptureEngine::RemainingMs() const {
    return static_cast<int>(std::max<qint64>(0, run_->deadline.remainingTime()));
}

void CaptureEngine::Fail(ShotStatus status, const QString& detail) {
    ShotResult result{status, {}, detail};
    run_.reset();
    Q_EMIT Finished(result);
}

void CaptureEngine::Begin() {
    Run& r = *run_;
    const ShotRequest& q = r.request;
    if (q.width <= 0 || q.screenHeight <= 0 || !(q.scale >= 0.25 && q.scale <= 5) ||
        !(q.screens >= 0) || !std::isfinite(q.screens) || q.maxHeight <= 0)
        return Fail(ShotStatus::LoadFailed, tr("The capture was asked for with impossible sizes."));
    r.width = q.width;
    r.screen = q.screenHeight;
    if (q.address.isEmpty()) return Prepare();

    r.loading = connect(view_.data(), &QWebEngineView::loadFinished, this, [this](bool ok) {
        disconnect(run_->loading);
        if (!ok)
            return Fail(ShotStatus::LoadFailed,
                        tr("%1 did not load.").arg(run_->request.address.toDisplayString()));
        Prepare();
    });
    const int id = r.id;
    QTimer::singleShot(RemainingMs(), this, [this, id] {
        if (!Current(id) || !run_->loading) return;
        disconnect(run_->loading);
        view_->stop();
        // A page that shows something but still waits for a slow part is taken as it
        // stands, marked unsettled; only one that never showed anything failed to load.
        Script(QStringLiteral("location.href !== 'about:blank' && document.body !== null && "
                              "document.body.childNodes.length > 0"),
               [this](const QVariant& shows) {
                   if (shows.toBool()) {
                       run_->settled = false;
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

void CaptureEngine::Prepare() {
    Run& r = *run_;
    r.loading = {};
    const double scale = r.request.scale;
    if (!qFuzzyCompare(view_->zoomFactor(), scale)) view_->setZoomFactor(scale);
    if (ownView_ && !view_->isVisible()) view_->show();
    // One screen first: what follows the viewport's height is measured there.
    r.viewSizeBefore = view_->size();
    view_->resize(OneScreen());
    Settle(Loop::Measure, &CaptureEngine::Measured, pagescripts::Prepare(NextMarker()));
}

QSize CaptureEngine::OneScreen() const {
    const Run& r = *run_;
    return {Device(r.width, r.request.scale), Device(r.screen, r.request.scale)};
}

void CaptureEngine::Settle(Loop loop, void (CaptureEngine::*next)(const QStringList&),
                           const QString& before) {
    Run& r = *run_;
    // A page out of time is not waited for; what the loop does besides still happens.
    const bool wait = !r.deadline.hasExpired();
    if (!wait) r.settled = false;
    // The tall view's markers go on from the last one given, none the view shows now.
    const int first = loop == Loop::Measure ? 0 : r.markers + 1;
    const QRgb avoid = first ? MarkerPixel() : 0;
    const int tall = r.view + 1;
    const QString script =
        loop == Loop::Measure ? pagescripts::SettleAndMeasure(r.width, r.screen, wait)
        : loop == Loop::Pin   ? pagescripts::PinAndSettle(r.width, tall, wait, first, avoid)
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
    // not yet taken its new size gets the grace of a frame.
    run_->settled = false;
    PollScript(pagescripts::StopSettle(false), kFrameGraceMs,
               [this, settled](const QVariant& stopped) {
                   if (stopped.toBool()) return settled(stopped);
                   Script(pagescripts::StopSettle(true), settled);
               });
}

void CaptureEngine::Measured(const QStringList& values) {
    Run& r = *run_;
    const ShotRequest& q = r.request;
    const int page = std::max(r.screen, values.value(0).toInt());
    const int asked = q.screens > 0 ? static_cast<int>(std::lround(q.screens * r.screen)) : page;
    SetTall(std::max(1, asked));
    // Made now, the picture is white by the time the tall view shows the page.
    r.MakePicture();
    Grow();
}

void CaptureEngine::SetTall(int tall) {
    Run& r = *run_;
    const int most = std::max(1, static_cast<int>(r.request.maxHeight / r.request.scale));
    r.cut = tall > most;
    r.tall = std::min(tall, most);
    const int part = std::max(1, static_cast<int>(kPartRows / r.request.scale));
    r.view = std::max(r.screen, std::min(r.tall, part));
}

void CaptureEngine::Grow() {
    Run& r = *run_;
    const double scale = r.request.scale;
    ++r.growths;
    view_->resize(Device(r.width, scale), Device(r.view + 1, scale));
    Settle(Loop::Pin, &CaptureEngine::Grown);
}

void CaptureEngine::Grown(const QStringList& heights) {
    Run& r = *run_;
    const int scroll = heights.value(0).toInt();
    const int inner = heights.value(1).toInt();
    // Only a whole page follows what the page became in the tall view (lazy images of
    // no given size, content added by scripts); a view taller than the page says
    // nothing about the page's own height.
    if (r.request.screens == 0 && scroll > inner && scroll > r.tall && !r.cut) {
        const int view = r.view;
        SetTall(scroll);
        if (r.view > view && r.growths < 4) return Grow();
    }
    if (!r.MakePicture())
        return Fail(ShotStatus::LoadFailed, tr("No memory for a picture of %1 x %2 pixels.")
                                                .arg(Device(r.width, r.request.scale))
                                                .arg(Device(r.tall, r.request.scale)));
    ShowFreshFrame();
}

QRgb CaptureEngine::MarkerPixel() {
    const int y = Device(run_->view, run_->request.scale);
    const QImage shown = view_->grab(QRect(0, y, 1, 1)).toImage();
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
    // The marker lies in the view's last row, below every grabbed row: seeing it in the
    // colour the settle gave it last proves that the view shows a frame drawn after all
    // the changes made before it.
    auto deadline = std::make_shared<QDeadlineTimer>(std::max(RemainingMs(), kFrameGraceMs));
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
    r.WhitePicture();
    view_->render(&r.picture, QPoint(0, top), QRegion(0, 0, r.picture.width(), bottom - top),
                  QWidget::DrawChildren);
    r.done = to;
    const int screens = (r.tall + r.screen - 1) / r.screen;
    Q_EMIT Progress(std::min(screens, (r.done + r.screen - 1) / r.screen), screens);
    if (!Current(r.id)) return;
    if (r.done >= r.tall) return Restore();
    // The next part: the page scrolled so that it starts at the view's top. A spacer past
    // the picture's end lets every part scroll exactly there.
    Script(pagescripts::ScrollPart(r.done, r.tall + r.view + 2),
           [this](const QVariant&) { Settle(Loop::Part, &CaptureEngine::PartSettled); });
}

void CaptureEngine::Restore() {
    Run& r = *run_;
    // The page takes its changes back in the renderer's own time: every later script,
    // a next shot's included, runs after this one, so nothing waits for it here. A view
    // someone else owns gets its size back; our own goes back to one screen, which frees
    // the tall view's frames before the picture is encoded.
    view_->page()->runJavaScript(pagescripts::Restore(), kWorld);
    view_->resize(ownView_ ? OneScreen() : r.viewSizeBefore);
    ShotResult result;
    result.picture = std::move(r.picture);
    if (!r.settled) {
        result.status = ShotStatus::NotSettled;
        result.detail = tr("The page did not settle within %1 s; it is shown as it then stood.")
                            .arg(r.request.timeout.count() / 1000.0);
    } else if (r.cut) {
        result.status = ShotStatus::CutAtMaxHeight;
        result.detail = tr("The page is taller than %1 pixels; the picture ends there.")
                            .arg(r.request.maxHeight);
    }
    run_.reset();
    Q_EMIT Finished(result);
}
