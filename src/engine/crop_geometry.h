#pragma once
// Plain geometry of the crop editor: rectangles in twips and the editor's own
// twips-to-pixel conversion, which is fixed at 15 twips per pixel.
#include <QRect>

#include "engine/twips.h"

struct TwipRect {
    Twips Left = 0;
    Twips Top = 0;
    Twips Width = 0;
    Twips Height = 0;
};

// t \ 15: t rounded to the nearest 32-bit integer (halves to even), then divided by
// 15 with the quotient truncated toward zero, so -20 gives -1. Values beyond the
// 32-bit range saturate instead of failing.
int PixelOf(double twips);

// The pixels a rectangle covers when each edge goes through PixelOf: what the bars
// look like on screen matches what the coordinate boxes say and what the crop copies.
QRect PixelRectOf(const TwipRect& rect);
