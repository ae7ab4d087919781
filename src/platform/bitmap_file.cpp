#include "platform/bitmap_file.h"

#include "platform/bitmap_reader.h"
#include "platform/replace_file.h"

#include <QImageWriter>
#include <QSaveFile>

bool SavePicture(const QImage& picture, const QString& path) {
    if (picture.isNull()) return false;
    // Qt's writer gives 24-bit rows for every picture of more than 8 bits a pixel.
    const QImage rgb = picture.depth() > 8 && !picture.hasAlphaChannel()
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&file, "bmp");
    if (!writer.write(rgb)) {
        file.cancelWriting();
        return false;
    }
    return CommitSaveFile(file);
}

std::optional<QImage> LoadPicture(const QString& path) {
    const BitmapRead read = ReadBitmapFile(path);
    if (!read.ok()) return std::nullopt;
    return read.picture.convertToFormat(QImage::Format_RGB32);
}
