#pragma once
// The one way the browser is started, for both faces, the tests and the benchmarks.
// Call before the application object exists.
#include <QByteArray>
#include <initializer_list>

// Readies the browser: it draws into memory rather than through the graphics card (a
// grab then copies the window's picture instead of reading back a texture several
// screens tall, a tenth of a second and more per grab without a real graphics card;
// QT_QUICK_BACKEND or QSG_RHI_BACKEND set by the user still win), and its views share
// one graphics context; its own log lines stay off standard error unless the user's
// QTWEBENGINE_CHROMIUM_FLAGS ask for them. The browser refuses to start as root inside its sandbox,
// so as root the sandbox is turned off. True when the run is as root and so without the sandbox:
// the caller tells the user in its own words.
bool StartBrowser();

// Adds `flag` to the browser's command line, unless the user's QTWEBENGINE_CHROMIUM_FLAGS
// hold one of `unlessGiven` already: what the user asks for wins. Call before the
// application object exists.
void AddBrowserFlag(const QByteArray& flag, std::initializer_list<const char*> unlessGiven);
