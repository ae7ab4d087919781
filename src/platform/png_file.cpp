#include "platform/png_file.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <vector>

#include "platform/exact_palette.h"

namespace {

// zlib's default effort: the filters matter more than the last levels, and cost less.
constexpr int kLevel = 6;

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void Flush(png_structp) {}

int BitsFor(int colours) {
    if (colours <= 2) return 1;
    if (colours <= 4) return 2;
    if (colours <= 16) return 4;
    return 8;
}

// One encoding of `image` (Indexed8 or RGB888) with the given row filters. No
// object with a destructor lives in this frame across setjmp.
bool Encode(const QImage& image, int filters, QByteArray& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, Append, Flush);
    const bool indexed = image.format() == QImage::Format_Indexed8;
    png_color palette[256] = {};
    const int colours = indexed ? static_cast<int>(image.colorCount()) : 0;
    const int bits = indexed ? BitsFor(colours) : 8;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), bits,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        for (int i = 0; i < colours; ++i) {
            const QRgb c = image.color(i);
            palette[i] = png_color{static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)),
                                   static_cast<png_byte>(qBlue(c))};
        }
        png_set_PLTE(png, info, palette, colours);
    }
    png_set_compression_level(png, kLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_write_info(png, info);
    if (bits < 8) png_set_packing(png);  // rows stay one byte a pixel on our side
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::optional<QByteArray> EncodePng(const QImage& picture) {
    if (picture.isNull()) return std::nullopt;
    // The smallest lossless form: its own colours as a palette when there are 256 or
    // fewer, else 24-bit colour.
    const QImage image =
        ExactPalette(picture).value_or(picture.convertToFormat(QImage::Format_RGB888));
    QByteArray plain;
    if (!Encode(image, PNG_FILTER_NONE, plain)) return std::nullopt;
    // Palette rows gain nothing from filters.
    if (image.format() == QImage::Format_Indexed8) return plain;
    QByteArray filtered;
    if (Encode(image, PNG_ALL_FILTERS, filtered) && filtered.size() < plain.size()) return filtered;
    return plain;
}
