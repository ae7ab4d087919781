#pragma once
#include <QString>
#include <functional>

// Opens the help document with the user's default program when it can be read, and
// otherwise the product's web page held by the browser window's hidden label.
void ShowHelp(class Program& program);

// Opens a path or an address with the program associated with it; true on success.
// `showCommand` is the window style asked for (3: maximised), a hint the desktop may
// not honour.
bool OpenDocument(const QString& pathOrAddress, int showCommand);

// What actually opens documents; tests put their own.
void SetDocumentOpener(std::function<bool(const QString&, int)> opener);

// Where the help document lives.
QString HelpFilePath();
