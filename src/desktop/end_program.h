#pragma once
#include <functional>

// Ends the program at once: no window is closed and no unload handling runs.
// Callers return straight after calling it, so a test's handler may record the
// request instead of ending the process.
void End();

void SetEndHandler(std::function<void()> handler);
