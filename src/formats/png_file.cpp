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

namespace {

using Bytes = std::vector<std::uint8_t>;

// libdeflate's middle effort: smaller than zlib's default level and about twice as quick.
constexpr int kLevel = 6;

// Sampling a tall colour picture: bands of kSampleBand rows, one every kSampleEvery
// rows; a way of filtering wins clearly when the other's sample is kClearWin times as
// large or more.
constexpr int kSampleBand = 16;
constexpr int kSampleEvery = 256;
constexpr double kClearWin = 1.1;

int BitsFor(int colours) {
    if (colours <= 2) return 1;
    if (colours <= 4) return 2;
    if (colours <= 16) return 4;
    return 8;
}

// Palette rows: indices packed to `bits`, the first pixel in the high bits, each row
// led by its filter byte (none: palette rows gain nothing from filters).
Bytes PackedRows(const QImage& indexed, int bits) {
    const size_t width = static_cast<size_t>(indexed.width());
    const size_t stride = 1 + (width * static_cast<size_t>(bits) + 7) / 8;
    Bytes rows(stride * static_cast<size_t>(indexed.height()), 0);
    const int perByte = 8 / bits;
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* in = indexed.constScanLine(y);
        std::uint8_t* out = rows.data() + stride * static_cast<size_t>(y) + 1;
        if (bits == 8) {
            std::memcpy(out, in, width);
            continue;
        }
        for (size_t x = 0; x < width; ++x) {
            const int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
            out[x / perByte] |= static_cast<std::uint8_t>(in[x] << shift);
        }
    }
    return rows;
}

// Row y of a picture in RGB888 or RGB32 as three bytes a pixel: the usual 32-bit
// pictures need no converted copy of the whole.
void RgbRow(const QImage& image, int y, std::uint8_t* __restrict out) {
    if (image.format() == QImage::Format_RGB888) {
        std::memcpy(out, image.constScanLine(y), static_cast<size_t>(image.width()) * 3);
        return;
    }
    const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        out[3 * x] = static_cast<std::uint8_t>(qRed(in[x]));
        out[3 * x + 1] = static_cast<std::uint8_t>(qGreen(in[x]));
        out[3 * x + 2] = static_cast<std::uint8_t>(qBlue(in[x]));
    }
}

// The picture's rows listed in rowsWanted, as they are, each led by filter byte 0.
Bytes PlainRows(const QImage& rgb, const std::vector<int>& rowsWanted) {
    const size_t width = static_cast<size_t>(rgb.width()) * 3;
    Bytes rows((width + 1) * rowsWanted.size(), 0);
    for (size_t i = 0; i < rowsWanted.size(); ++i)
        RgbRow(rgb, rowsWanted[i], rows.data() + (width + 1) * i + 1);
    return rows;
}

// The five row filters over rows padded in front with one pixel of zeros, so that the
// pixel to the left and the one above-left always exist. Plain loops the compiler
// turns into vector code.
constexpr size_t kBpp = 3;

void FilterNone(const std::uint8_t* __restrict cur, size_t n, std::uint8_t* __restrict out) {
    std::memcpy(out, cur + kBpp, n);
}
void FilterSub(const std::uint8_t* __restrict cur, size_t n, std::uint8_t* __restrict out) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(cur[i + kBpp] - cur[i]);
}
void FilterUp(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict up, size_t n,
              std::uint8_t* __restrict out) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(cur[i + kBpp] - up[i + kBpp]);
}
void FilterAverage(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict up, size_t n,
                   std::uint8_t* __restrict out) {
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(cur[i + kBpp] - ((cur[i] + up[i + kBpp]) >> 1));
}
void FilterPaeth(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict up, size_t n,
                 std::uint8_t* __restrict out) {
    // 16-bit lanes and selects without branches, so that it vectorises too.
    for (size_t i = 0; i < n; ++i) {
        const std::int16_t a = cur[i], b = up[i + kBpp], c = up[i];
        const auto pa = static_cast<std::int16_t>(std::abs(b - c)),
                   pb = static_cast<std::int16_t>(std::abs(a - c)),
                   pc = static_cast<std::int16_t>(std::abs(a + b - 2 * c));
        const std::int16_t bOrC = pb <= pc ? b : c;
        const std::int16_t predictor = ((pa <= pb) & (pa <= pc)) ? a : bOrC;
        out[i] = static_cast<std::uint8_t>(cur[i + kBpp] - predictor);
    }
}

