#include "crop/crop_image.h"

#include <QPainter>

#include "platform/program_folder.h"

QString CroppedFilePath() {
    return AppFile(QStringLiteral("cropped.bmp"));
}

QImage CropComposite(const QImage& composite, const QRect& area) {
    if (area.width() <= 0 || area.height() <= 0) return {};
    // Bars typed far beyond the picture would ask for gigabytes of white.
    constexpr qint64 kMostPixels = qint64(1) << 26;
    if (qint64(area.width()) * area.height() > kMostPixels) return {};
    QImage result(area.size(), QImage::Format_RGB32);
    if (result.isNull()) return {};
    result.fill(Qt::white);
    const QRect inside = area.intersected(composite.rect());
    if (!inside.isEmpty()) {
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(inside.topLeft() - area.topLeft(), composite, inside);
    }
    return result;
}
