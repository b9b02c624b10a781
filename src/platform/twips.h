#pragma once

#include <QMargins>

#include <algorithm>
#include <cmath>

class QWidget;

namespace quillfen {

// Window geometry is kept in twips, 15 to the device-independent pixel.
constexpr float kTwipsPerPixel = 15;

inline int pixelsFromTwips(float twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

// Rounds up, so a size set to a minimum never falls below it.
inline int pixelsAtLeast(float twips)
{
    return std::max(1, int(std::ceil(twips / kTwipsPerPixel - 0.001f)));
}

inline float twipsFromPixels(int pixels)
{
    return float(pixels) * kTwipsPerPixel;
}

// The window system's frame around a top-level window, counted only when it has a caption bar;
// empty otherwise (offscreen, or a window manager that draws none), and the window is then
// measured with the frame of its design.
QMargins reportedFrame(const QWidget* window);

} // namespace quillfen
