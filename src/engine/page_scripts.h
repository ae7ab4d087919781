#pragma once
// The scripts the capture engine runs in the page, apart from the page's own scripts.
// Each is a complete expression; the ones with %1, %2 take numbers through QString::arg.
#include <QRgb>
#include <QString>

namespace pagescripts {

// Hides the scrollbars, puts a marker of colour `marker` (#rrggbb), `markerSize` CSS
// pixels square, in the view's bottom-left corner, remembers the scroll position and
// goes to the top. With `still`, the page's motion is held still from then on: finite
// animations and transitions at their end, endless ones at their start, videos paused at
// their start, the text caret hidden.
// `userStyle` goes into a style sheet of its own, after every other.
QString Prepare(const QString& marker, double markerSize, bool still, const QString& userStyle);

// "found" when an element matches `selector`, "bad" when it is no selector, false
// otherwise.
QString Matches(const QString& selector);
// The border box of the first element matching `selector`, in CSS pixels of the page:
// "left top width height"; "none" or "bad" as Matches() tells.
QString ElementBox(const QString& selector);

// The settle loop for a view of width x height CSS pixels: done after two frames in a
// row with nothing left to wait for (one at one screen; none when `wait` is false, for a
// page out of time). With `firstMarker` > 0 the quiet frames show markers numbered from
// there (colours as MarkerColour() makes them, never `avoid`). Settled() then answers
// "marker value": the number of the marker shown last (0 for none) and what the loop
// measured last. A loop that needs no wait (a quiet page at one screen) answers so
// itself; the others answer true and are asked with Settled().
//
// At one screen; the value is "height width shell": the page's scroll height and width,
// and whether an element's content stands in for a document that does not scroll
// ("shell"), none does ("none"), or `scrollElement` (a selector; empty: the element is
// guessed) matches nothing ("missing"). All elements' heights and the places of the
// fixed and sticky ones are remembered for the pin.
QString SettleAndMeasure(int width, int height, bool wait, const QString& scrollElement);
// In the tall view, pinned first (in the frame that first shows that size, before any
// other is drawn): what follows the viewport keeps its one-screen height, fixed and
// sticky elements stand where they stood at the top of the page. The value is "scroll
// inner", the page's scroll height and the view's inner height.
QString PinAndSettle(int width, double height, bool wait, int firstMarker, QRgb avoid);
// A next part of a very tall page, scrolled there; the value is empty.
QString SettlePart(int width, double height, bool wait, int firstMarker, QRgb avoid);
QString Settled();

// Ends a settle loop that ran out of time where it stands and does what it left (the pin,
// a fresh marker, the measure); answers as Settled() does. Unless `force`, a loop that
// still waits for the view's new size to pin goes on, and this answers false.
QString StopSettle(bool force);

// The colour of marker number `n`: different for every n below 2^24.
QRgb MarkerColour(int n);

// Scrolls to `top` for the next part of a very tall page (`end` is past the picture's
// bottom) and hides what became fixed since. Answers the scroll position reached.
QString ScrollPart(int top, int end);

// Whether the page is still laid out as when its first part was taken, `tall` CSS pixels
// of it: "moved" when what lies above a part taken moved or a picture there came late,
// "grew H" when it grew to H pixels below, "wait" while it changed its size in the last
// moments and may grow further, "same" otherwise. After "moved" the page is watched
// afresh.
QString LayoutCheck(int tall);

// Undoes all of the above.
QString Restore();

// For the page's own world, from its document's start: tells ours, by the events
// "glimpa-busy" and "glimpa-idle" on the window, whether the page has work due soon (a
// short timeout or interval, a fetch or XMLHttpRequest not yet answered), which the
// settle waits for.
QString PendingWatch();

}  // namespace pagescripts
