// Done once the layout has the expected size, the page has loaded and has no work of its
// own due soon (a short timeout, a request not yet answered: pages that lay themselves
// out late do so then), or has been loaded a while, and no image in sight is still
// loading or waiting to be decoded. Lazy images come into sight (and
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
function(width, height, quietFrames, first, avoid, before, after) {
    const g = window.glimpaCapture;
    // A document that came in place of the prepared one (the page navigated) has none of
    // the capture's state: nothing to settle, and no error of ours in its console.
    if (!g) return false;
    const state = {done: false, marker: 0, value: ''};
    window.glimpaSettle = state;
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
    // The view's CSS size comes from its device size divided by the scale: it may be off
    // by the rounding of either.
    const slack = 1 + 2 / devicePixelRatio;
    const sized = () =>
        Math.abs(innerWidth - width) <= slack && Math.abs(innerHeight - height) <= slack;
    const inSight = (img) => {
        const r = img.getBoundingClientRect();
        return r.width > 0 && r.height > 0 && r.bottom > 0 && r.right > 0 && r.top < innerHeight &&
            r.left < innerWidth;
    };
    const loaded = (img) => new Promise((resolve) => {
        img.addEventListener('load', resolve, {once: true});
        img.addEventListener('error', resolve, {once: true});
    });
    // The longest a page with work still due is waited for after its load: a page that
    // polls or keeps a request open has no moment of its own without.
    const calmFor = 750;
    const sinceLoad = () => {
        if (document.readyState !== 'complete') return 0;
        const nav = performance.getEntriesByType('navigation')[0];
        return performance.now() - (nav ? nav.loadEventEnd : 0);
    };
    // What the page's own world tells of its work due (a page that loaded before we
    // listened tells nothing, and has long been loaded).
    const calm = (since) =>
        document.readyState === 'complete' && (!window.glimpaBusy || since >= calmFor);
    const idleOr = (ms) => new Promise((resolve) => {
        const done = () => {
            clearTimeout(timer);
            removeEventListener('glimpa-idle', done);
            resolve();
        };
        const timer = setTimeout(done, ms);
        addEventListener('glimpa-idle', done);
    });
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
    const foreign = (records) => records.some(
        (r) => !g.ours(r.target) &&
            !(r.type === 'childList' &&
              [...r.addedNodes, ...r.removedNodes].every((n) => g.ours(n))));
    let moved = false;
    const watch = new MutationObserver((records) => {
        moved = moved || foreign(records);
    });
    watch.observe(
        document, {subtree: true, childList: true, attributes: true, characterData: true});
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
        // A marker's frame is the one taken next.
        if (first && g.noteTaken) g.noteTaken();
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
            const reported = () => new Promise((resolve) => {
                g.onTall = resolve;
            });
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
            if (g.still) g.still();
            const changes = changed() || fontsLoading;
            const images = Array.from(document.images).filter(inSight);
            const loading = images.filter((img) => !img.complete);
            const since = sinceLoad();
            if (sized() && loading.length === 0 && calm(since)) {
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
                if (loading.length)
                    await Promise.all(loading.map(loaded));
                else if (sized())
                    await idleOr(Math.max(10, calmFor - since));
            }
            if (state.stopped) return;
        }
        finish(false);
    })();
    return state.done ? answer() : true;
}
