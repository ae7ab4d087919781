#pragma once
class Program;

// Start-up up to the event loop: places the windows, creates the help folder,
// restores the rows setting, selects the remembered address and marks start-up done.
void Startup(Program& program);

// Qt WebEngine refuses to run as root inside Chromium's sandbox; call before the
// application object exists.
void AllowBrowserAsRoot();
