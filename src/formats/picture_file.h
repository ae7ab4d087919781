#pragma once
// A picture in memory written to a file whose ending picks the format, through the same
// writers and settings as Save As. The file is replaced only when the new one is whole.
#include <QImage>
#include <QString>
#include <optional>

#include "files/outcome.h"

// Pdf is printed by the browser, never encoded from a picture.
enum class PictureFormat { Bmp, Jpeg, Gif, Png, Webp, Avif, Pdf };

// The one table of file endings, for Save As and glimpa-shot alike: the text after the
// name's last dot, in any case: ".bmp"; ".jpg", ".jpeg" or ".jpe"; ".gif"; ".png". The
// name is what follows the last "/" or "\\", so a dot in a folder's name never counts.
// Nothing for any other ending, or none.
std::optional<PictureFormat> PictureFormatForPath(const QString& path);

// The format's name for the user: "BMP", "JPEG", "GIF", "PNG".
QString PictureFormatName(PictureFormat format);

// The most rows a picture `width` pixels wide may have in `format`: 65,500 in JPEG (the
// encoder's bound), 65,535 in GIF, whose sizes are 16-bit; in BMP what keeps the file
// within its 32-bit size; in PNG 2^31 - 1.
qint64 MostPictureRows(PictureFormat format, int width);

// The choices of the lossy formats. WebP is lossless unless a quality was given.
struct JpegChoice {
    int quality = 85;  // 1..100; values outside are taken as the nearer end
    bool progressive = false;
    bool qualityGiven = false;
};

// The most pixels a picture may have in `format`: AVIF's 35,651,584, what keeps a BMP
// within its 32-bit size, no bound of their own in the others.
qint64 MostPicturePixels(PictureFormat format);

// The most columns a picture may have in `format`: 16,383 in WebP, more than any
// picture here in the others.
qint64 MostPictureColumns(PictureFormat format);

// Writes `picture` to `path` in `format`: BMP 24-bit, JPEG with TurboJPEG (4:2:0 like
// the Save As writer), GIF of at most 256 colours, PNG of the picture's own palette
// where it fits. Not done, and why, when the picture is empty or the file could not be
// written; an existing file is then left as it was.
Outcome WritePictureFile(const QImage& picture, const QString& path, PictureFormat format,
                         JpegChoice jpeg = {});
