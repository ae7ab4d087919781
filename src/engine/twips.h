#pragma once
// Positions and sizes are kept in twips (1/1440 inch) as single-precision values,
// as the layout was designed; they become pixels only where a widget is touched.
#include <QRect>
#include <algorithm>
#include <cmath>

using Twips = float;

inline constexpr int kTwipsPerPixel = 15;

// Widget boundary: the window system rounds a twip position to the nearest pixel.
// Values no window could hold (typed or hand-edited ones) stop at a billion pixels.
inline int TwipsToPixels(double twips) {
    constexpr double kLimit = 1e9;
    const double pixels = twips / kTwipsPerPixel;
    if (std::isnan(pixels)) return 0;
    return static_cast<int>(std::lround(std::clamp(pixels, -kLimit, kLimit)));
}

inline Twips PixelsToTwips(int pixels) {
    return static_cast<Twips>(pixels) * static_cast<Twips>(kTwipsPerPixel);
}

// A rectangle in twips as the widget's pixel rectangle.
inline QRect TwipsRectToPixels(double left, double top, double width, double height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
