#pragma once
#include <QImage>
#include <QString>
#include <optional>

// Windows bitmap files as the program writes them: "BM" file header, 40-byte info
// header, 24 bits per pixel, bottom-up rows padded to four bytes. The file is
// replaced atomically; false when the picture is empty or cannot be written.
bool SavePicture(const QImage& picture, const QString& path);

// A bitmap file read back as 32-bit RGB; nothing when it cannot be read, is no regular
// file, or its header or length is wrong (ReadBitmapFile tells why).
std::optional<QImage> LoadPicture(const QString& path);
