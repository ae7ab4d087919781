#pragma once
#include <QString>

#include "files/outcome.h"

// Copies the bitmap file `from` to `to` byte for byte; `to` is replaced only when the
// whole copy was written (in place when its folder takes no new file). The source must be
// a regular file whose bitmap header and length check out, so a pipe, a device or a
// truncated bitmap is refused before the destination is touched.
Outcome CopyBitmapFile(const QString& from, const QString& to);
