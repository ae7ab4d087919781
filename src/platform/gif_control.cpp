#include "platform/gif_control.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/bitmap_reader.h"
#include "platform/exact_palette.h"

namespace {

// A picture as palette indices and the palette they point into.
struct Indexed {
    std::vector<GifByteType> pixels;
    std::vector<GifColorType> palette;
};

// The exact colours when there are 256 or fewer; nothing when there are more.
std::optional<Indexed> Exact(const QImage& rgb) {
    const std::optional<QImage> indexed = ExactPalette(rgb);
    if (!indexed) return std::nullopt;
    Indexed out;
    const size_t width = static_cast<size_t>(indexed->width());
    out.pixels.resize(width * indexed->height());
    for (int y = 0; y < indexed->height(); ++y)
        std::copy_n(indexed->constScanLine(y), width, out.pixels.begin() + width * y);
    for (QRgb c : indexed->colorTable())
        out.palette.push_back(GifColorType{static_cast<GifByteType>(qRed(c)),
                                           static_cast<GifByteType>(qGreen(c)),
                                           static_cast<GifByteType>(qBlue(c))});
    return out;
}

struct LiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// 256 colours chosen by libimagequant, the picture remapped with dithering.
std::optional<Indexed> Quantized(const QImage& rgb) {
    const QImage rgba = rgb.convertToFormat(QImage::Format_RGBA8888);
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK) return std::nullopt;
    liq_set_speed(attr.get(), 8);
    std::vector<void*> rows(static_cast<size_t>(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        rows[static_cast<size_t>(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    std::unique_ptr<liq_image, LiqDeleter> image(
        liq_image_create_rgba_rows(attr.get(), rows.data(), rgba.width(), rgba.height(), 0));
    if (!image) return std::nullopt;
    liq_result* raw = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK) return std::nullopt;
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    liq_set_dithering_level(result.get(), 1.0f);
    Indexed out;
    out.pixels.resize(static_cast<size_t>(rgba.width()) * rgba.height());
    if (liq_write_remapped_image(result.get(), image.get(), out.pixels.data(), out.pixels.size()) !=
        LIQ_OK)
        return std::nullopt;
    const liq_palette* palette = liq_get_palette(result.get());
    for (unsigned i = 0; i < palette->count; ++i)
        out.palette.push_back(
            GifColorType{palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    return out;
}

int WriteToSaveFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<QSaveFile*>(gif->UserData);
    return static_cast<int>(file->write(reinterpret_cast<const char*>(data), length));
}

bool Encode(const Indexed& picture, int width, int height, QSaveFile& file) {
    int error = 0;
    GifFileType* gif = EGifOpen(&file, WriteToSaveFile, &error);
    if (!gif) return false;
    // The colour table's size is a power of two; unused entries stay black.
    const int bits = std::max(1, GifBitSize(static_cast<int>(picture.palette.size())));
    std::vector<GifColorType> colours(picture.palette);
    colours.resize(size_t{1} << bits, GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(1 << bits, colours.data());
    bool ok = map != nullptr;
    EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y) {
        auto* line = const_cast<GifByteType*>(picture.pixels.data() + size_t(y) * width);
        ok = EGifPutLine(gif, line, width) == GIF_OK;
    }
    if (map) GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    return ok;
}

}  // namespace

bool WriteGif(const QImage& picture, const QString& gifPath) {
    // GIF sizes are 16-bit.
    if (picture.isNull() || picture.width() > 65535 || picture.height() > 65535) return false;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::optional<Indexed> indexed = Exact(rgb);
    if (!indexed) indexed = Quantized(rgb);
    if (!indexed) return false;
    QSaveFile file(gifPath);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!Encode(*indexed, rgb.width(), rgb.height(), file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

FileOutcome GifFromBitmapFile(const QString& bitmapPath, const QString& gifPath) {
    const BitmapRead read = ReadBitmapFile(bitmapPath);
    if (!read.ok()) return FileOutcome::Failed(read.error);
    if (!WriteGif(read.picture, gifPath))
        return FileOutcome::Failed(QStringLiteral("the GIF file could not be written"));
    return FileOutcome::Done();
}

bool WriteGifFromBitmap(const QString& bitmapPath, const QString& gifPath) {
    return GifFromBitmapFile(bitmapPath, gifPath).ok;
}
