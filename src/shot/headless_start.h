#pragma once
// What glimpa-shot settles before the application object exists.

// Without a display (no DISPLAY, no WAYLAND_DISPLAY) the offscreen platform, unless the
// user chose a platform. True when it chose offscreen.
bool DrawOffscreenWithoutDisplay();
