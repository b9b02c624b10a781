#pragma once

#include <QRect>

#include <algorithm>
#include <cmath>

namespace quillfen {

// Window geometry is kept in twips, 15 to the device-independent pixel.
constexpr float kTwipsPerPixel = 15;

// Stored geometry may hold anything: far-off values are clamped, never converted out of range.
inline int pixelsFromTwips(float twips)
{
    const float pixels = std::clamp(twips / kTwipsPerPixel, -1.0e6f, 1.0e6f);
    return int(std::lround(std::isnan(pixels) ? 0.0f : pixels));
}

// Rounds up, so a size set to a minimum never falls below it.
inline int pixelsAtLeast(float twips)
{
    const float pixels = std::clamp(twips / kTwipsPerPixel - 0.001f, 1.0f, 1.0e6f);
    return std::isnan(pixels) ? 1 : int(std::ceil(pixels));
}

inline float twipsFromPixels(int pixels)
{
    return float(pixels) * kTwipsPerPixel;
}

// A control's place, given in twips.
inline QRect pixelRect(float left, float top, float width, float height)
{
    return QRect(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width),
                 pixelsFromTwips(height));
}

} // namespace quillfen
