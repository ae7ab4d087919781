// The checked bitmap reader on any bytes held in memory.
#include <QBuffer>
#include <cstdint>

#include "formats/bitmap_reader.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const BitmapHeaderCheck check = CheckBitmapHeader(bytes.left(kBitmapHeadBytes), bytes.size());
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const BitmapRead read = ReadBitmap(device, bytes.size());

    // A header that checks out is a picture of its size; one that does not, no picture.
    FUZZ_CHECK(read.ok() == check.layout.has_value());
    FUZZ_CHECK(read.ok() == read.reason.isEmpty());
    if (!read.ok()) return 0;
    const BitmapLayout& l = *check.layout;
    FUZZ_CHECK(read.picture.width() == l.width && read.picture.height() == l.height);
    FUZZ_CHECK(l.pixelOffset + l.stride * l.height <= bytes.size());
    FUZZ_CHECK(l.width <= kMaxBitmapWidth && l.height <= kMaxBitmapHeight);
    // Every pixel was written: opaque, whatever the file held.
    for (int y = 0; y < read.picture.height(); ++y)
        for (int x = 0; x < read.picture.width(); ++x)
            FUZZ_CHECK(qAlpha(read.picture.pixel(x, y)) == 255);
    return 0;
}
