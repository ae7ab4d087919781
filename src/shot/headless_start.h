#pragma once
// What glimpa-shot settles before the application object exists.

// Without a display (no DISPLAY, no WAYLAND_DISPLAY) the offscreen platform, unless the
// user chose a platform. True when it chose offscreen.
bool DrawOffscreenWithoutDisplay();

// The browser refuses to start as root inside its sandbox; as root the sandbox is turned
// off (unless the user set QTWEBENGINE_DISABLE_SANDBOX). True when it turned it off.
bool TurnSandboxOffAsRoot();
