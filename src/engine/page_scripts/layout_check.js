// After the last part: the rows taken must still show what stands there. An anchor that
// moved or went, or a picture that came in above the rows taken, tore the picture; a page
// that grew below it has more to take. The spacer is out of the way while the height is
// read: it stands below the picture on purpose. A page that changed its size within
// `calmFor` ms may grow further: "wait", and the engine asks again.
function(tall, calmFor) {
    const g = window.glimpaCapture;
    if (!g) return 'same';
    const moved = g.moved || g.anchors.some((a) => {
        if (!a.el.isConnected) return true;
        return Math.abs(a.el.getBoundingClientRect().top + scrollY - a.top) >= 0.5;
    });
    if (moved) {
        // Taken again from the top, measured again without the spacer.
        g.moved = false;
        g.anchors = [];
        g.taken = 0;
        if (g.spacer) g.spacer.remove();
        g.spacer = null;
        scrollTo(0, 0);
        return 'moved';
    }
    if (g.spacer) g.spacer.style.setProperty('display', 'none', 'important');
    const height = document.scrollingElement.scrollHeight;
    if (g.spacer) g.spacer.style.setProperty('display', 'block', 'important');
    if (height > tall && height > innerHeight) return 'grew ' + height;
    if (performance.now() - g.resizedAt < calmFor) return 'wait';
    // A canvas of the page asked for WebGL and got none: what it shows is not the page.
    return window.glimpaWebglFailed ? 'same webgl' : 'same';
}
