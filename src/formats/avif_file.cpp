#include "formats/avif_file.h"

#include <avif/avif.h>

#include <QThread>
#include <algorithm>
#include <memory>

std::optional<QByteArray> EncodeAvif(const QImage& picture, int quality, QString* why) {
    if (picture.height() > kAvifLargestRows || picture.width() > kAvifLargestColumns ||
        qint64(picture.width()) * picture.height() > kAvifLargestPixels) {
        *why = QStringLiteral(
                   "an AVIF picture that decoders open is at most %1 x %2 pixels, "
                   "%3 in all")
                   .arg(kAvifLargestColumns)
                   .arg(kAvifLargestRows)
                   .arg(kAvifLargestPixels);
        return std::nullopt;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::unique_ptr<avifImage, decltype(&avifImageDestroy)> image(
        avifImageCreate(rgb.width(), rgb.height(), 8, AVIF_PIXEL_FORMAT_YUV444), avifImageDestroy);
    if (!image) {
        *why = QStringLiteral("no memory for the AVIF encoder");
        return std::nullopt;
    }
    image->yuvRange = AVIF_RANGE_FULL;
    avifRGBImage source;
    avifRGBImageSetDefaults(&source, image.get());
    // Format_RGB32 lies in memory as B, G, R, A on this machine's byte order; the A is
    // no alpha (it is always opaque).
    source.format = AVIF_RGB_FORMAT_BGRA;
    source.ignoreAlpha = AVIF_TRUE;
    source.pixels = const_cast<uint8_t*>(rgb.constBits());
    source.rowBytes = static_cast<uint32_t>(rgb.bytesPerLine());
    if (const avifResult r = avifImageRGBToYUV(image.get(), &source); r != AVIF_RESULT_OK) {
        *why =
            QStringLiteral("the AVIF encoder failed: %1").arg(QLatin1String(avifResultToString(r)));
        return std::nullopt;
    }
    std::unique_ptr<avifEncoder, decltype(&avifEncoderDestroy)> encoder(avifEncoderCreate(),
                                                                        avifEncoderDestroy);
    // Quality 100 is the finest quantizer (0), 1 the coarsest (63); speed 8 keeps a tall
    // page to seconds rather than minutes.
    const int quantizer = (100 - std::clamp(quality, 1, 100)) * 63 / 99;
    encoder->minQuantizer = quantizer;
    encoder->maxQuantizer = quantizer;
    encoder->speed = 8;
    encoder->maxThreads = std::max(1, QThread::idealThreadCount());
    avifRWData out = AVIF_DATA_EMPTY;
    const avifResult r = avifEncoderWrite(encoder.get(), image.get(), &out);
    if (r != AVIF_RESULT_OK) {
        avifRWDataFree(&out);
        *why =
            QStringLiteral("the AVIF encoder failed: %1").arg(QLatin1String(avifResultToString(r)));
        return std::nullopt;
    }
    QByteArray bytes(reinterpret_cast<const char*>(out.data), static_cast<qsizetype>(out.size));
    avifRWDataFree(&out);
    return bytes;
}
