#pragma once

#include <QIcon>

namespace quillfen {

// The program's icon, 16 and 32 pixels, for every window it opens.
QIcon programIcon();

} // namespace quillfen
