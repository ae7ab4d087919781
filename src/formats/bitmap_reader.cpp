#include "formats/bitmap_reader.h"

#include <QtEndian>
#include <bit>
#include <cstring>
#include <vector>

#include "files/regular_file.h"

namespace {

uint16_t U16(QByteArrayView b, qsizetype at) {
    return qFromLittleEndian<uint16_t>(b.data() + at);
}
uint32_t U32(QByteArrayView b, qsizetype at) {
    return qFromLittleEndian<uint32_t>(b.data() + at);
}
int32_t I32(QByteArrayView b, qsizetype at) {
    return qFromLittleEndian<int32_t>(b.data() + at);
}

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitFields = 3;

BitmapHeaderCheck Refuse(const QString& why) {
    return BitmapHeaderCheck{std::nullopt, why};
}

// A channel mask as a shift and a width, so that any width scales to eight bits.
struct Channel {
    int shift = 0;
    int bits = 0;
    uint32_t mask = 0;
    uint8_t Of(uint32_t pixel) const {
        if (bits == 0) return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
        // Repeat the few bits across the byte: 5 bits 11111 become 255.
        uint32_t out = 0;
        for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | v;
        return static_cast<uint8_t>(out >> (((8 + bits - 1) / bits) * bits - 8));
    }
};

Channel ChannelOf(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask == 0) return c;
    c.shift = std::countr_zero(mask);
    c.bits = static_cast<int>(std::bit_width(mask >> c.shift));
    return c;
}

}  // namespace

BitmapHeaderCheck CheckBitmapHeader(QByteArrayView head, qint64 fileSize) {
    if (fileSize < 0 || head.size() > fileSize) return Refuse(QStringLiteral("unreadable length"));
    if (head.size() < 18 || head[0] != 'B' || head[1] != 'M')
        return Refuse(QStringLiteral("not a bitmap file"));
    const uint32_t infoSize = U32(head, 14);
    // The Windows info headers: the basic one and its longer versions 2 to 5.
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return Refuse(QStringLiteral("unsupported bitmap header of %1 bytes").arg(infoSize));
    if (head.size() < 14 + qsizetype(infoSize))
        return Refuse(QStringLiteral("truncated: the header is incomplete"));

    BitmapLayout l;
    const int32_t width = I32(head, 18);
    const int32_t height = I32(head, 22);
    const uint16_t planes = U16(head, 26);
    l.bitsPerPixel = U16(head, 28);
    const uint32_t compression = U32(head, 30);
    const uint32_t coloursUsed = U32(head, 46);
    const uint32_t pixelOffset = U32(head, 10);

    const qint64 rows = height < 0 ? -qint64{height} : qint64{height};
    if (width <= 0 || rows == 0)
        return Refuse(QStringLiteral("empty picture of %1 x %2").arg(width).arg(height));
    if (width > kMaxBitmapWidth || rows > kMaxBitmapHeight ||
        qint64{width} * rows > kMaxBitmapPixels)
        return Refuse(QStringLiteral("picture of %1 x %2 is larger than any Glimpa makes")
                          .arg(width)
                          .arg(rows));
    if (planes != 1) return Refuse(QStringLiteral("%1 colour planes").arg(planes));
    l.width = width;
    l.height = static_cast<int>(rows);
    l.topDown = height < 0;

    switch (l.bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return Refuse(QStringLiteral("unsupported depth of %1 bits").arg(l.bitsPerPixel));
    }
    qint64 tablesEnd = 14 + qint64{infoSize};
    if (compression == kBiBitFields && (l.bitsPerPixel == 16 || l.bitsPerPixel == 32)) {
        // The basic header keeps its three masks after it; the longer ones inside.
        if (infoSize == 40) tablesEnd += 12;
        if (head.size() < tablesEnd) return Refuse(QStringLiteral("truncated: masks missing"));
        l.bitFields = true;
        for (int i = 0; i < 3; ++i) l.masks[i] = U32(head, 54 + 4 * i);
        if (l.bitsPerPixel == 16)
            for (uint32_t& m : l.masks) m &= 0xFFFF;
    } else if (compression != kBiRgb) {
        return Refuse(QStringLiteral("unsupported compression %1").arg(compression));
    } else if (l.bitsPerPixel == 16) {
        l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;  // 5-5-5
    } else if (l.bitsPerPixel == 32) {
        l.masks[0] = 0x00FF0000, l.masks[1] = 0x0000FF00, l.masks[2] = 0x000000FF;
    }

    if (l.bitsPerPixel <= 8) {
        const uint32_t most = 1u << l.bitsPerPixel;
        if (coloursUsed > most)
            return Refuse(QStringLiteral("palette of %1 colours for %2 bits")
                              .arg(coloursUsed)
                              .arg(l.bitsPerPixel));
        l.paletteSize = static_cast<int>(coloursUsed == 0 ? most : coloursUsed);
        l.paletteOffset = static_cast<int>(tablesEnd);
        tablesEnd += qint64{l.paletteSize} * 4;
        if (head.size() < tablesEnd) return Refuse(QStringLiteral("truncated: palette missing"));
    }

    l.pixelOffset = pixelOffset;
    if (l.pixelOffset < tablesEnd)
        return Refuse(QStringLiteral("pixel offset %1 inside the header").arg(pixelOffset));
    l.stride = (qint64{width} * l.bitsPerPixel + 31) / 32 * 4;
    const qint64 needed = l.pixelOffset + l.stride * rows;
    if (fileSize < needed)
        return Refuse(QStringLiteral("truncated: %1 of %2 bytes").arg(fileSize).arg(needed));
    return BitmapHeaderCheck{l, QString()};
}

