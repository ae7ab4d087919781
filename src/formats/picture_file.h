#pragma once
// A picture in memory written to a file whose ending picks the format, through the same
// writers and settings as Save As. The file is replaced only when the new one is whole.
#include <QImage>
#include <QString>
#include <optional>

enum class PictureFormat { Bmp, Jpeg, Gif, Png };

// ".bmp", ".jpg", ".jpeg", ".gif" or ".png" at the end of the file name, in any case.
std::optional<PictureFormat> PictureFormatForPath(const QString& path);

struct JpegChoice {
    int quality = 85;  // 1..100; values outside are taken as the nearer end
    bool progressive = false;
};

// Writes `picture` to `path` in `format`: BMP 24-bit, JPEG with TurboJPEG (4:2:0 like
// the Save As writer), GIF of at most 256 colours, PNG of the picture's own palette
// where it fits. False when the picture is empty or the file could not be written; an
// existing file is then left as it was.
bool WritePictureFile(const QImage& picture, const QString& path, PictureFormat format,
                      JpegChoice jpeg = {});
