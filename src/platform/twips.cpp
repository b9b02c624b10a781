#include "platform/twips.h"

#include <QWidget>

namespace quillfen {

QMargins reportedFrame(const QWidget* w)
{
    const QRect inner = w->geometry();
    const QRect outer = w->frameGeometry();
    const QMargins m(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                     outer.bottom() - inner.bottom());
    return m.top() > m.left() ? m : QMargins();
}

} // namespace quillfen
