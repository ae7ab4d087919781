#pragma once
#include <QImage>
#include <QRect>
#include <QString>

#include "files/program_files.h"

// The part of `area` that lies on the composite: bars placed beyond the picture (say,
// remembered from a taller capture) must not add white the page never had.
QRect ClippedCropArea(const QImage& composite, const QRect& area);

// The pixels of `composite` inside ClippedCropArea(composite, area), at that size. An
// area that is empty or lies wholly outside the composite gives a null image.
QImage CropComposite(const QImage& composite, const QRect& area);

// The message when the crop cannot be written to `path`, for `reason`.
QString CropNotSavedText(const QString& path, const QString& reason);
