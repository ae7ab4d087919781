#pragma once
// The one reader of bitmap files (row files, whopper.bmp, cropped.bmp) that every path
// goes through: the header is checked against the file's length and the largest
// picture the program can make before a single pixel buffer is allocated, and a file
// that ends before its last row is an error, not a picture.
#include <QByteArrayView>
#include <QIODevice>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

// The largest composite: six screens of a desktop up to 16384 pixels on each side,
// and never more than 2^29 pixels (2 GiB as 32-bit pixels).
inline constexpr int kMaxBitmapWidth = 16384;
inline constexpr int kMaxBitmapHeight = 6 * 16384;
inline constexpr qint64 kMaxBitmapPixels = qint64{1} << 29;
// Headers, masks and the largest palette come first, in at most this many bytes.
inline constexpr qint64 kBitmapHeadBytes = 14 + 124 + 12 + 256 * 4;
// No bitmap of ours is longer: the largest picture at 32 bits a pixel after its head.
inline constexpr qint64 kMaxBitmapFileBytes = kBitmapHeadBytes + kMaxBitmapPixels * 4;

struct BitmapLayout {
    int width = 0;
    int height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bitsPerPixel = 0;
    bool bitFields = false;         // channel masks instead of the default layout
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue
    int paletteOffset = 0;          // in the file
    int paletteSize = 0;            // entries, 4 bytes each
    qint64 pixelOffset = 0;         // first byte of the first stored row
    qint64 stride = 0;              // bytes per stored row, padded to four
};

struct BitmapHeaderCheck {
    std::optional<BitmapLayout> layout;
    QString reason;  // why the file is refused; empty when layout is set
};

// Checks the head of a bitmap file (its first kBitmapHeadBytes bytes, or all of a
// shorter file) against the file's whole length.
BitmapHeaderCheck CheckBitmapHeader(QByteArrayView head, qint64 fileSize);

struct BitmapRead {
    QImage picture;  // BGR888 for 24-bit files, RGB32 for every other depth
    QString reason;  // why there is no picture; empty on success
    bool ok() const { return !picture.isNull(); }
};

// Reads a whole bitmap from a device positioned anywhere, whose length is fileSize.
BitmapRead ReadBitmap(QIODevice& device, qint64 fileSize);

// Opens `path` (a regular file only, never a pipe or device) and reads it.
BitmapRead ReadBitmapFile(const QString& path);
