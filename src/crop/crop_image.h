#pragma once
#include <QImage>
#include <QRect>

// The pixels of `composite` inside `area`, at the area's size. Parts of the area that
// lie outside the composite come out white, the picture's own background. An empty
// area, or one too large to hold (over 2^28 pixels), gives a null image.
QImage CropComposite(const QImage& composite, const QRect& area);
