#pragma once
// The file dialogs' type lists, from "Description|*.a;*.b|..." pairs to the name
// filters the dialog shows.
#include <QString>
#include <QStringList>

// One name filter per pair, "Description (*.a *.b)", each pattern shown once: a
// description that already ends in a list in parentheses has that list replaced by
// the patterns the dialog matches. "*.*" matches every name, as it does elsewhere.
QStringList QtNameFilters(const QString& filter);
