// Each layout or computed value read costs microseconds, tens of milliseconds on a page
// of many thousand elements. So the one-screen heights come from the resize observer's
// first report, in the frame after the measure, which the measure's answer waits for;
// and the measure asks for position, min- and max-height only the elements that a style
// rule, their own style or the browser's (dialogs, full screen) may give one, when the
// page's style sheets tell that more cheaply: all of them can be read (not so for another
// origin's), and they hold fewer rules than the page elements.
//
// A page measured again (laid out wider) starts afresh. Where the document does not
// scroll but one element covering most of the view does (an app's shell), that element
// is unrolled first: as tall as its content, and everything around it giving way, so the
// document scrolls through it as through any page.
function(selector) {
    const g = window.glimpaCapture;
    if (g.sizes) g.sizes.disconnect();
    if (g.sizer) g.sizer.remove();
    const shell = unrollShell(g, selector);
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
        const found = {selectors: [], scrollBars: false, writingModes: false};
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
            const styled = new Set(document.querySelectorAll(
                '[style*="position" i],' +
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
    const ready = new Promise((resolve) => {
        seenAtOneScreen = resolve;
    });
    g.sizer = document.createElement('glimpa-view-sizer');
    g.sizer.setAttribute(
        'style',
        'all: initial !important; display: block !important;' +
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
    const border = {box: 'border-box'};
    for (const el of all) {
        if (g.ours(el)) continue;
        g.sizes.observe(el, border);
        if (styled && !styled.has(el)) continue;
        const cs = getComputedStyle(el);
        if (cs.display === 'none') continue;
        g.limits.set(el, {min: cs.minHeight, max: cs.maxHeight});
        const position = cs.position;
        if (position === 'fixed' || position === 'sticky') {
            const r = el.getBoundingClientRect();
            g.places.push({
                el,
                position,
                top: r.top + scrollY,
                left: r.left + scrollX,
                width: r.width,
                height: r.height
            });
        }
    }
    const page = document.scrollingElement;
    return {value: page.scrollHeight + ' ' + page.scrollWidth + ' ' + shell, ready};

    // "shell" when an element was unrolled, "none" when none was, "missing" when the
    // selector given matches nothing.
    function unrollShell(g, selector) {
        const set = (el, name, value) => {
            g.touch(el);
            el.style.setProperty(name, value, 'important');
        };
        // Unrolled before, at another width: back as it was, to be unrolled there.
        for (const el of g.unrolled || []) {
            const style = g.saved.get(el);
            if (style === null || style === undefined)
                g.unstyle(el);
            else
                el.setAttribute('style', style);
            g.saved.delete(el);
        }
        g.unrolled = [];
        let el = null;
        if (selector) {
            try {
                el = document.querySelector(selector);
            } catch (e) {
            }
            if (!el) return 'missing';
        } else {
            if (document.scrollingElement.scrollHeight > innerHeight + 1) return 'none';
            const view = innerWidth * innerHeight;
            let best = 0;
            for (const candidate of document.querySelectorAll('*')) {
                if (g.ours(candidate) || candidate.scrollHeight <= candidate.clientHeight + 1)
                    continue;
                const overflow = getComputedStyle(candidate).overflowY;
                if (overflow !== 'auto' && overflow !== 'scroll' && overflow !== 'overlay')
                    continue;
                const r = candidate.getBoundingClientRect();
                const shown = Math.max(0, Math.min(r.right, innerWidth) - Math.max(r.left, 0)) *
                    Math.max(0, Math.min(r.bottom, innerHeight) - Math.max(r.top, 0));
                if (shown >= view / 2 && shown > best) {
                    best = shown;
                    el = candidate;
                }
            }
            if (!el) return 'none';
        }
        const extra = el.scrollHeight - el.clientHeight;
        if (extra <= 0) return 'none';
        const height = el.getBoundingClientRect().height + extra;
        if (!g.shellScroll) g.shellScroll = [el, el.scrollTop];
        el.scrollTop = 0;
        // From the element up, each box takes its content's height and shows it; a fixed
        // one stays where it stood but moves with the document.
        for (let box = el; box; box = box.parentElement) {
            g.unrolled.push(box);
            const cs = getComputedStyle(box);
            if (cs.position === 'fixed') {
                const r = box.getBoundingClientRect();
                set(box, 'position', 'absolute');
                set(box, 'top', r.top + scrollY + 'px');
                set(box, 'bottom', 'auto');
            }
            set(box, 'overflow', 'visible');
            set(box, 'max-height', 'none');
            if (box === el) {
                set(box, 'height', height + 'px');
                set(box, 'box-sizing', 'border-box');
                set(box, 'flex', 'none');
            } else {
                set(box, 'height', 'auto');
                set(box, 'min-height', '0');
            }
        }
        return 'shell';
    }
}
