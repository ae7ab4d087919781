#include "export/picture_file.h"

#include <turbojpeg.h>

#include <QFileInfo>
#include <QSysInfo>
#include <algorithm>
#include <limits>

#include "platform/bitmap_file.h"
#include "platform/gif_control.h"
#include "platform/jpeg_baseline.h"
#include "platform/png_file.h"
#include "platform/replace_file.h"

namespace {

bool WriteWhole(const QString& path, const char* data, qint64 size) {
    ReplaceFile file(path);
    if (!file.open()) return false;
    if (file.device().write(data, size) != size) {
        file.cancel();
        return false;
    }
    return file.commit();
}

// TurboJPEG reads Qt's 32-bit pixels in place: page pictures run to hundreds of
// megabytes, a converted copy would double that.
bool WriteJpeg(const QImage& picture, const QString& path, JpegChoice choice) {
    // Baseline files get the same optimised tables as Save As gives them.
    if (!choice.progressive) {
        const int quality = std::clamp(choice.quality, 1, 100);
        std::optional<QByteArray> jpeg = CompressBaseline(picture, quality);
        if (!jpeg) jpeg = CompressBaseline(picture.convertToFormat(QImage::Format_RGB888), quality);
        return jpeg && WriteWhole(path, jpeg->constData(), jpeg->size());
    }
    QImage pixels = picture;
    int format = TJPF_BGRX;
    switch (picture.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            // Opaque page pictures: the alpha byte is skipped.
            format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
            break;
        case QImage::Format_RGB888:
            format = TJPF_RGB;
            break;
        case QImage::Format_BGR888:
            format = TJPF_BGR;
            break;
        default:
            pixels = picture.convertToFormat(QImage::Format_RGB888);
            format = TJPF_RGB;
            break;
    }
    tjhandle compressor = tjInitCompress();
    if (!compressor) return false;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // The accurate DCT, as for baseline files and Save As.
    const int flags = TJFLAG_PROGRESSIVE | TJFLAG_ACCURATEDCT;
    const int rc = tjCompress2(compressor, pixels.constBits(), pixels.width(),
                               static_cast<int>(pixels.bytesPerLine()), pixels.height(), format,
                               &jpeg, &size, TJSAMP_420, std::clamp(choice.quality, 1, 100), flags);
    bool ok = rc == 0 && size > 0 &&
              size <= static_cast<unsigned long>(std::numeric_limits<qint64>::max()) &&
              WriteWhole(path, reinterpret_cast<const char*>(jpeg), static_cast<qint64>(size));
    tjFree(jpeg);
    tjDestroy(compressor);
    return ok;
}

}  // namespace

std::optional<PictureFormat> PictureFormatForPath(const QString& path) {
    const QString name = QFileInfo(path).fileName().toLower();
    if (name.endsWith(u".bmp")) return PictureFormat::Bmp;
    if (name.endsWith(u".jpg") || name.endsWith(u".jpeg")) return PictureFormat::Jpeg;
    if (name.endsWith(u".gif")) return PictureFormat::Gif;
    if (name.endsWith(u".png")) return PictureFormat::Png;
    return std::nullopt;
}

bool WritePictureFile(const QImage& picture, const QString& path, PictureFormat format,
                      JpegChoice jpeg) {
    if (picture.isNull()) return false;
    switch (format) {
        case PictureFormat::Bmp:
            return SavePicture(picture, path);
        case PictureFormat::Jpeg:
            return WriteJpeg(picture, path, jpeg);
        case PictureFormat::Gif:
            return WriteGif(picture, path);
        case PictureFormat::Png: {
            const std::optional<QByteArray> bytes = EncodePng(picture);
            return bytes && WriteWhole(path, bytes->constData(), bytes->size());
        }
    }
    return false;
}
