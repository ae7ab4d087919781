#include "capture/page_scripts.h"

namespace pagescripts {

namespace {

// Every element the capture changed keeps its own style attribute in `saved`, so that
// Restore() gives the page back exactly.
constexpr char kPrepare[] = R"JS(
(function (color) {
    if (window.glimpaCapture) return true;
    const g = window.glimpaCapture = { saved: new Map(), scroll: [scrollX, scrollY] };
    g.touch = (el) => { if (!g.saved.has(el)) g.saved.set(el, el.getAttribute('style')); };
    g.ours = (el) => el === g.style || el === g.marker || el === g.spacer;
    g.style = document.createElement('style');
    g.style.textContent = '::-webkit-scrollbar{display:none!important}' +
                          'html,body{scrollbar-width:none!important}';
    document.documentElement.appendChild(g.style);
    // The view's bottom-left pixel shows the marker in every frame from now on, so a
    // frame showing its newest colour was drawn after everything changed before it.
    g.marker = document.createElement('glimpa-frame-marker');
    g.paint = (color) => g.marker.setAttribute('style',
        'all: initial !important; position: fixed !important; left: 0 !important;' +
        'bottom: 0 !important; width: 1px !important; height: 1px !important;' +
        'z-index: 2147483647 !important; display: block !important;' +
        'background: ' + color + ' !important; pointer-events: none !important;');
    g.paint(color);
    document.documentElement.appendChild(g.marker);
    scrollTo(0, 0);
    return true;
})('%1')
)JS";

// Done once the layout has the expected size, the page has been calm for a while after
// its load (pages that lay themselves out late do so within that time) and no image in
// sight is still loading or waiting to be decoded. Lazy images come into sight (and
// start loading) only in a frame after the layout grew, hence the loop.
constexpr char kSettle[] = R"JS(
(function (width, height, quietFrames, marker) {
    const state = { done: false };
    window.glimpaSettle = state;
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
    const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    const inSight = (img) => {
        const r = img.getBoundingClientRect();
        return r.width > 0 && r.height > 0 && r.bottom > 0 && r.right > 0 &&
               r.top < innerHeight && r.left < innerWidth;
    };
    const loaded = (img) => new Promise((resolve) => {
        img.addEventListener('load', resolve, { once: true });
        img.addEventListener('error', resolve, { once: true });
    });
    const calmFor = 750;
    const sinceLoad = () => {
        if (document.readyState !== 'complete') return 0;
        const nav = performance.getEntriesByType('navigation')[0];
        return performance.now() - (nav ? nav.loadEventEnd : 0);
    };
    (async () => {
        // Quiet twice in a row where images may come into sight: a script that watches
        // for elements coming into sight (lazy loading by hand) is told only after the
        // frame that showed them.
        for (let quiet = 0; quiet < quietFrames;) {
            await frame();
            const sized = Math.abs(innerWidth - width) <= 1 && Math.abs(innerHeight - height) <= 1;
            const images = Array.from(document.images).filter(inSight);
            const loading = images.filter((img) => !img.complete);
            const since = sinceLoad();
            if (sized && loading.length === 0 && since >= calmFor) {
                await Promise.all(images.filter((img) => img.naturalWidth > 0)
                                      .map((img) => img.decode().catch(() => {})));
                await document.fonts.ready;
                ++quiet;
            } else {
                quiet = 0;
                if (loading.length) await Promise.all(loading.map(loaded));
                else if (sized) await pause(Math.max(10, calmFor - since));
            }
        }
        // The frame that shows this colour was drawn after the page settled.
        if (marker) window.glimpaCapture.paint(marker);
        state.done = true;
    })();
    return true;
})(%1, %2, %3, '%4')
)JS";

constexpr char kSettled[] = "window.glimpaSettle ? window.glimpaSettle.done : false";

constexpr char kMeasure[] = R"JS(
(function () {
    const g = window.glimpaCapture;
    g.before = new Map();
    g.places = [];
    for (const el of document.querySelectorAll('*')) {
        if (g.ours(el)) continue;
        const cs = getComputedStyle(el);
        if (cs.display === 'none') continue;
        const r = el.getBoundingClientRect();
        g.before.set(el, { height: r.height, min: cs.minHeight, max: cs.maxHeight });
        if (cs.position === 'fixed' || cs.position === 'sticky')
            g.places.push({ el, position: cs.position, top: r.top + scrollY,
                            left: r.left + scrollX, width: r.width, height: r.height });
    }
    return document.scrollingElement.scrollHeight;
})()
)JS";

