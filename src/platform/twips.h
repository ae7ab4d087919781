#pragma once
// Positions and sizes are kept in twips (1/1440 inch) as single-precision values,
// as the layout was designed; they become pixels only where a widget is touched.
#include <cmath>

using Twips = float;

inline constexpr int kTwipsPerPixel = 15;

// Widget boundary: the window system rounds a twip position to the nearest pixel.
inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline Twips PixelsToTwips(int pixels) {
    return static_cast<Twips>(pixels * kTwipsPerPixel);
}
