#pragma once
// A picture written to its file band by band while it is taken, so that a page of any
// height never lies whole in memory: memory grows with the width, not the height. Each
// band is encoded on a thread of the writer's own while the caller makes the next one.
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "files/outcome.h"
#include "formats/picture_file.h"

class BandWriter {
  public:
    // Unfinished: cancelled, the target untouched, no temporary left.
    virtual ~BandWriter() = default;
    // The picture's size in pixels. Called again, it starts over: rows given so far are dropped.
    virtual Outcome Begin(QSize size) = 0;
    // The next rows, top to bottom, full width, QImage::Format_RGB32 (any height >= 1; the
    // sum of heights equals size.height() at Finish). Takes the image by value (the caller
    // moves it in and never touches it again); may encode on another thread and return at
    // once, but holds at most one band waiting besides the one being encoded (Add blocks
    // until there is room), so memory stays bounded.
    virtual Outcome Add(QImage rows) = 0;
    // All rows given: waits for the encoding, then puts the file in place atomically.
    virtual Outcome Finish() = 0;
};

// A writer for `format` at `path`; null for the formats that need the whole picture at once
// (GIF, WebP, AVIF, PDF). Its files are those of WritePictureFile for the whole picture:
// BMP and JPEG (baseline and progressive) byte for byte, PNG the same pixels and palette
// in about the same size (its row filters chosen for each 128 rows).
std::unique_ptr<BandWriter> BandWriterFor(const QString& path, PictureFormat format,
                                          JpegChoice jpeg = {});

// Whether BandWriterFor gives a writer for `format` with `jpeg`'s choices.
bool WritesInBands(PictureFormat format, JpegChoice jpeg = {});
