// A header that a script fixes once the page is scrolled would show again in every
// part: the top of the page already has it. Such a script runs on the scroll event, after
// the scroll below: what it fixes is hidden from the same event, before any frame shows
// it.
function(top, end) {
    const g = window.glimpaCapture;
    if (!g) return -1;
    if (!g.spacer) {
        g.spacer = document.createElement('glimpa-capture-spacer');
        document.documentElement.appendChild(g.spacer);
    }
    g.spacer.setAttribute(
        'style',
        'all: initial !important; display: block !important;' +
            'position: absolute !important; left: 0 !important; top: ' + end + 'px !important;' +
            'width: 1px !important; height: 1px !important; visibility: hidden !important;');
    const hideFixed = () => {
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
    };
    if (!g.onScroll) {
        g.onScroll = hideFixed;
        addEventListener('scroll', g.onScroll);
    }
    // The scroll's event comes before the next frame and hides them all, the ones fixed
    // before it too; a scroll that went nowhere has none. A look at every element costs
    // milliseconds on a long page, so it is done once.
    const from = scrollY;
    scrollTo(0, top);
    if (scrollY === from) hideFixed();
    return scrollY;
}
