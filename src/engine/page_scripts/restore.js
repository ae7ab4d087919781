function() {
    // A settle loop still running (a capture cut short) stops at its next step.
    if (window.glimpaSettle) {
        window.glimpaSettle.stopped = true;
        delete window.glimpaSettle;
    }
    const g = window.glimpaCapture;
    if (!g) return true;
    if (g.sizes) g.sizes.disconnect();
    if (g.onScroll) removeEventListener('scroll', g.onScroll);
    if (g.onLoad) document.removeEventListener('load', g.onLoad, true);
    if (g.documentSizes) g.documentSizes.disconnect();
    for (const el of [g.style, g.userStyle, g.marker, g.spacer, g.sizer])
        if (el) el.remove();
    for (const [el, style] of g.saved) {
        if (style === null)
            g.unstyle(el);
        else
            el.setAttribute('style', style);
    }
    for (const motion of g.resume) {
        try {
            const playing = motion.play();
            if (playing) playing.catch(() => {});
        } catch (e) {
        }
    }
    if (g.shellScroll) g.shellScroll[0].scrollTop = g.shellScroll[1];
    delete window.glimpaCapture;
    scrollTo(g.scroll[0], g.scroll[1]);
    return true;
}
