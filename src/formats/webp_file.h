#pragma once
// WebP through libwebp: lossless unless a quality is given.
#include <QByteArray>
#include <QImage>
#include <optional>

#include "files/outcome.h"

// The format holds at most this many pixels a side.
inline constexpr int kWebpLargestSide = 16383;

// The picture as a WebP file: lossless when `quality` is empty, else lossy at that
// quality (1..100). Nothing, with the reason in `why`, when the encoder fails.
std::optional<QByteArray> EncodeWebp(const QImage& picture, std::optional<int> quality,
                                     QString* why);
