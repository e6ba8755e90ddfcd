// Twips (1/1440 inch), the unit every stored window position and every layout
// figure of the windows is given in, and their conversion to pixels at the
// widget boundary with the screen's logical DPI (15 twips a pixel at 96 DPI).
#pragma once

#include <cmath>

namespace talvo::platform {

inline constexpr int kTwipsPerInch = 1440;

inline int twipsToPixels(double twips, double logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline long pixelsToTwips(double pixels, double logicalDpi) {
    return std::lround(pixels * kTwipsPerInch / logicalDpi);
}

} // namespace talvo::platform
