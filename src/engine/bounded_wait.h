#pragma once
// Waits that yield to the event loop until something has really happened, each with an
// upper bound so that a capture can never hang.
#include <QString>
#include <chrono>
#include <functional>

using WaitBound = std::chrono::milliseconds;

// Runs the event loop until `done()` holds, checking it every `poll`. True when it held
// before `bound` ran out.
bool WaitUntil(const std::function<bool()>& done, WaitBound bound, WaitBound poll = WaitBound(2));

// True once `path` is a file that opens for reading, waiting at most `bound` for it.
bool WaitForReadableFile(const QString& path, WaitBound bound);

// Lets the events that are already pending run once, as a long operation must to stay
// responsive.
void LetPendingEventsRun();
