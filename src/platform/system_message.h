#pragma once

#include <QString>

namespace quillfen {

// What Windows says of an error code from GetLastError, for the error's description. Windows only.
QString systemMessage(unsigned long error);

} // namespace quillfen
