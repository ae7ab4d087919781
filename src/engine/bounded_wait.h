#pragma once
// Waits that yield to the event loop until something has really happened, each with an
// upper bound so that a capture can never hang.
#include <chrono>
#include <functional>

using WaitBound = std::chrono::milliseconds;

// Runs the event loop until `done()` holds, checking it every `poll`. True when it held
// before `bound` ran out.
bool WaitUntil(const std::function<bool()>& done, WaitBound bound, WaitBound poll = WaitBound(2));

// Lets the events that are already pending run once, as a long operation must to stay
// responsive.
void LetPendingEventsRun();
