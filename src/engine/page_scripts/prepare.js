// Every element the capture changed keeps its own style attribute in `saved`, so that
// Restore() gives the page back exactly.
function(color, size, still, userStyle) {
    if (window.glimpaCapture) return true;
    const g = window.glimpaCapture = {saved: new Map(), scroll: [scrollX, scrollY]};
    // Takes away a style attribute that the capture's own changes made. Removed after the
    // inline style was changed through el.style, it comes back empty (style="") the next
    // time the attribute is read; set from text first, it goes for good.
    g.unstyle = (el) => {
        el.setAttribute('style', '');
        el.removeAttribute('style');
    };
    g.touch = (el) => {
        if (!g.saved.has(el)) g.saved.set(el, el.getAttribute('style'));
    };
    g.ours = (el) => el === g.style || el === g.marker || el === g.spacer || el === g.sizer ||
        el === g.userStyle;
    // Only the page's own scroll bar goes: the root's here, the body's too where the
    // measure finds it may show one. A rule for every element would restyle all of them,
    // tens of milliseconds on a long page, and a scrolling box inside the page keeps the
    // bar it shows.
    g.style = document.createElement('style');
    g.style.textContent =
        'html::-webkit-scrollbar{display:none!important}html{scrollbar-width:none!important}';
    // The caret is in the editable element that has focus, or inherits its colour from
    // it. A rule named by the elements' kinds restyles only them; one for every element,
    // a bare :focus too, restyles the whole page.
    if (still)
        g.style.textContent += 'input:focus,textarea:focus,[contenteditable]:focus,' +
            'body:focus{caret-color:transparent!important}';
    document.documentElement.appendChild(g.style);
    if (userStyle) {
        g.userStyle = document.createElement('style');
        g.userStyle.textContent = userStyle;
        document.documentElement.appendChild(g.userStyle);
    }
    // The view's bottom-left pixels show the marker in every frame from now on, so a
    // frame showing its newest colour was drawn after everything changed before it.
    g.marker = document.createElement('glimpa-frame-marker');
    g.paint = (color) => g.marker.setAttribute(
        'style',
        'all: initial !important; position: fixed !important; left: 0 !important;' +
            'bottom: 0 !important; width: ' + size + 'px !important; height: ' + size +
            'px !important; z-index: 2147483647 !important; display: block !important;' +
            'background: ' + color + ' !important; pointer-events: none !important;');
    g.paint(color);
    document.documentElement.appendChild(g.marker);
    // Motion held still: each animation once, as it is first seen (a later one, a
    // carousel's next slide, at the next look). Finite ones jump to their end, endless
    // ones stand at their start; what was running runs again after the capture.
    g.resume = [];
    if (still) {
        const seen = new WeakSet();
        g.still = () => {
            for (const a of document.getAnimations()) {
                // One not running yet is looked at again when it runs.
                if (seen.has(a) || a.playState !== 'running') continue;
                seen.add(a);
                try {
                    const timing = a.effect ? a.effect.getComputedTiming() : null;
                    if (timing && isFinite(timing.endTime)) {
                        a.finish();
                    } else {
                        a.pause();
                        a.currentTime = 0;
                        g.resume.push(a);
                    }
                } catch (e) {
                }
            }
            for (const v of document.querySelectorAll('video')) {
                if (v.paused) continue;
                v.pause();
                g.resume.push(v);
                try {
                    v.currentTime = 0;
                } catch (e) {
                }
            }
        };
        g.still();
    }
    // What would tear a picture taken in parts: a picture that came in above the rows
    // taken, or the rows taken moving (anchors: what stood at each part's lower edge).
    g.anchors = [];
    g.taken = 0;
    g.moved = false;
    // Called as a part is about to be taken: the rows down to the view's lower edge
    // (above the marker) count as taken from then on.
    g.noteTaken = () => {
        const edge = innerHeight - 1 - 2 * size;
        for (const x of [0.25, 0.5, 0.75]) {
            const el = document.elementFromPoint(innerWidth * x, edge);
            if (el && !g.ours(el))
                g.anchors.push({el, top: el.getBoundingClientRect().top + scrollY});
        }
        g.taken = Math.max(g.taken, scrollY + edge);
    };
    g.watchLayout = () => {
        if (g.onLoad) return;
        g.onLoad = (e) => {
            const el = e.target;
            const shows = el instanceof HTMLImageElement || el instanceof HTMLIFrameElement ||
                el instanceof SVGImageElement ||
                (el instanceof HTMLLinkElement && /stylesheet/i.test(el.rel));
            if (!shows) return;
            const r = el.getBoundingClientRect();
            // What takes no room shows nothing, wherever it loads.
            if (r.width > 0 && r.height > 0 && r.top + scrollY < g.taken) g.moved = true;
        };
        document.addEventListener('load', g.onLoad, true);
        // When the document last changed its size: a page that grows by steps is not done
        // until it has stood still for a while.
        g.resizedAt = -Infinity;
        const reported = new WeakSet();
        g.documentSizes = new ResizeObserver((entries) => {
            for (const entry of entries) {
                // The first report is the size at the start, no change.
                if (reported.has(entry.target)) g.resizedAt = performance.now();
                reported.add(entry.target);
            }
        });
        g.documentSizes.observe(document.documentElement);
        if (document.body) g.documentSizes.observe(document.body);
    };
    scrollTo(0, 0);
    return true;
}
