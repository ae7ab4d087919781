// Heights, of the layout box as the resize observer gives them (a transform does not
// count): of the elements whose height changed in the tall view (`resized`, each with its
// report there; null when the tall view was not reported, and nothing is known to have
// changed), min- and max-heights that resolved differently go back to their one-screen
// values; then an element still taller or shorter than at one screen is pinned unless its
// content alone makes it so (it keeps its height with height:auto), which is the case for
// the parents of pinned elements.
function(resized) {
    const g = window.glimpaCapture;
    const set = (el, name, value) => {
        g.touch(el);
        el.style.setProperty(name, value, 'important');
    };
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
    // Content shown as a reader scrolls to it is told that the view now holds it all.
    dispatchEvent(new Event('scroll'));
    if (!resized || resized.size === 0) return;
    // The observer gives sizes along the writing mode: in vertical writing the height is
    // the inline size. The content rectangle is physical, the content box's sizes are
    // not; where a square content box says nothing, the element is asked.
    const same = (a, b) => Math.abs(a - b) < 0.01;
    const heightOf = (entry) => {
        const box = entry.borderBoxSize[0];
        if (!g.vertical || same(box.inlineSize, box.blockSize)) return box.blockSize;
        const r = entry.contentRect;
        const across = same(r.width, r.height) ?
            !getComputedStyle(entry.target).writingMode.startsWith('horizontal') :
            !same(r.height, entry.contentBoxSize[0].blockSize);
        return across ? box.inlineSize : box.blockSize;
    };
    // Each one's last report at one screen; an element with an empty box there, as one
    // with display: none has, is left as it is.
    const screen = new Map();
    for (const entries of g.screenReports)
        for (const entry of entries)
            if (resized.has(entry.target)) screen.set(entry.target, entry);
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
        if (attribute === null)
            g.unstyle(el);
        else
            el.setAttribute('style', attribute);
        if (Math.abs(auto - now) < 0.5) continue;
        const cs = getComputedStyle(el);
        const frame = cs.boxSizing === 'border-box' ?
            0 :
            parseFloat(cs.paddingTop) + parseFloat(cs.paddingBottom) +
                parseFloat(cs.borderTopWidth) + parseFloat(cs.borderBottomWidth);
        set(el, 'height', Math.max(0, before - frame) + 'px');
    }
}
