#pragma once
#include <QImage>
#include <QRect>
#include <QString>

// cropped.bmp in the program folder: the picture that Save As writes.
QString CroppedFilePath();

// The pixels of `composite` inside `area`, at the area's size. Parts of the area that
// lie outside the composite come out white, the picture's own background. An empty
// area, or one too large to hold (over 2^26 pixels), gives a null image.
QImage CropComposite(const QImage& composite, const QRect& area);
