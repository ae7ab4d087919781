#pragma once
// AVIF through libavif (AV1 by the encoder it was built with).
#include <QByteArray>
#include <QImage>
#include <optional>

// AV1's level 6, what the usual decoders open: at most 8,704 rows, 16,384 columns and
// 35,651,584 pixels. The encoder here writes larger frames that they refuse.
inline constexpr int kAvifLargestRows = 8704;
inline constexpr int kAvifLargestColumns = 16384;
inline constexpr qint64 kAvifLargestPixels = 35651584;

// The picture as an AVIF file at `quality` (1..100), colours in YUV 4:4:4 so that text
// and thin lines keep their colour. Nothing, with the reason in `why`, when the encoder
// fails.
std::optional<QByteArray> EncodeAvif(const QImage& picture, int quality, QString* why);
