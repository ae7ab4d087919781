#include "formats/gif_file.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "files/replace_file.h"
#include "formats/bitmap_reader.h"
#include "formats/exact_palette.h"

namespace {

// libimagequant's effort: from a histogram of the picture the search is cheap, so
// it can look closely.
constexpr int kSpeed = 3;

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
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// Colours as keys of an open-addressing table; a stored colour is always opaque, so a
// key of 0 marks a free slot.
class ColourTable {
  public:
    struct Slot {
        QRgb colour = 0;
        std::uint32_t value = 0;
    };

    ColourTable() : slots_(size_t{1} << 16) {}

    // The slot of an opaque colour, made when it is new.
    Slot& operator[](QRgb colour) {
        for (size_t i = Hash(colour);; i = (i + 1) & Mask()) {
            Slot& slot = slots_[i];
            if (slot.colour == colour) return slot;
            if (slot.colour == 0) {
                if (++used_ * 2 > slots_.size()) {
                    Grow();
                    return (*this)[colour];
                }
                slot.colour = colour;
                return slot;
            }
        }
    }

    std::vector<Slot>& Slots() { return slots_; }

  private:
    size_t Mask() const { return slots_.size() - 1; }
    size_t Hash(QRgb colour) const {
        return (static_cast<std::uint64_t>(colour) * 0x9E3779B97F4A7C15ull >> 40) & Mask();
    }
    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        used_ = 0;
        for (const Slot& slot : old)
            if (slot.colour != 0) (*this)[slot.colour].value = slot.value;
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

// The picture's colours with how many pixels have each. Page pictures are long runs of
// one colour, so a run is counted once.
void CountColours(const QImage& rgb, ColourTable& table) {
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width();) {
            const QRgb c = line[x] | 0xFF000000u;
            int end = x + 1;
            while (end < rgb.width() && (line[end] | 0xFF000000u) == c) ++end;
            table[c].value += static_cast<std::uint32_t>(end - x);
            x = end;
        }
    }
}

// The palette entry nearest to `c` in plain RGB distance, the measure that keeps the
// picture's error smallest.
std::uint32_t Nearest(QRgb c, const std::vector<GifColorType>& palette) {
    int best = std::numeric_limits<int>::max();
    std::uint32_t index = 0;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = qRed(c) - palette[i].Red, dg = qGreen(c) - palette[i].Green,
                  db = qBlue(c) - palette[i].Blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            index = static_cast<std::uint32_t>(i);
        }
    }
    return index;
}

// 256 colours chosen by libimagequant from the picture's histogram, each pixel then
// given its nearest colour. No dithering: the noise it spreads over flat page
// backgrounds costs more in file size than it gains in likeness.
std::optional<Indexed> Quantized(const QImage& rgb) {
    ColourTable table;
    CountColours(rgb, table);
    std::vector<liq_histogram_entry> entries;
    for (const ColourTable::Slot& slot : table.Slots())
        if (slot.colour != 0)
            entries.push_back(
                liq_histogram_entry{liq_color{static_cast<unsigned char>(qRed(slot.colour)),
                                              static_cast<unsigned char>(qGreen(slot.colour)),
                                              static_cast<unsigned char>(qBlue(slot.colour)), 255},
                                    slot.value});
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK) return std::nullopt;
    liq_set_speed(attr.get(), kSpeed);
    std::unique_ptr<liq_histogram, LiqDeleter> histogram(liq_histogram_create(attr.get()));
    if (!histogram || liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(),
                                               static_cast<int>(entries.size()), 0) != LIQ_OK)
        return std::nullopt;
    liq_result* raw = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &raw) != LIQ_OK) return std::nullopt;
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0) return std::nullopt;
    Indexed out;
    for (unsigned i = 0; i < palette->count; ++i)
        out.palette.push_back(
            GifColorType{palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    for (ColourTable::Slot& slot : table.Slots())
        if (slot.colour != 0) slot.value = Nearest(slot.colour, out.palette);

    const size_t width = static_cast<size_t>(rgb.width());
    out.pixels.resize(width * static_cast<size_t>(rgb.height()));
    GifByteType* pixel = out.pixels.data();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        QRgb last = 0;
        GifByteType index = 0;
        for (size_t x = 0; x < width; ++x) {
            const QRgb c = line[x] | 0xFF000000u;
            if (c != last) {
                last = c;
                index = static_cast<GifByteType>(table[c].value);
            }
            *pixel++ = index;
        }
    }
    return out;
}

int WriteToSaveFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<QIODevice*>(gif->UserData);
    return static_cast<int>(file->write(reinterpret_cast<const char*>(data), length));
}

bool Encode(const Indexed& picture, int width, int height, QIODevice& file) {
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

Outcome WriteGif(const QImage& picture, const QString& gifPath) {
    // GIF sizes are 16-bit.
    if (picture.isNull()) return Outcome::Failed(QStringLiteral("there is no picture"));
    if (picture.width() > 65535 || picture.height() > 65535)
        return Outcome::Failed(QStringLiteral("a GIF holds at most 65,535 pixels a side"));
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::optional<Indexed> indexed = Exact(rgb);
    if (!indexed) indexed = Quantized(rgb);
    if (!indexed) return Outcome::Failed(QStringLiteral("its colours could not be reduced"));
    ReplaceFile file(gifPath);
    if (!file.open()) return Outcome::Failed(file.reason());
    if (!Encode(*indexed, rgb.width(), rgb.height(), file.device())) {
        const QString why = file.device().errorString();
        file.cancel();
        return Outcome::Failed(why);
    }
    if (!file.commit()) return Outcome::Failed(file.reason());
    return Outcome::Done();
}

Outcome WriteGifFromBitmap(const QString& bitmapPath, const QString& gifPath) {
    const BitmapRead read = ReadBitmapFile(bitmapPath);
    if (!read.ok()) return Outcome::Failed(read.reason);
    return WriteGif(read.picture, gifPath);
}
