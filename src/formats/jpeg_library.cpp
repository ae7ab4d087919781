#include "formats/jpeg_library.h"

#include <QFile>
#include <algorithm>
#include <limits>
#include <map>

#include "files/regular_file.h"
#include "files/replace_file.h"
#include "files/write_in_pieces.h"
#include "formats/bitmap_reader.h"
#include "formats/jpeg_baseline.h"
#include "formats/jpeg_progressive.h"

namespace {

struct Source {
    std::unique_ptr<QFile> file;
    qint64 size = 0;
};

struct Dest {
    std::unique_ptr<ReplaceFile> file;
    bool written = false;
    bool failed = false;
};

class TurboImagingLibrary final : public ImagingLibrary {
  public:
    ISHandle ISOpenFileSource(const QString& path) override {
        // A pipe or a device is no picture, and opening one must not wait.
        RegularFile opened = OpenRegularFile(path, kMaxBitmapFileBytes);
        if (!opened.file) return 0;
        const ISHandle h = Next();
        sources_[h] = Source{std::move(opened.file), opened.size};
        return h;
    }

    ISHandle ISReadBMP(ISHandle source, int& width, int& height, int bitsPerPixel,
                       int palette) override {
        width = height = 0;
        const auto it = sources_.find(source);
        if (it == sources_.end() || bitsPerPixel != 24 || palette != 0) return 0;
        // The header is checked against the file's length before any pixel buffer.
        BitmapRead read = ReadBitmap(*it->second.file, it->second.size);
        if (!read.ok()) return 0;
        QImage pixels = read.picture.format() == QImage::Format_BGR888
                            ? std::move(read.picture)
                            : read.picture.convertToFormat(QImage::Format_RGB888);
        if (pixels.isNull()) return 0;
        width = pixels.width();
        height = pixels.height();
        const ISHandle h = Next();
        images_[h] = std::move(pixels);
        return h;
    }

    int ISCloseSource(ISHandle source) override { return sources_.erase(source) ? 1 : 0; }

    ISHandle ISOpenFileDest(const QString& path) override {
        auto file = std::make_unique<ReplaceFile>(path);
        if (!file->open()) return 0;
        const ISHandle h = Next();
        dests_[h] = Dest{std::move(file)};
        return h;
    }

    void ISClearJPGOutputText() override {}  // No comments are ever embedded.

    int ISWriteJPG(ISHandle dest, ISHandle image, int width, int height, int quality,
                   int progressive, int bitsPerPixel, int palette) override {
        const auto d = dests_.find(dest);
        if (d == dests_.end()) return 0;
        const int written =
            Compress(d->second, image, width, height, quality, progressive, bitsPerPixel, palette);
        if (written <= 0) d->second.failed = true;
        return written;
    }

    int ISCloseDest(ISHandle dest) override {
        const auto d = dests_.find(dest);
        if (d == dests_.end()) return 0;
        Dest& out = d->second;
        // Only a complete picture replaces what was there before.
        bool ok = false;
        if (out.written && !out.failed)
            ok = out.file->commit();
        else
            out.file->cancel();
        dests_.erase(d);
        return ok ? 1 : 0;
    }

    void GlobalFree(ISHandle image) override { images_.erase(image); }

  private:
    ISHandle Next() { return ++last_; }

    int Compress(Dest& out, ISHandle image, int width, int height, int quality, int progressive,
                 int bitsPerPixel, int palette) {
        const auto it = images_.find(image);
        if (it == images_.end()) return 0;
        const QImage& pixels = it->second;
        if (bitsPerPixel != 24 || palette != 0 || width != pixels.width() ||
            height != pixels.height() || width <= 0 || height <= 0)
            return 0;
        // libjpeg's own reading of the scale: nothing below 1, nothing above 100.
        const int q = std::clamp(quality, 1, 100);
        const std::optional<QByteArray> jpeg =
            progressive ? CompressProgressive(pixels, q) : CompressBaseline(pixels, q);
        if (!jpeg || jpeg->size() > std::numeric_limits<int>::max() ||
            !WriteInPieces(out.file->device(), *jpeg))
            return 0;
        out.written = true;
        return static_cast<int>(jpeg->size());
    }

    ISHandle last_ = 0;
    std::map<ISHandle, Source> sources_;
    std::map<ISHandle, QImage> images_;
    std::map<ISHandle, Dest> dests_;
};

std::unique_ptr<ImagingLibrary>& RealLibrary() {
    static std::unique_ptr<ImagingLibrary> library;
    return library;
}

ImagingLibrary*& Override() {
    static ImagingLibrary* library = nullptr;
    return library;
}

}  // namespace

std::unique_ptr<ImagingLibrary> MakeTurboImagingLibrary() {
    return std::make_unique<TurboImagingLibrary>();
}

void ISInitialize() {
    if (!RealLibrary()) RealLibrary() = MakeTurboImagingLibrary();
}

ImagingLibrary& TheImagingLibrary() {
    if (Override()) return *Override();
    ISInitialize();
    return *RealLibrary();
}

void SetImagingLibrary(ImagingLibrary* library) {
    Override() = library;
}
