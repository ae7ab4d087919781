#include "formats/bitmap_file.h"

#include "files/replace_file.h"
#include "files/write_in_pieces.h"
#include "formats/bitmap_reader.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <vector>

// The headers' fields as Qt's writer fills them: a 72 dpi default where the picture has
// no resolution, no palette, the rows' size stated.
void PutBitmapHeaders(unsigned char* at, QSize size, int dotsX, int dotsY, quint32 rowBytes) {
    const auto u16 = [&](int offset, quint16 value) { qToLittleEndian(value, at + offset); };
    const auto u32 = [&](int offset, quint32 value) { qToLittleEndian(value, at + offset); };
    const quint32 image = rowBytes * static_cast<quint32>(size.height());
    at[0] = 'B';
    at[1] = 'M';
    u32(2, 54 + image);
    u32(6, 0);
    u32(10, 54);
    u32(14, 40);
    u32(18, static_cast<quint32>(size.width()));
    u32(22, static_cast<quint32>(size.height()));
    u16(26, 1);
    u16(28, 24);
    u32(30, 0);
    u32(34, image);
    u32(38, static_cast<quint32>(dotsX ? dotsX : 2834));
    u32(42, static_cast<quint32>(dotsY ? dotsY : 2834));
    u32(46, 0);
    u32(50, 0);
}

namespace {

// One row of native 32-bit pixels as blue, green, red bytes, `width` * 3 of them.
// On a little-endian machine each word already starts with those three bytes, so every
// store of four bytes is overwritten by the next pixel's but the last.
void PackBitmapRow(const QRgb* in, unsigned char* out, int width) {
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        for (int x = 0; x + 1 < width; ++x) std::memcpy(out + 3 * x, in + x, 4);
        if (width > 0) std::memcpy(out + 3 * (width - 1), in + width - 1, 3);
    } else {
        for (int x = 0; x < width; ++x) {
            out[3 * x] = static_cast<unsigned char>(qBlue(in[x]));
            out[3 * x + 1] = static_cast<unsigned char>(qGreen(in[x]));
            out[3 * x + 2] = static_cast<unsigned char>(qRed(in[x]));
        }
    }
}

}  // namespace

qsizetype BitmapRowBytes(int width) {
    return (qsizetype(width) * 3 + 3) & ~qsizetype(3);
}

void PackBitmapRows(const QImage& rgb, int from, int to, unsigned char* out) {
    const int width = rgb.width();
    const qsizetype rowBytes = BitmapRowBytes(width);
    for (int y = to - 1; y >= from; --y, out += rowBytes) {
        PackBitmapRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y)), out, width);
        std::memset(out + 3 * width, 0, static_cast<size_t>(rowBytes - 3 * width));
    }
}

bool WritePackedBitmap(QIODevice& out, QSize size, int dotsX, int dotsY,
                       const unsigned char* rows) {
    const qsizetype rowBytes = BitmapRowBytes(size.width());
    unsigned char header[54];
    PutBitmapHeaders(header, size, dotsX, dotsY, static_cast<quint32>(rowBytes));
    return out.write(reinterpret_cast<const char*>(header), 54) == 54 &&
           WriteInPieces(out, reinterpret_cast<const char*>(rows), rowBytes * size.height());
}

bool WriteBitmap(const QImage& picture, QIODevice& out) {
    if (picture.isNull()) return false;
    // Every other format, alpha and palettes included, as 32-bit RGB first, as always.
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) return false;
    const int width = rgb.width();
    const qsizetype rowBytes = BitmapRowBytes(width);
    if (rowBytes > 0xffffffffLL / std::max(1, rgb.height()) - 54) return false;
    // About a megabyte a write: few calls, and the band stays in the cache.
    const int band = static_cast<int>(std::clamp<qsizetype>((1 << 20) / rowBytes, 1, rgb.height()));
    std::vector<unsigned char> buffer(
        static_cast<size_t>(std::max<qsizetype>(54, band * rowBytes)));
    PutBitmapHeaders(buffer.data(), rgb.size(), rgb.dotsPerMeterX(), rgb.dotsPerMeterY(),
                     static_cast<quint32>(rowBytes));
    if (out.write(reinterpret_cast<const char*>(buffer.data()), 54) != 54) return false;
    for (int y = rgb.height(); y > 0;) {
        const int rows = std::min(band, y);
        y -= rows;
        PackBitmapRows(rgb, y, y + rows, buffer.data());
        const qsizetype bytes = rows * rowBytes;
        if (out.write(reinterpret_cast<const char*>(buffer.data()), bytes) != bytes) return false;
    }
    return true;
}

Outcome SavePicture(const QImage& picture, const QString& path, ReplaceFile::Kind kind) {
    if (picture.isNull()) return Outcome::Failed(QStringLiteral("there is no picture"));
    ReplaceFile file(path, kind);
    if (!file.open()) return Outcome::Failed(file.reason());
    if (!WriteBitmap(picture, file.device())) {
        const QString why = file.device().errorString();
        file.cancel();
        return Outcome::Failed(why.isEmpty() ? QStringLiteral("the picture is too large") : why);
    }
    if (!file.commit()) return Outcome::Failed(file.reason());
    return Outcome::Done();
}

std::optional<QImage> LoadPicture(const QString& path) {
    const BitmapRead read = ReadBitmapFile(path);
    if (!read.ok()) return std::nullopt;
    return read.picture.convertToFormat(QImage::Format_RGB32);
}
