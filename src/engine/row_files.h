#pragma once
// The files a capture leaves in the program folder: one bitmap per grabbed screen and
// the composite of them all.
#include <QString>

#include "engine/bounded_wait.h"

// "<program folder>/<row>.bmp": the row number in decimal digits, no sign or spaces.
QString RowFilePath(int row);

// "<program folder>/whopper.bmp".
QString WhopperFilePath();

// True once `path` is a file that opens for reading, waiting at most `bound` for it.
bool WaitForReadableFile(const QString& path, WaitBound bound);
