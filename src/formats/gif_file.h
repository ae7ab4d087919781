#pragma once
// The GIF writer: one call, a bitmap file in, a GIF file of at most 256 colours out,
// without asking the user anything.
#include <QImage>
#include <QString>

#include "files/outcome.h"

// Reads the bitmap at bitmapPath and writes it as GIF89a to gifPath, replacing that
// file only when the whole GIF was written. A picture of 256 colours or fewer keeps
// its exact colours; a richer one is reduced to 256, each pixel given the nearest of
// them (no dithering). The bitmap goes through the checked reader: a pipe, a device or
// a truncated file is refused, with the reader's reason, before the GIF file is touched.
Outcome WriteGifFromBitmap(const QString& bitmapPath, const QString& gifPath);

// The same for a picture in memory (the benchmark times the two halves apart).
Outcome WriteGif(const QImage& picture, const QString& gifPath);
