#pragma once

#include "platform/twips.h"

#include <QWidget>

namespace quillfen {

// A form's outer size in twips counts its frame (borders and caption) as the design drew it,
// whatever frame the window system draws, which is unknown before the first show: so stored sizes
// come back exactly and the layout does not jump once the window is framed. `menuPixels` is a menu
// bar's height inside the widget, which the design counts as frame too.
struct DesignFrame
{
    float width = 0;
    float height = 0;
};

inline float outerWidth(const QWidget& form, DesignFrame frame)
{
    return twipsFromPixels(form.width()) + frame.width;
}

inline float outerHeight(const QWidget& form, DesignFrame frame, int menuPixels = 0)
{
    return twipsFromPixels(form.height() - menuPixels) + frame.height;
}

inline void setOuterWidth(QWidget& form, float twips, DesignFrame frame)
{
    form.resize(pixelsAtLeast(twips - frame.width), form.height());
}

inline void setOuterHeight(QWidget& form, float twips, DesignFrame frame, int menuPixels = 0)
{
    form.resize(form.width(), pixelsAtLeast(twips - frame.height) + menuPixels);
}

// The smallest widget size whose outer size is at least `width` x `height` twips: the minimum the
// window system is told, so that a drag stops there instead of going below and jumping back.
inline QSize minimumPixels(float width, float height, DesignFrame frame, int menuPixels = 0)
{
    return QSize(pixelsAtLeast(width - frame.width), pixelsAtLeast(height - frame.height) + menuPixels);
}

} // namespace quillfen
