#pragma once
#include <QImage>
#include <optional>

// A picture of 256 colours or fewer as 8-bit indices into exactly its own colours, so
// palette formats keep it without loss; nothing when it has more colours.
std::optional<QImage> ExactPalette(const QImage& picture);
