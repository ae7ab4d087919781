#include "formats/webp_file.h"

#include <webp/encode.h>

#include <algorithm>

namespace {

// libwebp's lossless effort: at 7 a page's picture comes out smaller than the format's
// own tool makes it by default, in about the same time; the levels below save a little
// time for files up to twice the size.
constexpr int kLosslessLevel = 7;

int Collect(const uint8_t* data, size_t size, const WebPPicture* picture) {
    auto* out = static_cast<QByteArray*>(picture->custom_ptr);
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    return 1;
}

}  // namespace

std::optional<QByteArray> EncodeWebp(const QImage& picture, std::optional<int> quality,
                                     QString* why) {
    if (picture.width() > kWebpLargestSide || picture.height() > kWebpLargestSide) {
        *why = QStringLiteral("a WebP picture is at most %1 pixels a side").arg(kWebpLargestSide);
        return std::nullopt;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    WebPConfig config;
    // Lossy at the quality asked, with the encoder's middle method.
    if (!WebPConfigInit(&config) ||
        (quality ? false : !WebPConfigLosslessPreset(&config, kLosslessLevel))) {
        *why = QStringLiteral("the WebP encoder could not be set up");
        return std::nullopt;
    }
    if (quality) {
        config.quality = static_cast<float>(std::clamp(*quality, 1, 100));
        config.method = 4;
    }
    config.thread_level = 1;
    WebPPicture frame;
    if (!WebPPictureInit(&frame)) {
        *why = QStringLiteral("the WebP encoder could not be set up");
        return std::nullopt;
    }
    frame.use_argb = config.lossless ? 1 : 0;
    frame.width = rgb.width();
    frame.height = rgb.height();
    // Format_RGB32 lies in memory as B, G, R, A on this machine's byte order.
    if (!WebPPictureImportBGRX(&frame, rgb.constBits(), static_cast<int>(rgb.bytesPerLine()))) {
        WebPPictureFree(&frame);
        *why = QStringLiteral("no memory for the WebP encoder");
        return std::nullopt;
    }
    QByteArray out;
    frame.writer = Collect;
    frame.custom_ptr = &out;
    const bool encoded = WebPEncode(&config, &frame) != 0;
    const WebPEncodingError error = frame.error_code;
    WebPPictureFree(&frame);
    if (!encoded) {
        *why = QStringLiteral("the WebP encoder failed (error %1)").arg(static_cast<int>(error));
        return std::nullopt;
    }
    return out;
}
