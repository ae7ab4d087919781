#pragma once
// Baseline JPEG with Huffman tables made for the picture: the same pixels as with the
// standard tables, in fewer bytes.
#include <QByteArray>
#include <QImage>
#include <optional>

// `pixels` (BGR888, RGB888 or Qt's opaque 32-bit formats, read in place) as a baseline JPEG at
// `quality` (1 to 100), 4:2:0 chroma and libjpeg's accurate DCT; nothing when libjpeg fails.
// The file is byte for byte what libjpeg's own two-pass optimisation writes with these
// settings; all but the smallest pictures are worked on two threads, in bands of MCU rows.
std::optional<QByteArray> CompressBaseline(const QImage& pixels, int quality);
