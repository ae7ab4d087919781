#pragma once
#include <QImage>
#include <QString>
#include <optional>

#include "files/outcome.h"
#include "files/replace_file.h"

class QIODevice;

// Windows bitmap files as the program writes them: "BM" file header, 40-byte info
// header, 24 bits per pixel, bottom-up rows padded to four bytes. The file is
// replaced atomically (in place when its folder takes no new file); not done, and why,
// when the picture is empty or cannot be written.
Outcome SavePicture(const QImage& picture, const QString& path,
                    ReplaceFile::Kind kind = ReplaceFile::Kind::Kept);

// The same file's bytes written to `out` as they are made, a band of rows at a time, so
// that a page-sized picture needs no second copy in memory. Byte for byte what Qt's BMP
// writer gives, several times faster. False when the picture is empty or a write fails.
bool WriteBitmap(const QImage& picture, QIODevice& out);

// The 54 bytes of the file and info headers of a picture of `size` whose rows take
// `rowBytes` each; a resolution of 0 stands for none (72 dpi is written).
void PutBitmapHeaders(unsigned char* at, QSize size, int dotsX, int dotsY, quint32 rowBytes);

// The bytes of one row in the file: three a pixel, padded to four.
qsizetype BitmapRowBytes(int width);

// Rows `from` to `to` (not included) of a 32-bit RGB picture as the file holds them, at
// `out`: the last first, each BitmapRowBytes long, padding zero. Packed whole, the picture
// gives the file of any band of its full rows as one run of bytes.
void PackBitmapRows(const QImage& rgb, int from, int to, unsigned char* out);

// The file of a picture of `size` whose packed rows, bottom up, start at `rows`: what
// WriteBitmap writes of that picture, in one write. False when a write fails.
bool WritePackedBitmap(QIODevice& out, QSize size, int dotsX, int dotsY, const unsigned char* rows);

// A bitmap file read back as 32-bit RGB; nothing when it cannot be read, is no regular
// file, or its header or length is wrong (ReadBitmapFile tells why).
std::optional<QImage> LoadPicture(const QString& path);
