#include "formats/png_file.h"

#include <libdeflate.h>

#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <numeric>
#include <system_error>
#include <vector>

#include "formats/exact_palette.h"
#include "formats/png_rows.h"

namespace {

using Bytes = PngBytes;

// libdeflate's middle effort: smaller than zlib's default level and about twice as quick.
constexpr int kLevel = 6;

// Sampling a tall colour picture: bands of kSampleBand rows, one every kSampleEvery
// rows; a way of filtering wins clearly when the other's sample is kClearWin times as
// large or more.
constexpr int kSampleBand = 16;
constexpr int kSampleEvery = 256;
constexpr double kClearWin = 1.1;

// Palette rows: indices packed to `bits`, each row led by its filter byte (none: palette
// rows gain nothing from filters).
Bytes PackedRows(const QImage& indexed, int bits) {
    const size_t width = static_cast<size_t>(indexed.width());
    const size_t stride = 1 + (width * static_cast<size_t>(bits) + 7) / 8;
    Bytes rows(stride * static_cast<size_t>(indexed.height()), 0);
    for (int y = 0; y < indexed.height(); ++y)
        PackIndexRow(indexed.constScanLine(y), indexed.width(), bits,
                     rows.data() + stride * static_cast<size_t>(y) + 1);
    return rows;
}

// The picture's rows listed in rowsWanted, as they are, each led by filter byte 0.
Bytes PlainRows(const QImage& rgb, const std::vector<int>& rowsWanted) {
    const size_t width = static_cast<size_t>(rgb.width()) * 3;
    Bytes rows((width + 1) * rowsWanted.size(), 0);
    for (size_t i = 0; i < rowsWanted.size(); ++i)
        PngRgbRow(rgb, rowsWanted[i], rows.data() + (width + 1) * i + 1);
    return rows;
}

// The rows listed, adaptively filtered; the row above is zeros where the list skips some.
Bytes FilteredRows(const QImage& rgb, const std::vector<int>& rowsWanted) {
    const size_t width = static_cast<size_t>(rgb.width()) * 3;
    Bytes rows((width + 1) * rowsWanted.size(), 0);
    AdaptiveFilter filter(rgb.width());
    for (size_t y = 0; y < rowsWanted.size(); ++y) {
        if (y > 0 && rowsWanted[y] != rowsWanted[y - 1] + 1) filter.Restart();
        PngRgbRow(rgb, rowsWanted[y], filter.Input());
        filter.Row(rows.data() + (width + 1) * y);
    }
    return rows;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The rows as one zlib stream; empty when compression fails.
Bytes Compress(const Bytes& rows) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kLevel));
    if (!compressor) return {};
    Bytes out(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
    const size_t size = libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(),
                                                 out.data(), out.size());
    out.resize(size);
    return out;
}

QByteArray Container(const QImage& image, int bits, int colourType, const Bytes& palette,
                     const Bytes& idat) {
    QByteArray png = PngHead(image.width(), image.height(), bits, colourType, palette);
    png.reserve(static_cast<qsizetype>(idat.size() + 64) + png.size());
    PutPngChunk(png, "IDAT", idat.data(), idat.size());
    PutPngChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace

std::vector<QByteArray> PngCandidates(const QImage& picture) {
    if (picture.isNull()) return {};
    // The smallest lossless form: its own colours as a palette when there are 256 or
    // fewer, else 24-bit colour.
    if (const std::optional<QImage> indexed = ExactPalette(picture)) {
        const int colours = static_cast<int>(indexed->colorCount());
        const int bits = PngIndexBits(colours);
        Bytes palette;
        for (int i = 0; i < colours; ++i) {
            const QRgb c = indexed->color(i);
            palette.insert(palette.end(), {static_cast<std::uint8_t>(qRed(c)),
                                           static_cast<std::uint8_t>(qGreen(c)),
                                           static_cast<std::uint8_t>(qBlue(c))});
        }
        const Bytes idat = Compress(PackedRows(*indexed, bits));
        if (idat.empty()) return {};
        return {Container(*indexed, bits, 3, palette, idat)};
    }
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB888);
    std::vector<int> all(static_cast<size_t>(rgb.height()));
    std::iota(all.begin(), all.end(), 0);
    const auto plain = [&rgb](const std::vector<int>& rows) {
        return Compress(PlainRows(rgb, rows));
    };
    const auto filtered = [&rgb](const std::vector<int>& rows) {
        return Compress(FilteredRows(rgb, rows));
    };
    std::vector<QByteArray> out;
    const auto keep = [&](const Bytes& idat) {
        if (!idat.empty()) out.push_back(Container(rgb, 8, 2, {}, idat));
    };
    // A tall picture is sampled first, one band in kSampleEvery; when one way wins the
    // sample clearly, only that one encodes the whole.
    if (rgb.height() >= 4 * kSampleEvery) {
        std::vector<int> sample;
        for (int y = 0; y + kSampleBand <= rgb.height(); y += kSampleEvery)
            for (int i = 0; i < kSampleBand; ++i) sample.push_back(y + i);
        const double plainSize = static_cast<double>(plain(sample).size());
        const double filteredSize = static_cast<double>(filtered(sample).size());
        if (plainSize > 0 && filteredSize > 0) {
            if (plainSize * kClearWin <= filteredSize) {
                keep(plain(all));
                return out;
            }
            if (filteredSize * kClearWin <= plainSize) {
                keep(filtered(all));
                return out;
            }
        }
    }
    // Both ways in full, one on each core; one after the other when no thread starts.
    std::future<Bytes> other;
    try {
        other = std::async(std::launch::async, [&] { return filtered(all); });
    } catch (const std::system_error&) {
    }
    keep(plain(all));
    keep(other.valid() ? other.get() : filtered(all));
    return out;
}

std::optional<QByteArray> EncodePng(const QImage& picture) {
    std::vector<QByteArray> candidates = PngCandidates(picture);
    if (candidates.empty()) return std::nullopt;
    size_t smallest = 0;
    for (size_t i = 1; i < candidates.size(); ++i)
        if (candidates[i].size() < candidates[smallest].size()) smallest = i;
    return std::move(candidates[smallest]);
}
