// Run in the page's own world from its document's start: tells our world whether the
// page still has work of its own due soon, so that a quiet page is taken at once and one
// that lays itself out a moment after its load is waited for. Work due soon is a timeout
// of at most `soon` ms not yet run, an interval as short not yet cleared (a page that
// changes itself every moment), and a fetch or XMLHttpRequest not yet answered. Our
// world hears "glimpa-busy" when the first begins and "glimpa-idle" when the last ends;
// the page keeps what it sees of its timers and requests (same ids, same answers).
(function(soon) {
const dispatch = EventTarget.prototype.dispatchEvent;
const Plain = Event;
let pending = 0;
const tell = (type) => dispatch.call(window, new Plain(type));
const begin = () => {
    if (pending++ === 0) tell('glimpa-busy');
};
const end = () => {
    if (--pending === 0) tell('glimpa-idle');
};
const timers = new Set();
const setTimeoutOf = window.setTimeout;
const clearTimeoutOf = window.clearTimeout;
window.setTimeout = function(handler, delay, ...rest) {
    const short = !(Number(delay) > soon);
    let id = 0;
    const run = typeof handler === 'function' ? function(...args) {
        if (timers.delete(id)) end();
        return handler.apply(this, args);
    } : handler;
    id = setTimeoutOf.call(window, run, delay, ...rest);
    // A text handler runs as the page's own code: its end is not seen, so it is not
    // waited for.
    if (short && typeof handler === 'function') {
        timers.add(id);
        begin();
    }
    return id;
};
// Timeouts and intervals share their numbers: either clear ends either.
const clear = (id) => {
    if (timers.delete(id)) end();
};
window.clearTimeout = function(id) {
    clear(id);
    return clearTimeoutOf.call(window, id);
};
const setIntervalOf = window.setInterval;
const clearIntervalOf = window.clearInterval;
window.setInterval = function(handler, delay, ...rest) {
    const id = setIntervalOf.call(window, handler, delay, ...rest);
    if (!(Number(delay) > soon)) {
        timers.add(id);
        begin();
    }
    return id;
};
window.clearInterval = function(id) {
    clear(id);
    return clearIntervalOf.call(window, id);
};
const fetchOf = window.fetch;
if (fetchOf) {
    window.fetch = function(...args) {
        begin();
        let answer;
        try {
            answer = fetchOf.apply(this, args);
        } catch (e) {
            end();
            throw e;
        }
        // Answered is enough: a body read later is the page's own work.
        answer.then(end, end);
        return answer;
    };
}
const send = XMLHttpRequest.prototype.send;
XMLHttpRequest.prototype.send = function(...args) {
    begin();
    this.addEventListener('loadend', end, {once: true});
    try {
        return send.apply(this, args);
    } catch (e) {
        this.removeEventListener('loadend', end);
        end();
        throw e;
    }
};
})
