#pragma once
#include <QString>

class Program;
class ProgramFolderLock;

// Start-up up to the event loop: places the windows, creates the help folder,
// restores the rows setting, selects the remembered address and marks start-up done.
void Startup(Program& program);

// The browser refuses to run sandboxed as root: as root, turns its sandbox off and
// says so on standard error. Call before the application object exists.
void AllowBrowserAsRoot();
QString SandboxOffText();

// Takes the program folder for this run. When another Glimpa runs from it, says so
// on standard error and in a message box, and gives false: this run must end.
bool ClaimProgramFolder(ProgramFolderLock& lock);
