#include "engine/crop_image.h"

#include <QDir>

QRect ClippedCropArea(const QImage& composite, const QRect& area) {
    if (area.width() <= 0 || area.height() <= 0) return {};
    const QRect inside = area.intersected(composite.rect());
    return inside.isEmpty() ? QRect() : inside;
}

QImage CropComposite(const QImage& composite, const QRect& area) {
    const QRect inside = ClippedCropArea(composite, area);
    if (inside.isEmpty()) return {};
    return composite.copy(inside).convertToFormat(QImage::Format_RGB32);
}

QString CropNotSavedText(const QString& path, const QString& reason) {
    return QStringLiteral(
               "The crop could not be saved: Glimpa cannot write %1 (%2). The bars stay on "
               "show for another try.")
        .arg(QDir::toNativeSeparators(path), reason);
}
