#include "engine/page_scripts.h"

#include <QStringList>

namespace pagescripts {

namespace {

// Every element the capture changed keeps its own style attribute in `saved`, so that
// Restore() gives the page back exactly.
constexpr char kPrepare[] = R"JS(
(function (color) {
    if (window.glimpaCapture) return true;
    const g = window.glimpaCapture = { saved: new Map(), scroll: [scrollX, scrollY] };
    g.touch = (el) => { if (!g.saved.has(el)) g.saved.set(el, el.getAttribute('style')); };
    g.ours = (el) => el === g.style || el === g.marker || el === g.spacer || el === g.sizer;
    // Only the page's own scroll bar goes: the root's here, the body's too where the
    // measure finds it may show one. A rule for every element would restyle all of them,
    // tens of milliseconds on a long page, and a scrolling box inside the page keeps the
    // bar it shows.
    g.style = document.createElement('style');
    g.style.textContent =
        'html::-webkit-scrollbar{display:none!important}html{scrollbar-width:none!important}';
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
//
// `before` (or null) runs once the view has the expected size, in the frame that first
// shows it, so no frame is drawn before it; `after` (or null) once settled, its answer
// kept. An answer { value, ready } settles the loop once `ready` resolved, or at once
// when the loop is stopped. With `first` > 0 the first quiet frame paints marker number
// `first` (colours as the engine makes them, skipping `avoid`), so that frame itself is
// the one the engine waits for; a later quiet frame paints the next number only when the
// page changed since, and no frame is drawn just for the marker. Without a marker the
// first look is at once: a page already quiet at one screen needs no frame at all.
// state.stop() ends the loop where it stands and does what is left at once.
constexpr char kSettle[] = R"JS(
function (width, height, quietFrames, first, avoid, before, after) {
    const g = window.glimpaCapture;
    const state = { done: false, marker: 0, value: '' };
    window.glimpaSettle = state;
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
    const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    const sized = () => Math.abs(innerWidth - width) <= 1 && Math.abs(innerHeight - height) <= 1;
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
    const colour = (n) => (Math.imul(0x9e3779, n) & 0xffffff) >>> 0;
    let next = first;
    let painted = false;
    const paint = () => {
        while (colour(next) === avoid) ++next;
        g.paint('#' + colour(next).toString(16).padStart(6, '0'));
        state.marker = next++;
        painted = true;
    };
    // Changes of the page itself since the last look; the marker's own are not. Records
    // go to the callback between tasks, the ones of this task are taken at the look.
    const foreign = (records) => records.some((r) =>
        !g.ours(r.target) && !(r.type === 'childList' &&
            [...r.addedNodes, ...r.removedNodes].every((n) => g.ours(n))));
    let moved = false;
    const watch = new MutationObserver((records) => { moved = moved || foreign(records); });
    watch.observe(document, { subtree: true, childList: true, attributes: true,
                              characterData: true });
    const changed = () => {
        const now = moved || foreign(watch.takeRecords());
        moved = false;
        return now;
    };
    const answer = () => state.marker + ' ' + state.value;
    // `before` gets the elements that changed size in the tall view with their reports,
    // or null when that is not known; it is once the first tall frame is laid out.
    const runBefore = () => {
        if (!before) return;
        const watched = g.sizes && g.tallSeen;
        if (g.sizes) g.sizes.disconnect();
        g.sizes = g.onTall = null;
        before(watched ? g.resized : null);
        before = null;
    };
    let pending = null;
    const settle = (value) => {
        state.value = String(value);
        state.done = true;
        return answer();
    };
    const finish = (repaint) => {
        watch.disconnect();
        runBefore();
        if (first && (repaint || !painted)) paint();
        const result = after ? after() : '';
        if (!(result && result.ready)) return settle(result);
        if (state.stopped) return settle(result.value);
        pending = result;
        result.ready.then(() => state.done || settle(result.value));
        return false;
    };
    state.stop = (force) => {
        if (state.done) return answer();
        if (pending) return settle(pending.value);
        if (before && !sized() && !force) return false;
        state.stopped = true;
        return finish(true);
    };
    (async () => {
        // Whether this runs in a frame, before its layout: a marker painted here is in it.
        let inFrame = false;
        if (before) {
            // With the resize observer, in the first frame laid out at the new size;
            // without, in the first that shows it. Either way before it is painted.
            const reported = () => new Promise((resolve) => { g.onTall = resolve; });
            while (!(sized() && (!g.sizes || g.tallSeen))) {
                await (g.sizes ? reported() : frame());
                if (state.stopped) return;
                inFrame = true;
            }
            runBefore();
        }
        // Quiet twice in a row where images may come into sight: a script that watches
        // for elements coming into sight (lazy loading by hand) is told only after the
        // frame that showed them.
        let fontsLoading = false;
        for (let quiet = 0, look = 0; quiet < quietFrames; ++look) {
            // A marker's first look is in a frame, so that the next look comes after that
            // frame's layout and what watches for elements coming into sight.
            if (look > 0 || (first && !inFrame)) await frame();
            if (state.stopped) return;
            const changes = changed() || fontsLoading;
            const images = Array.from(document.images).filter(inSight);
            const loading = images.filter((img) => !img.complete);
            const since = sinceLoad();
            if (sized() && loading.length === 0 && since >= calmFor) {
                if (first && (!painted || changes)) paint();
                fontsLoading = document.fonts.status === 'loading';
                // Awaited only when there is something to wait for: a page quiet at
                // once is settled within this script, and its answer comes back with it.
                const shown = images.filter((img) => img.naturalWidth > 0);
                if (shown.length)
                    await Promise.all(shown.map((img) => img.decode().catch(() => {})));
                if (document.fonts.status !== 'loaded') await document.fonts.ready;
                ++quiet;
            } else {
                quiet = 0;
                painted = false;
                if (loading.length) await Promise.all(loading.map(loaded));
                else if (sized()) await pause(Math.max(10, calmFor - since));
            }
            if (state.stopped) return;
        }
        finish(false);
    })();
    return state.done ? answer() : true;
}
)JS";

// "marker value" once settled (the number of the marker painted last or 0, and what
// `after` answered), false until then.
constexpr char kSettled[] =
    "window.glimpaSettle && window.glimpaSettle.done ? "
    "window.glimpaSettle.marker + ' ' + window.glimpaSettle.value : false";

// Ends a settle loop that ran out of time where it stands and does what it left, a
// fresh marker included; answers as Settled() does. Unless forced, a loop still waiting
// for the view's new size to pin goes on and answers false.
constexpr char kStopSettle[] = "window.glimpaSettle ? window.glimpaSettle.stop(%1) : false";

// Each layout or computed value read costs microseconds, tens of milliseconds on a page
// of many thousand elements. So the one-screen heights come from the resize observer's
// first report, in the frame after the measure, which the measure's answer waits for;
// and the measure asks for position, min- and max-height only the elements that a style
// rule, their own style or the browser's (dialogs, full screen) may give one, when the
// page's style sheets tell that more cheaply: all of them can be read (not so for another
// origin's), and they hold fewer rules than the page elements.
constexpr char kMeasure[] = R"JS(
function () {
    const g = window.glimpaCapture;
    g.limits = new Map();
    g.places = [];
    const all = g.observed = document.querySelectorAll('*');
    // The selectors of the page's rules that set one of those, whether any rule styles a
    // scroll bar, and whether any sets a writing mode; null when that is not known.
    const readSheets = () => {
        const names =
            /(^|[{;\s])(position|min-height|max-height|min-block-size|max-block-size|all)\s*:/i;
        const bars = /-webkit-scrollbar/i;
        const writing = /writing-mode\s*:/i;
        const found = { selectors: [], scrollBars: false, writingModes: false };
        let budget = all.length;
        const walk = (rules) => {
            for (const rule of rules) {
                if (--budget < 0) throw new RangeError();
                if (rule.styleSheet !== undefined) {
                    walk(rule.styleSheet.cssRules);
                    continue;
                }
                const text = rule.cssText;
                if (writing.test(text)) found.writingModes = true;
                const named = names.test(text);
                if (!named && !bars.test(text)) continue;
                if (rule.selectorText !== undefined) {
                    if (named) found.selectors.push(rule.selectorText);
                    if (bars.test(rule.selectorText)) found.scrollBars = true;
                } else if (rule.cssRules !== undefined && !(rule instanceof CSSKeyframesRule)) {
                    walk(rule.cssRules);
                } else if (named) {
                    throw new RangeError();
                }
            }
        };
        try {
            for (const sheet of [...document.styleSheets, ...(document.adoptedStyleSheets || [])])
                if (sheet.ownerNode !== g.style) walk(sheet.cssRules);
            return found;
        } catch (e) {
            return null;
        }
    };
    // The set of such elements, or null to ask every one.
    const styledElements = (sheets) => {
        if (!sheets) return null;
        try {
            const styled = new Set(document.querySelectorAll('[style*="position" i],' +
                '[style*="min-" i],[style*="max-" i],[style*="all" i],dialog'));
            if (sheets.selectors.length)
                for (const el of document.querySelectorAll(sheets.selectors.join(',')))
                    styled.add(el);
            if (document.fullscreenElement) styled.add(document.fullscreenElement);
            return styled;
        } catch (e) {
            return null;
        }
    };
    const sheets = readSheets();
    // The body's bar rules restyle every element, so they go in only where the body may
    // show the page's bar: its own scroll bar rules win over the root's, it may scroll
    // itself, and in quirks mode the body is the page's scroller.
    if (document.body) {
        const overflow = getComputedStyle(document.body);
        const scrolls = (value) => value !== 'visible' && value !== 'clip';
        if (!sheets || sheets.scrollBars || document.compatMode === 'BackCompat' ||
            scrolls(overflow.overflowX) || scrolls(overflow.overflowY))
            g.style.textContent += 'body::-webkit-scrollbar{display:none!important}' +
                                   'body{scrollbar-width:none!important}';
    }
    const styled = styledElements(sheets);
    // Whether an element may be laid out in vertical writing.
    g.vertical = !sheets || sheets.writingModes ||
        document.querySelector('[style*="writing-mode" i],[writing-mode]') !== null;
    // An element's first report gives its one-screen size; in the tall view only the
    // elements that changed size are reported. The reports are kept as they come, each
    // entry holding its sizes: only those of the few elements that change are read. A
    // sizer as high as the view makes sure both views are reported.
    const screen = innerHeight;
    g.screenReports = [];
    g.resized = new Map();
    let seenAtOneScreen;
    const ready = new Promise((resolve) => { seenAtOneScreen = resolve; });
    g.sizer = document.createElement('glimpa-view-sizer');
    g.sizer.setAttribute('style', 'all: initial !important; display: block !important;' +
        'position: fixed !important; left: 0 !important; top: 0 !important;' +
        'width: 0 !important; height: 100vh !important; visibility: hidden !important;');
    document.documentElement.appendChild(g.sizer);
    g.sizes = new ResizeObserver((entries) => {
        if (innerHeight === screen) {
            g.screenReports.push(entries);
            return seenAtOneScreen();
        }
        for (const entry of entries)
            if (entry.target !== g.sizer) g.resized.set(entry.target, entry);
        g.tallSeen = true;
        if (g.onTall) g.onTall();
    });
    g.sizes.observe(g.sizer);
    const border = { box: 'border-box' };
    for (const el of all) {
        if (g.ours(el)) continue;
        g.sizes.observe(el, border);
        if (styled && !styled.has(el)) continue;
        const cs = getComputedStyle(el);
        if (cs.display === 'none') continue;
        g.limits.set(el, { min: cs.minHeight, max: cs.maxHeight });
        const position = cs.position;
        if (position === 'fixed' || position === 'sticky') {
            const r = el.getBoundingClientRect();
            g.places.push({ el, position, top: r.top + scrollY,
                            left: r.left + scrollX, width: r.width, height: r.height });
        }
    }
    return { value: document.scrollingElement.scrollHeight, ready };
}
)JS";

// Heights, of the layout box as the resize observer gives them (a transform does not
// count): of the elements whose height changed in the tall view (`resized`, each with its
// report there; null when the tall view was not reported, and nothing is known to have
// changed), min- and max-heights that resolved differently go back to their one-screen
// values; then an element still taller or shorter than at one screen is pinned unless its
// content alone makes it so (it keeps its height with height:auto), which is the case for
// the parents of pinned elements.
constexpr char kPin[] = R"JS(
function (resized) {
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
    if (!resized || resized.size === 0) return;
    // The observer gives sizes along the writing mode: in vertical writing the height is
    // the inline size. The content rectangle is physical, the content box's sizes are
    // not; where a square content box says nothing, the element is asked.
    const same = (a, b) => Math.abs(a - b) < 0.01;
    const heightOf = (entry) => {
        const box = entry.borderBoxSize[0];
        if (!g.vertical || same(box.inlineSize, box.blockSize)) return box.blockSize;
        const r = entry.contentRect;
        const across = same(r.width, r.height)
            ? !getComputedStyle(entry.target).writingMode.startsWith('horizontal')
            : !same(r.height, entry.contentBoxSize[0].blockSize);
        return across ? box.inlineSize : box.blockSize;
    };
    // Each one's last report at one screen; an element with an empty box there, as one
    // with display: none has, is left as it is.
    const screen = new Map();
    for (const entries of g.screenReports)
        for (const entry of entries) if (resized.has(entry.target)) screen.set(entry.target, entry);
    // In document order, so that a parent is looked at before its children are pinned.
    const changed = [];
    for (const el of g.observed) {
        const tall = resized.get(el);
        const first = screen.get(el);
        if (!tall || !first || !el.isConnected) continue;
        const box = first.borderBoxSize[0];
        if (box.inlineSize === 0 && box.blockSize === 0) continue;
        const before = heightOf(first);
        if (Math.abs(heightOf(tall) - before) >= 0.5) changed.push([el, before]);
    }
    for (const [el] of changed) {
        const limits = g.limits.get(el);
        if (!limits) continue;
        const cs = getComputedStyle(el);
        if (cs.minHeight !== limits.min) set(el, 'min-height', limits.min);
        if (cs.maxHeight !== limits.max) set(el, 'max-height', limits.max);
    }
    // The layout box's height now; an element that is not HTML has only its bounding box.
    const heightNow = (el) =>
        el instanceof HTMLElement ? el.offsetHeight : el.getBoundingClientRect().height;
    for (const [el, before] of changed) {
        const now = heightNow(el);
        if (Math.abs(now - before) < 0.5) continue;
        const attribute = el.getAttribute('style');
        el.style.setProperty('height', 'auto', 'important');
        const auto = heightNow(el);
        if (attribute === null) el.removeAttribute('style');
        else el.setAttribute('style', attribute);
        if (Math.abs(auto - now) < 0.5) continue;
        const cs = getComputedStyle(el);
        const frame = cs.boxSizing === 'border-box' ? 0 :
            parseFloat(cs.paddingTop) + parseFloat(cs.paddingBottom) +
            parseFloat(cs.borderTopWidth) + parseFloat(cs.borderBottomWidth);
        set(el, 'height', Math.max(0, before - frame) + 'px');
    }
}
)JS";

constexpr char kHeights[] =
    "function () { return document.scrollingElement.scrollHeight + ' ' + innerHeight; }";

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

constexpr char kRestore[] = R"JS(
(function () {
    const g = window.glimpaCapture;
    if (!g) return true;
    if (g.sizes) g.sizes.disconnect();
    for (const el of [g.style, g.marker, g.spacer, g.sizer]) if (el) el.remove();
    for (const [el, style] of g.saved) {
        if (style === null) el.removeAttribute('style');
        else el.setAttribute('style', style);
    }
    delete window.glimpaCapture;
    scrollTo(g.scroll[0], g.scroll[1]);
    return true;
})()
)JS";

QString Call(const char* function, const QStringList& arguments) {
    return QStringLiteral("(") + QString::fromLatin1(function) + QStringLiteral(")(") +
           arguments.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QString SettleCall(int width, int height, int quietFrames, int firstMarker, QRgb avoid,
                   const char* before, const char* after) {
    const auto number = [](qint64 n) { return QString::number(n); };
    const auto function = [](const char* f) {
        return f ? QString::fromLatin1(f) : QStringLiteral("null");
    };
    return Call(kSettle, {number(width), number(height), number(quietFrames), number(firstMarker),
                          number(avoid & 0xffffff), function(before), function(after)});
}

}  // namespace

QString Prepare(const QString& marker) {
    return QString::fromLatin1(kPrepare).arg(marker);
}
QString SettleAndMeasure(int width, int height, bool wait) {
    return SettleCall(width, height, wait ? 1 : 0, 0, 0, nullptr, kMeasure);
}
QString PinAndSettle(int width, int height, bool wait, int firstMarker, QRgb avoid) {
    return SettleCall(width, height, wait ? 2 : 0, firstMarker, avoid, kPin, kHeights);
}
QString SettlePart(int width, int height, bool wait, int firstMarker, QRgb avoid) {
    return SettleCall(width, height, wait ? 2 : 0, firstMarker, avoid, nullptr, nullptr);
}
QRgb MarkerColour(int n) {
    // Multiplying by an odd number is one to one modulo 2^24; the settle script makes the
    // same colours.
    return (0x9e3779u * static_cast<quint32>(n)) & 0xffffff;
}
QString Settled() {
    return QString::fromLatin1(kSettled);
}
QString ScrollPart(int top, int end) {
    return QString::fromLatin1(kScrollPart).arg(top).arg(end);
}
QString StopSettle(bool force) {
    return QString::fromLatin1(kStopSettle)
        .arg(force ? QStringLiteral("true") : QStringLiteral("false"));
}
QString Restore() {
    return QString::fromLatin1(kRestore);
}

}  // namespace pagescripts
