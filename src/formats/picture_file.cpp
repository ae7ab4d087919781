#include "formats/picture_file.h"

#include <algorithm>
#include <limits>

#include "files/replace_file.h"
#include "formats/avif_file.h"
#include "formats/bitmap_file.h"
#include "formats/gif_file.h"
#include "formats/jpeg_baseline.h"
#include "formats/jpeg_progressive.h"
#include "formats/png_file.h"
#include "formats/webp_file.h"

namespace {

// AVIF's quality when none is given: about where its pictures of pages look as a JPEG
// at 85 does, at about half the size.
constexpr int kAvifQuality = 60;

Outcome WriteJpeg(const QImage& picture, const QString& path, JpegChoice choice) {
    const int quality = std::clamp(choice.quality, 1, 100);
    std::optional<QByteArray> jpeg;
    if (choice.progressive) {
        jpeg = CompressProgressive(picture, quality);
    } else {
        // Baseline files get the same optimised tables as Save As gives them.
        jpeg = CompressBaseline(picture, quality);
        if (!jpeg) jpeg = CompressBaseline(picture.convertToFormat(QImage::Format_RGB888), quality);
    }
    if (!jpeg) return Outcome::Failed(QStringLiteral("the JPEG encoder failed"));
    return ReplaceFileWith(path, *jpeg);
}

}  // namespace

std::optional<PictureFormat> PictureFormatForPath(const QString& path) {
    static const struct {
        QLatin1StringView ending;
        PictureFormat format;
    } kEndings[] = {
        {QLatin1StringView(".bmp"), PictureFormat::Bmp},
        {QLatin1StringView(".jpg"), PictureFormat::Jpeg},
        {QLatin1StringView(".jpeg"), PictureFormat::Jpeg},
        {QLatin1StringView(".jpe"), PictureFormat::Jpeg},
        {QLatin1StringView(".gif"), PictureFormat::Gif},
        {QLatin1StringView(".png"), PictureFormat::Png},
        {QLatin1StringView(".webp"), PictureFormat::Webp},
        {QLatin1StringView(".avif"), PictureFormat::Avif},
        {QLatin1StringView(".pdf"), PictureFormat::Pdf},
    };
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const QStringView name = QStringView(path).mid(cut + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return std::nullopt;
    const QStringView ending = name.mid(dot);
    for (const auto& entry : kEndings)
        if (ending.compare(entry.ending, Qt::CaseInsensitive) == 0) return entry.format;
    return std::nullopt;
}

QString PictureFormatName(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp:
            return QStringLiteral("BMP");
        case PictureFormat::Jpeg:
            return QStringLiteral("JPEG");
        case PictureFormat::Gif:
            return QStringLiteral("GIF");
        case PictureFormat::Webp:
            return QStringLiteral("WebP");
        case PictureFormat::Avif:
            return QStringLiteral("AVIF");
        case PictureFormat::Pdf:
            return QStringLiteral("PDF");
        case PictureFormat::Png:
            break;
    }
    return QStringLiteral("PNG");
}

qint64 MostPictureRows(PictureFormat format, int width) {
    switch (format) {
        case PictureFormat::Jpeg:
            // The encoder's own bound, a little under the format's 16 bits.
            return 65500;
        case PictureFormat::Gif:
            return 65535;
        case PictureFormat::Webp:
            return kWebpLargestSide;
        case PictureFormat::Avif:
            return std::min<qint64>(kAvifLargestRows, kAvifLargestPixels / std::max(1, width));
        case PictureFormat::Bmp: {
            // 24 bits a pixel, rows padded to 4 bytes, after a 54-byte header.
            const qint64 row = BitmapRowBytes(std::max(1, width));
            return std::min<qint64>((0xffffffffLL - 54) / row, 0x7fffffff);
        }
        case PictureFormat::Png:
        case PictureFormat::Pdf:
            break;
    }
    return 0x7fffffff;
}

Outcome WritePictureFile(const QImage& picture, const QString& path, PictureFormat format,
                         JpegChoice jpeg) {
    if (picture.isNull()) return Outcome::Failed(QStringLiteral("there is no picture"));
    switch (format) {
        case PictureFormat::Bmp:
            return SavePicture(picture, path);
        case PictureFormat::Jpeg:
            return WriteJpeg(picture, path, jpeg);
        case PictureFormat::Gif:
            return WriteGif(picture, path);
        case PictureFormat::Png: {
            const std::optional<QByteArray> bytes = EncodePng(picture);
            if (!bytes) return Outcome::Failed(QStringLiteral("the PNG encoder failed"));
            return ReplaceFileWith(path, *bytes);
        }
        case PictureFormat::Webp:
        case PictureFormat::Avif: {
            QString why;
            const std::optional<QByteArray> bytes =
                format == PictureFormat::Webp
                    ? EncodeWebp(
                          picture,
                          jpeg.qualityGiven ? std::optional<int>(jpeg.quality) : std::nullopt, &why)
                    : EncodeAvif(picture, jpeg.qualityGiven ? jpeg.quality : kAvifQuality, &why);
            if (!bytes) return Outcome::Failed(why);
            return ReplaceFileWith(path, *bytes);
        }
        case PictureFormat::Pdf:
            break;
    }
    return Outcome::Failed(QStringLiteral("no writer for this format"));
}

qint64 MostPicturePixels(PictureFormat format) {
    if (format == PictureFormat::Avif) return kAvifLargestPixels;
    // Three bytes a pixel and up to three of padding a row: a little under a third of
    // the 32-bit size.
    if (format == PictureFormat::Bmp) return (0xffffffffLL - 54) / 4;
    return std::numeric_limits<qint64>::max();
}

qint64 MostPictureColumns(PictureFormat format) {
    if (format == PictureFormat::Webp) return kWebpLargestSide;
    return format == PictureFormat::Avif ? kAvifLargestColumns : 65535;
}
