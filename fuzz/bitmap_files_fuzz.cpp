// Every path that reads a bitmap file, on any bytes written to a file: the picture
// loader, the JPEG library's source, the BMP copy and the GIF writer must agree on
// what is a picture, and a refused source never touches the destination.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

#include "formats/bitmap_copy.h"
#include "formats/bitmap_file.h"
#include "formats/bitmap_reader.h"
#include "formats/gif_file.h"
#include "formats/jpeg_library.h"
#include "fuzz_check.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/glimpa-fuzz-XXXXXX"));
    static const auto library = MakeTurboImagingLibrary();
    const QString source = folder.filePath(QStringLiteral("cropped.bmp"));
    const QString copy = folder.filePath(QStringLiteral("copy.bmp"));
    const QString gif = folder.filePath(QStringLiteral("copy.gif"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(source);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    const QByteArray old("the old file");
    for (const QString& path : {copy, gif}) {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(old);
    }

    const bool picture = CheckBitmapHeader(bytes.left(kBitmapHeadBytes), size).layout.has_value();
    const auto loaded = LoadPicture(source);
    FUZZ_CHECK(loaded.has_value() == picture);

    const ISHandle src = library->ISOpenFileSource(source);
    FUZZ_CHECK(src != 0);
    int width = -1, height = -1;
    const ISHandle image = library->ISReadBMP(src, width, height, 24, 0);
    library->ISCloseSource(src);
    FUZZ_CHECK((image != 0) == picture);
    if (image != 0) {
        FUZZ_CHECK(width == loaded->width() && height == loaded->height());
        library->GlobalFree(image);
    }

    const Outcome copied = CopyBitmapFile(source, copy);
    FUZZ_CHECK(copied.ok == picture);
    FUZZ_CHECK(Bytes(copy) == (picture ? bytes : old));

    // The GIF writer's colour reduction is slow on large pictures; small ones suffice.
    if (!picture || qint64(loaded->width()) * loaded->height() <= 4096) {
        const Outcome written = WriteGifFromBitmap(source, gif);
        FUZZ_CHECK(written.ok == picture);
        if (!picture) FUZZ_CHECK(Bytes(gif) == old);
    }
    return 0;
}
