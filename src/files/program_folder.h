#pragma once
#include <QString>

// The folder that holds everything the program keeps. Run from its build folder that is
// the executable's folder. Installed, or where the executable's folder cannot be
// written, it is the user's data folder for Glimpa ($XDG_DATA_HOME/glimpa), made on
// first use.
QString AppPath();

// AppPath() joined with a file name, with the platform's separator.
QString AppFile(const QString& name);

// Tests run the program against a folder of their own.
void SetAppPathOverride(const QString& folder);

// The folder with the help document: beside the executable (a build folder), or where an
// install puts it (../share/glimpa/help from the executable); under a test's folder, its
// help sub-folder.
QString HelpFolder();

// The choices themselves, for a given executable folder, so that they can be tried on
// folders laid out like a build or an install.

// Installed: the help lies in ../share/glimpa/help from the executable, not beside it.
bool RunsInstalled(const QString& exeFolder);

// `userDataFolder` is the folder taken when the executable's folder will not do.
QString ChooseProgramFolder(const QString& exeFolder, const QString& userDataFolder);

// `programFolder` is the last resort, where the help has always been looked for.
QString ChooseHelpFolder(const QString& exeFolder, const QString& programFolder);

// $XDG_DATA_HOME/glimpa, by default ~/.local/share/glimpa.
QString UserDataFolder();
