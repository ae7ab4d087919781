#pragma once
// The files the program keeps in its folder (AppPath()), each path made in one place.
#include <QString>

// The settings: the last address, the number of screens, the four bar places.
QString UrlFilePath();
QString RowsFilePath();
QString BarPosFilePath();

// "<program folder>/<row>.bmp", one bitmap per grabbed screen: the row number in decimal
// digits, no sign or spaces.
QString RowFilePath(int row);

// The composite of the screens of the last capture.
QString WhopperFilePath();

// The last crop, or the whole page after a capture: the picture that Save As writes.
QString CroppedFilePath();

// Removes what a run that was cut short (killed, or its display lost) left beside these
// files: the temporary files of their writes, named after them and ".glimpa-" with six
// letters or digits. Call while the folder is this run's alone.
void RemoveStrayTemporaries();
