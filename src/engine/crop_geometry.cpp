#include "engine/crop_geometry.h"

#include <cmath>
#include <limits>

int PixelOf(double twips) {
    constexpr double kLow = std::numeric_limits<int>::min();
    constexpr double kHigh = std::numeric_limits<int>::max();
    if (std::isnan(twips)) return 0;
    // nearbyint follows the default rounding mode, which is to nearest, halves to even.
    const double rounded = std::nearbyint(twips);
    const int whole = rounded <= kLow    ? std::numeric_limits<int>::min()
                      : rounded >= kHigh ? std::numeric_limits<int>::max()
                                         : static_cast<int>(rounded);
    return whole / kTwipsPerPixel;
}

QRect PixelRectOf(const TwipRect& rect) {
    const int left = PixelOf(rect.Left);
    const int top = PixelOf(rect.Top);
    const int right = PixelOf(double(rect.Left) + double(rect.Width));
    const int bottom = PixelOf(double(rect.Top) + double(rect.Height));
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}
