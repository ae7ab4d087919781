#include "formats/jpeg_progressive.h"

#include <turbojpeg.h>

#include <QSysInfo>
#include <algorithm>
#include <limits>

std::optional<QByteArray> CompressProgressive(const QImage& picture, int quality) {
    if (picture.isNull()) return std::nullopt;
    // TurboJPEG reads Qt's pixels in place: page pictures run to hundreds of megabytes,
    // a converted copy would double that.
    QImage pixels = picture;
    int format = TJPF_RGB;
    switch (picture.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            // Opaque page pictures: the alpha byte is skipped.
            format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
            break;
        case QImage::Format_RGB888:
            break;
        case QImage::Format_BGR888:
            format = TJPF_BGR;
            break;
        default:
            pixels = picture.convertToFormat(QImage::Format_RGB888);
            break;
    }
    tjhandle compressor = tjInitCompress();
    if (!compressor) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // The accurate DCT, as for baseline files: the fast one's blocks cost more bytes.
    const int rc = tjCompress2(compressor, pixels.constBits(), pixels.width(),
                               static_cast<int>(pixels.bytesPerLine()), pixels.height(), format,
                               &jpeg, &size, TJSAMP_420, std::clamp(quality, 1, 100),
                               TJFLAG_PROGRESSIVE | TJFLAG_ACCURATEDCT);
    std::optional<QByteArray> out;
    if (rc == 0 && size > 0 && size <= static_cast<unsigned long>(std::numeric_limits<int>::max()))
        out = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    tjFree(jpeg);
    tjDestroy(compressor);
    return out;
}
