#pragma once
// Waiting for the browser control to show the page as it now stands.
#include <QWebEngineView>

#include "capture/bounded_wait.h"

// Waits until the page in `view` has been laid out at the view's present size, the
// images in sight (those the larger view has just brought in, lazy ones included) have
// loaded and been decoded, and the view shows a frame the browser drew after all that.
// False when `bound` ran out first; the view then shows whatever it has.
bool WaitForPageSettled(QWebEngineView& view, WaitBound bound);
