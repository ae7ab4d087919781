#pragma once

// The browser control draws into memory rather than through the graphics card: a grab
// then copies the window's picture instead of reading back a texture several screens
// tall, which costs a tenth of a second and more per grab without a real graphics card.
// Call before the application object exists. QT_QUICK_BACKEND or QSG_RHI_BACKEND set by
// the user still win.
void DrawBrowserInMemory();
