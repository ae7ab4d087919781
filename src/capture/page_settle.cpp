#include "capture/page_settle.h"

#include <QDeadlineTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>
#include <optional>

namespace {

// Our scripts run apart from the page's own, so neither can disturb the other's names.
constexpr quint32 kWorld = QWebEngineScript::ApplicationWorld;

// Done once the layout has the expected size and no image in sight is still loading or
// waiting to be decoded. Lazy images come into sight (and start loading) only in a frame
// after the layout grew, hence the loop.
constexpr char kSettleScript[] = R"JS(
(function (width, height) {
    const state = { done: false };
    window.glimpaSettle = state;
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
    const inSight = (img) => {
        const r = img.getBoundingClientRect();
        return r.width > 0 && r.height > 0 && r.bottom > 0 && r.right > 0 &&
               r.top < innerHeight && r.left < innerWidth;
    };
    const loaded = (img) => new Promise((resolve) => {
        img.addEventListener('load', resolve, { once: true });
        img.addEventListener('error', resolve, { once: true });
    });
    (async () => {
        // Quiet twice in a row: a script that watches for elements coming into sight
        // (lazy loading by hand) is told only after the frame that showed them.
        for (let quiet = 0; quiet < 2;) {
            await frame();
            const sized = Math.abs(innerWidth - width) <= 1 && Math.abs(innerHeight - height) <= 1;
            const images = Array.from(document.images).filter(inSight);
            const loading = images.filter((img) => !img.complete);
            if (sized && loading.length === 0) {
                await Promise.all(images.filter((img) => img.naturalWidth > 0)
                                      .map((img) => img.decode().catch(() => {})));
                await document.fonts.ready;
                ++quiet;
            } else {
                quiet = 0;
                await Promise.all(loading.map(loaded));
            }
        }
        state.done = true;
    })();
    return true;
})(%1, %2)
)JS";

constexpr char kSettledQuery[] = "window.glimpaSettle ? window.glimpaSettle.done : false";

// A one-pixel element above everything at the view's top-left corner; seeing it come
// and go in the view proves that the view shows a frame drawn after the script ran.
constexpr char kMarkerShow[] = R"JS(
(function (color) {
    let marker = document.getElementById('glimpa-frame-marker');
    if (!marker) {
        marker = document.createElement('glimpa-frame-marker');
        marker.id = 'glimpa-frame-marker';
        document.documentElement.appendChild(marker);
    }
    marker.setAttribute('style', 'all: initial !important; position: fixed !important;' +
        'left: 0 !important; top: 0 !important; width: 1px !important;' +
        'height: 1px !important; z-index: 2147483647 !important; display: block !important;' +
        'background: ' + color + ' !important; pointer-events: none !important;');
    return true;
})('%1')
)JS";

constexpr char kMarkerHide[] = R"JS(
(function () {
    const marker = document.getElementById('glimpa-frame-marker');
    if (marker) marker.remove();
    return true;
})()
)JS";

// The removal of the marker is waited for even after the main bound ran out, so that it
// never shows in a grab.
constexpr WaitBound kMarkerRemovalBound(1000);

WaitBound Remaining(const QDeadlineTimer& deadline) {
    return WaitBound(std::max<qint64>(0, deadline.remainingTime()));
}

// The script's value, or nothing when the page did not answer in time (it may be
// navigating away, or busy beyond the bound).
std::optional<QVariant> Evaluate(QWebEnginePage& page, const QString& script,
                                 const QDeadlineTimer& deadline) {
    struct Answer {
        bool arrived = false;
        QVariant value;
    };
    // Shared with the callback, which may still come after this wait gave up.
    auto answer = std::make_shared<Answer>();
    page.runJavaScript(script, kWorld, [answer](const QVariant& value) {
        answer->arrived = true;
        answer->value = value;
    });
    if (!WaitUntil([&] { return answer->arrived; }, Remaining(deadline), WaitBound(1)))
        return std::nullopt;
    return answer->value;
}

bool WaitForScriptDone(QWebEnginePage& page, const QDeadlineTimer& deadline) {
    for (;;) {
        const auto done = Evaluate(page, QString::fromLatin1(kSettledQuery), deadline);
        if (!done) return false;
        if (done->toBool()) return true;
        if (deadline.hasExpired()) return false;
        WaitUntil([] { return false; }, WaitBound(2));
    }
}

QRgb ShownPixel(QWebEngineView& view) {
    const QImage shown = view.grab(QRect(0, 0, 1, 1)).toImage();
    return shown.isNull() ? 0 : shown.pixel(0, 0) & 0xffffff;
}

bool WaitForFreshFrame(QWebEngineView& view, const QDeadlineTimer& deadline) {
    // Without time left the marker could turn up after the grab: leave the page alone.
    if (deadline.hasExpired()) return false;
    QWebEnginePage& page = *view.page();
    const QRgb marker = ShownPixel(view) ^ 0x808080;
    const QString color = QColor::fromRgb(marker).name();
    bool seen =
        Evaluate(page, QString::fromLatin1(kMarkerShow).arg(color), deadline) &&
        WaitUntil([&] { return ShownPixel(view) == marker; }, Remaining(deadline), WaitBound(1));
    const QDeadlineTimer removal(std::max(Remaining(deadline), kMarkerRemovalBound));
    const bool gone =
        Evaluate(page, QString::fromLatin1(kMarkerHide), removal) &&
        WaitUntil([&] { return ShownPixel(view) != marker; }, Remaining(removal), WaitBound(1));
    return seen && gone;
}

}  // namespace

bool WaitForPageSettled(QWebEngineView& view, WaitBound bound) {
    if (!view.isVisible() || view.width() <= 0 || view.height() <= 0) return false;
    const QDeadlineTimer deadline(bound);
    QWebEnginePage& page = *view.page();
    const double zoom = view.zoomFactor() > 0 ? view.zoomFactor() : 1.0;
    const QString start = QString::fromLatin1(kSettleScript)
                              .arg(qRound(view.width() / zoom))
                              .arg(qRound(view.height() / zoom));
    if (!Evaluate(page, start, deadline)) return false;
    const bool settled = WaitForScriptDone(page, deadline);
    // Even a page that never settled gets its latest frame into the view.
    return WaitForFreshFrame(view, deadline) && settled;
}