// Heights: of the elements whose height changed in the tall view, min- and max-heights
// that resolved differently go back to their one-screen values; then an element still
// taller or shorter than at one screen is
// pinned unless its content alone makes it so (it keeps its height with height:auto),
// which is the case for the parents of pinned elements.
constexpr char kPin[] = R"JS(
(function () {
    const g = window.glimpaCapture;
    const set = (el, name, value) => { g.touch(el); el.style.setProperty(name, value, 'important'); };
    for (const p of g.places) {
        if (!p.el.isConnected) continue;
        if (p.position === 'fixed') {
            set(p.el, 'position', 'absolute');
            set(p.el, 'box-sizing', 'border-box');
            set(p.el, 'width', p.width + 'px');
            set(p.el, 'height', p.height + 'px');
        } else {
            set(p.el, 'position', 'relative');
        }
        set(p.el, 'right', 'auto');
        set(p.el, 'bottom', 'auto');
        set(p.el, 'top', '0px');
        set(p.el, 'left', '0px');
        const r = p.el.getBoundingClientRect();
        set(p.el, 'top', (p.top - (r.top + scrollY)) + 'px');
        set(p.el, 'left', (p.left - (r.left + scrollX)) + 'px');
    }
    // Only an element whose height changed can need a pin: one pass of layout reads
    // finds them, and only their styles are looked at.
    const changed = [];
    for (const [el, b] of g.before)
        if (el.isConnected && Math.abs(el.getBoundingClientRect().height - b.height) >= 0.5)
            changed.push([el, b]);
    for (const [el, b] of changed) {
        const cs = getComputedStyle(el);
        if (cs.minHeight !== b.min) set(el, 'min-height', b.min);
        if (cs.maxHeight !== b.max) set(el, 'max-height', b.max);
    }
    for (const [el, b] of changed) {
        const now = el.getBoundingClientRect().height;
        if (Math.abs(now - b.height) < 0.5) continue;
        const attribute = el.getAttribute('style');
        el.style.setProperty('height', 'auto', 'important');
        const auto = el.getBoundingClientRect().height;
        if (attribute === null) el.removeAttribute('style');
        else el.setAttribute('style', attribute);
        if (Math.abs(auto - now) < 0.5) continue;
        const cs = getComputedStyle(el);
        const frame = cs.boxSizing === 'border-box' ? 0 :
            parseFloat(cs.paddingTop) + parseFloat(cs.paddingBottom) +
            parseFloat(cs.borderTopWidth) + parseFloat(cs.borderBottomWidth);
        set(el, 'height', Math.max(0, b.height - frame) + 'px');
    }
    return changed.length;
})()
)JS";

constexpr char kHeights[] = "document.scrollingElement.scrollHeight + ' ' + innerHeight";

// A header that a script fixes once the page is scrolled would show again in every
// part: the top of the page already has it.
constexpr char kScrollPart[] = R"JS(
(function (top, end) {
    const g = window.glimpaCapture;
    if (!g.spacer) {
        g.spacer = document.createElement('glimpa-capture-spacer');
        g.spacer.setAttribute('style', 'all: initial !important; display: block !important;' +
            'position: absolute !important; left: 0 !important; top: ' + end + 'px !important;' +
            'width: 1px !important; height: 1px !important; visibility: hidden !important;');
        document.documentElement.appendChild(g.spacer);
    }
    for (const el of document.querySelectorAll('*')) {
        if (g.ours(el)) continue;
        const position = getComputedStyle(el).position;
        if (position === 'fixed') {
            g.touch(el);
            el.style.setProperty('visibility', 'hidden', 'important');
        } else if (position === 'sticky') {
            g.touch(el);
            el.style.setProperty('position', 'relative', 'important');
            for (const side of ['top', 'left', 'right', 'bottom'])
                el.style.setProperty(side, 'auto', 'important');
        }
    }
    scrollTo(0, top);
    return scrollY;
})(%1, %2)
)JS";

constexpr char kPaintMarker[] = "window.glimpaCapture.paint('%1'), true";

constexpr char kRestore[] = R"JS(
(function () {
    const g = window.glimpaCapture;
    if (!g) return true;
    for (const el of [g.style, g.marker, g.spacer]) if (el) el.remove();
    for (const [el, style] of g.saved) {
        if (style === null) el.removeAttribute('style');
        else el.setAttribute('style', style);
    }
    delete window.glimpaCapture;
    scrollTo(g.scroll[0], g.scroll[1]);
    return true;
})()
)JS";

}  // namespace

QString Prepare(const QString& marker) {
    return QString::fromLatin1(kPrepare).arg(marker);
}
QString Settle(int width, int height, int quietFrames, const QString& marker) {
    return QString::fromLatin1(kSettle).arg(width).arg(height).arg(quietFrames).arg(marker);
}
QString Settled() {
    return QString::fromLatin1(kSettled);
}
QString Measure() {
    return QString::fromLatin1(kMeasure);
}
QString Pin() {
    return QString::fromLatin1(kPin);
}
QString Heights() {
    return QString::fromLatin1(kHeights);
}
QString ScrollPart(int top, int end) {
    return QString::fromLatin1(kScrollPart).arg(top).arg(end);
}
QString PaintMarker(const QString& color) {
    return QString::fromLatin1(kPaintMarker).arg(color);
}
QString Restore() {
    return QString::fromLatin1(kRestore);
}

}  // namespace pagescripts
