function() {
    const g = window.glimpaCapture;
    if (!g) return true;
    if (g.sizes) g.sizes.disconnect();
    if (g.onScroll) removeEventListener('scroll', g.onScroll);
    for (const el of [g.style, g.marker, g.spacer, g.sizer])
        if (el) el.remove();
    for (const [el, style] of g.saved) {
        if (style === null)
            el.removeAttribute('style');
        else
            el.setAttribute('style', style);
    }
    for (const el of document.querySelectorAll('[style=""]'))
        if (!g.empty.has(el)) el.removeAttribute('style');
    delete window.glimpaCapture;
    scrollTo(g.scroll[0], g.scroll[1]);
    return true;
}
