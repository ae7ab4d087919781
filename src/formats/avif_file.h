#pragma once
// AVIF through libavif (AV1 by the encoder it was built with).
#include <QByteArray>
#include <QImage>
#include <optional>

// The picture as an AVIF file at `quality` (1..100), colours in YUV 4:4:4 so that text
// and thin lines keep their colour. Nothing, with the reason in `why`, when the encoder
// fails.
std::optional<QByteArray> EncodeAvif(const QImage& picture, int quality, QString* why);
