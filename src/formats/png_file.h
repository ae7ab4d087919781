#pragma once
// PNG encoding tuned for page pictures: lossless, and as small as a quick try of
// two row filters makes it.
#include <QByteArray>
#include <QImage>
#include <optional>
#include <vector>

// The picture as PNG bytes: a palette of its own colours (packed to 1, 2, 4 or 8
// bits) when it has 256 or fewer, else 24-bit colour; for colour, rows unfiltered
// (best for flat text and backgrounds) and adaptively filtered (best for photos)
// are both tried and the smaller kept (the unfiltered on a tie), except that a tall
// picture whose sampled bands one way clearly suits is encoded that way only.
// Nothing when compression fails.
std::optional<QByteArray> EncodePng(const QImage& picture);

// Every whole PNG that EncodePng weighs for the picture, the unfiltered first: one for
// a palette picture or a clear case, else two. Empty when compression fails.
std::vector<QByteArray> PngCandidates(const QImage& picture);
