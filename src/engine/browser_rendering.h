#pragma once

// The browser control draws into memory rather than through the graphics card: a grab
// then copies the window's picture instead of reading back a texture several screens
// tall, which costs a tenth of a second and more per grab without a real graphics card.
// Call before the application object exists. QT_QUICK_BACKEND or QSG_RHI_BACKEND set by
// the user still win.
void DrawBrowserInMemory();

// The browser refuses to start as root inside its sandbox; as root the sandbox is turned
// off (unless the user set QTWEBENGINE_DISABLE_SANDBOX). True when it turned it off.
// Call before the application object exists.
bool TurnSandboxOffAsRoot();
