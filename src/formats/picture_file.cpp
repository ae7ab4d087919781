#include "formats/picture_file.h"

#include <QFileInfo>
#include <algorithm>

#include "files/replace_file.h"
#include "formats/bitmap_file.h"
#include "formats/gif_file.h"
#include "formats/jpeg_baseline.h"
#include "formats/jpeg_progressive.h"
#include "formats/png_file.h"

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

bool WriteJpeg(const QImage& picture, const QString& path, JpegChoice choice) {
    const int quality = std::clamp(choice.quality, 1, 100);
    std::optional<QByteArray> jpeg;
    if (choice.progressive) {
        jpeg = CompressProgressive(picture, quality);
    } else {
        // Baseline files get the same optimised tables as Save As gives them.
        jpeg = CompressBaseline(picture, quality);
        if (!jpeg) jpeg = CompressBaseline(picture.convertToFormat(QImage::Format_RGB888), quality);
    }
    return jpeg && WriteWhole(path, jpeg->constData(), jpeg->size());
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
