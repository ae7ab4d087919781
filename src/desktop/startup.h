#pragma once
#include <QString>

class Program;
class ProgramFolderLock;

// Start-up up to the event loop: removes what a run cut short left half written, places
// the windows, creates the help folder, restores the rows setting, selects the
// remembered address and marks start-up done.
void Startup(Program& program);

// Says on standard error that the browser runs without its sandbox, as it must as root.
void SaySandboxOff();
QString SandboxOffText();

// Takes the program folder for this run. When another Glimpa runs from it, says so
// on standard error and in a message box, and gives false: this run must end.
bool ClaimProgramFolder(ProgramFolderLock& lock);
