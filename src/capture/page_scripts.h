#pragma once
// The scripts the capture engine runs in the page, apart from the page's own scripts.
// Each is a complete expression; the ones with %1, %2 take numbers through QString::arg.
#include <QString>

namespace pagescripts {

// Hides the scrollbars, puts a one-pixel marker of colour `marker` (#rrggbb) in the
// view's bottom-left corner, remembers the scroll position and goes to the top.
QString Prepare(const QString& marker);

// Starts the settle loop for a view of width x height CSS pixels, done after
// `quietFrames` frames in a row with nothing left to wait for, when it paints the marker
// `marker` (none when empty); Settled() tells when it is done.
QString Settle(int width, int height, int quietFrames, const QString& marker = QString());
QString Settled();

// At one screen: remembers the heights of all elements and the places of the fixed
// and sticky ones. Answers the page's scroll height.
QString Measure();

// In the tall view: pins what follows the viewport to its one-screen height and puts
// fixed and sticky elements where they stood at the top of the page.
QString Pin();

// The page's scroll height and the view's inner height, "scroll inner".
QString Heights();

// Scrolls to `top` for the next part of a very tall page (`end` is past the picture's
// bottom) and hides what became fixed since. Answers the scroll position reached.
QString ScrollPart(int top, int end);

// The marker in `color` at once.
QString PaintMarker(const QString& color);

// Undoes all of the above.
QString Restore();

}  // namespace pagescripts
