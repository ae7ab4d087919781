#pragma once
#include <QString>

// The folder that holds the program file; everything the program keeps lives there.
QString AppPath();

// AppPath() joined with a file name, with the platform's separator.
QString AppFile(const QString& name);

// Tests run the program against a folder of their own.
void SetAppPathOverride(const QString& folder);