BitmapRead ReadBitmap(QIODevice& device, qint64 fileSize) {
    if (!device.seek(0)) return {QImage(), QStringLiteral("cannot read")};
    const QByteArray head = device.read(std::min(fileSize, kBitmapHeadBytes));
    const BitmapHeaderCheck check = CheckBitmapHeader(head, fileSize);
    if (!check.layout) return {QImage(), check.reason};
    const BitmapLayout& l = *check.layout;

    const bool plain24 = l.bitsPerPixel == 24;
    QImage picture(l.width, l.height, plain24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
    if (picture.isNull()) return {QImage(), QStringLiteral("not enough memory for the picture")};

    std::vector<QRgb> palette(static_cast<size_t>(l.paletteSize));
    for (int i = 0; i < l.paletteSize; ++i)
        palette[size_t(i)] = 0xFF000000u | (U32(head, l.paletteOffset + 4 * i) & 0xFFFFFFu);
    const Channel red = ChannelOf(l.masks[0]), green = ChannelOf(l.masks[1]),
                  blue = ChannelOf(l.masks[2]);

    if (!device.seek(l.pixelOffset)) return {QImage(), QStringLiteral("cannot read")};
    std::vector<uchar> row(static_cast<size_t>(l.stride));
    for (int stored = 0; stored < l.height; ++stored) {
        if (device.read(reinterpret_cast<char*>(row.data()), l.stride) != l.stride)
            return {QImage(), QStringLiteral("truncated: a row is missing")};
        const int y = l.topDown ? stored : l.height - 1 - stored;
        uchar* line = picture.scanLine(y);
        if (plain24) {
            std::memcpy(line, row.data(), size_t(l.width) * 3);
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(line);
        const uchar* in = row.data();
        for (int x = 0; x < l.width; ++x) {
            switch (l.bitsPerPixel) {
                case 1:
                case 4:
                case 8: {
                    const int perByte = 8 / l.bitsPerPixel;
                    const int shift = 8 - l.bitsPerPixel * (x % perByte + 1);
                    const int index = (in[x / perByte] >> shift) & ((1 << l.bitsPerPixel) - 1);
                    // An index past a short palette reads as black.
                    out[x] = index < l.paletteSize ? palette[size_t(index)] : 0xFF000000u;
                    break;
                }
                case 16:
                case 32: {
                    const uint32_t p = l.bitsPerPixel == 16
                                           ? qFromLittleEndian<uint16_t>(in + 2 * x)
                                           : qFromLittleEndian<uint32_t>(in + 4 * x);
                    out[x] = qRgb(red.Of(p), green.Of(p), blue.Of(p));
                    break;
                }
            }
        }
    }
    return {picture, QString()};
}

BitmapRead ReadBitmapFile(const QString& path) {
    const RegularFile opened = OpenRegularFile(path, kMaxBitmapFileBytes);
    if (!opened.file) return {QImage(), opened.reason};
    return ReadBitmap(*opened.file, opened.size);
}
