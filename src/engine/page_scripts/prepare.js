// Every element the capture changed keeps its own style attribute in `saved`, so that
// Restore() gives the page back exactly.
function(color) {
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
    g.paint = (color) => g.marker.setAttribute(
        'style',
        'all: initial !important; position: fixed !important; left: 0 !important;' +
            'bottom: 0 !important; width: 1px !important; height: 1px !important;' +
            'z-index: 2147483647 !important; display: block !important;' +
            'background: ' + color + ' !important; pointer-events: none !important;');
    g.paint(color);
    document.documentElement.appendChild(g.marker);
    scrollTo(0, 0);
    return true;
}
