#pragma once
// A picture file written as its rows come, top to bottom, so that no whole picture is
// ever in memory: a page's picture is encoded while the page is taken.
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "files/outcome.h"
#include "formats/picture_file.h"

class BandWriter {
  public:
    virtual ~BandWriter() = default;  // unfinished: cancelled, the target untouched
    // The picture's size in pixels. Called again, it starts over: rows given so far are
    // dropped.
    virtual Outcome Begin(QSize size) = 0;
    // The next rows, top to bottom, full width, RGB32. May encode on another thread and
    // return at once; holds at most one band waiting besides the one being encoded.
    virtual Outcome Add(QImage rows) = 0;
    // All rows given: waits for the encoding, then puts the file in place atomically.
    virtual Outcome Finish() = 0;
};

// A writer for `format` at `path`; null for the formats that need the whole picture at
// once.
std::unique_ptr<BandWriter> BandWriterFor(const QString& path, PictureFormat format,
                                          JpegChoice jpeg = {});

// Whether BandWriterFor gives a writer for `format` with `jpeg`'s choices.
bool WritesInBands(PictureFormat format, JpegChoice jpeg = {});
