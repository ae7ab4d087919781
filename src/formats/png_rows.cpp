#include "formats/png_rows.h"

#include <libdeflate.h>

#include <QtEndian>
#include <cstdlib>
#include <cstring>

int PngIndexBits(int colours) {
    if (colours <= 2) return 1;
    if (colours <= 4) return 2;
    if (colours <= 16) return 4;
    return 8;
}

void PackIndexRow(const std::uint8_t* __restrict in, int width, int bits,
                  std::uint8_t* __restrict out) {
    const size_t n = static_cast<size_t>(width);
    if (bits == 8) {
        std::memcpy(out, in, n);
        return;
    }
    // Whole bytes first, in a loop per depth the compiler can unroll, then the last part.
    const size_t perByte = static_cast<size_t>(8 / bits);
    const size_t whole = n / perByte;
    for (size_t i = 0; i < whole; ++i) {
        const std::uint8_t* p = in + i * perByte;
        unsigned byte = 0;
        if (bits == 4)
            byte = (p[0] << 4) | p[1];
        else if (bits == 2)
            byte = (p[0] << 6) | (p[1] << 4) | (p[2] << 2) | p[3];
        else
            byte = (p[0] << 7) | (p[1] << 6) | (p[2] << 5) | (p[3] << 4) | (p[4] << 3) |
                   (p[5] << 2) | (p[6] << 1) | p[7];
        out[i] = static_cast<std::uint8_t>(byte);
    }
    if (whole * perByte < n) {
        unsigned byte = 0;
        for (size_t x = whole * perByte; x < n; ++x)
            byte |= static_cast<unsigned>(in[x])
                    << (8 - bits * (1 + static_cast<int>(x % perByte)));
        out[whole] = static_cast<std::uint8_t>(byte);
    }
}

void UnpackIndexRow(const std::uint8_t* in, int width, int bits, std::uint8_t* out) {
    if (bits == 8) {
        std::memcpy(out, in, static_cast<size_t>(width));
        return;
    }
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (int x = 0; x < width; ++x)
        out[x] =
            static_cast<std::uint8_t>((in[x / perByte] >> (8 - bits * (1 + x % perByte))) & mask);
}

// The usual 32-bit pictures need no converted copy of the whole.
void PngRgbRow(const QImage& image, int y, std::uint8_t* __restrict out) {
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

namespace {

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

}  // namespace

AdaptiveFilter::AdaptiveFilter(int width)
    : width_(static_cast<size_t>(width) * kBpp), cur_(width_ + kBpp, 0), up_(width_ + kBpp, 0) {
    for (PngBytes& t : trial_) t.resize(width_);
}

void AdaptiveFilter::Restart() {
    std::fill(up_.begin(), up_.end(), 0);
}

void AdaptiveFilter::Row(std::uint8_t* out) {
    FilterNone(cur_.data(), width_, trial_[0].data());
    FilterSub(cur_.data(), width_, trial_[1].data());
    FilterUp(cur_.data(), up_.data(), width_, trial_[2].data());
    FilterAverage(cur_.data(), up_.data(), width_, trial_[3].data());
    FilterPaeth(cur_.data(), up_.data(), width_, trial_[4].data());
    int best = 0;
    unsigned bestSum = SignedSum(trial_[0].data(), width_);
    for (int t = 1; t < 5; ++t) {
        const unsigned sum = SignedSum(trial_[t].data(), width_);
        if (sum < bestSum) best = t, bestSum = sum;
    }
    out[0] = static_cast<std::uint8_t>(best);
    std::memcpy(out + 1, trial_[best].data(), width_);
    cur_.swap(up_);
}

void AdaptiveFilter::Plain(std::uint8_t* out) {
    out[0] = 0;
    std::memcpy(out + 1, cur_.data() + kBpp, width_);
    cur_.swap(up_);
}

void PutPngChunk(QByteArray& png, const char* type, const std::uint8_t* data, size_t size) {
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

QByteArray PngHead(int width, int height, int bits, int colourType, const PngBytes& palette) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    std::uint8_t header[13] = {};
    qToBigEndian(static_cast<quint32>(width), header);
    qToBigEndian(static_cast<quint32>(height), header + 4);
    header[8] = static_cast<std::uint8_t>(bits);
    header[9] = static_cast<std::uint8_t>(colourType);  // compression, filter, interlace: 0
    PutPngChunk(png, "IHDR", header, sizeof header);
    if (!palette.empty()) PutPngChunk(png, "PLTE", palette.data(), palette.size());
    return png;
}