// The filtered bytes' sum when read as signed: small sums compress well.
unsigned SignedSum(const std::uint8_t* __restrict row, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const int v = static_cast<std::int8_t>(row[i]);
        sum += static_cast<unsigned>(v < 0 ? -v : v);
    }
    return sum;
}

// Colour rows, each filtered by the type whose bytes, read as signed, sum smallest in
// magnitude: the usual adaptive choice, best for photos and gradients.
Bytes FilteredRows(const QImage& rgb, const std::vector<int>& rowsWanted) {
    const size_t width = static_cast<size_t>(rgb.width()) * kBpp;
    Bytes rows((width + 1) * rowsWanted.size(), 0);
    Bytes cur(width + kBpp, 0), up(width + kBpp, 0);
    Bytes trial[5];
    for (Bytes& t : trial) t.resize(width);
    for (size_t y = 0; y < rowsWanted.size(); ++y) {
        // The row above is the picture's, or zeros where the rows skip some.
        if (y > 0 && rowsWanted[y] != rowsWanted[y - 1] + 1) std::fill(up.begin(), up.end(), 0);
        RgbRow(rgb, rowsWanted[y], cur.data() + kBpp);
        FilterNone(cur.data(), width, trial[0].data());
        FilterSub(cur.data(), width, trial[1].data());
        FilterUp(cur.data(), up.data(), width, trial[2].data());
        FilterAverage(cur.data(), up.data(), width, trial[3].data());
        FilterPaeth(cur.data(), up.data(), width, trial[4].data());
        int best = 0;
        unsigned bestSum = SignedSum(trial[0].data(), width);
        for (int t = 1; t < 5; ++t) {
            const unsigned sum = SignedSum(trial[t].data(), width);
            if (sum < bestSum) best = t, bestSum = sum;
        }
        std::uint8_t* out = rows.data() + (width + 1) * y;
        out[0] = static_cast<std::uint8_t>(best);
        std::memcpy(out + 1, trial[best].data(), width);
        cur.swap(up);
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

void PutChunk(QByteArray& png, const char* type, const std::uint8_t* data, size_t size) {
    char length[4];
    qToBigEndian(static_cast<quint32>(size), length);
    png.append(length, 4);
    const qsizetype start = png.size();
    png.append(type, 4);
    png.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::uint32_t crc =
        libdeflate_crc32(0, png.constData() + start, static_cast<size_t>(png.size() - start));
    char check[4];
    qToBigEndian(crc, check);
    png.append(check, 4);
}

QByteArray Container(const QImage& image, int bits, int colourType, const Bytes& palette,
                     const Bytes& idat) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.reserve(static_cast<qsizetype>(idat.size() + palette.size() + 64));
    std::uint8_t header[13] = {};
    qToBigEndian(static_cast<quint32>(image.width()), header);
    qToBigEndian(static_cast<quint32>(image.height()), header + 4);
    header[8] = static_cast<std::uint8_t>(bits);
    header[9] = static_cast<std::uint8_t>(colourType);  // compression, filter, interlace: 0
    PutChunk(png, "IHDR", header, sizeof header);
    if (!palette.empty()) PutChunk(png, "PLTE", palette.data(), palette.size());
    PutChunk(png, "IDAT", idat.data(), idat.size());
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace

std::vector<QByteArray> PngCandidates(const QImage& picture) {
    if (picture.isNull()) return {};
    // The smallest lossless form: its own colours as a palette when there are 256 or
    // fewer, else 24-bit colour.
    if (const std::optional<QImage> indexed = ExactPalette(picture)) {
        const int colours = static_cast<int>(indexed->colorCount());
        const int bits = BitsFor(colours);
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
