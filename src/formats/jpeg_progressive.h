#pragma once
// Progressive JPEG through TurboJPEG, with the accurate DCT that baseline files use too.
#include <QByteArray>
#include <QImage>
#include <optional>

// `pixels` (any format; Qt's 32-bit formats and 24-bit RGB/BGR are read in place) as a
// progressive JPEG at `quality` (clamped to 1 to 100), 4:2:0 chroma; nothing when
// TurboJPEG fails.
std::optional<QByteArray> CompressProgressive(const QImage& pixels, int quality);
