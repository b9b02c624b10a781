#pragma once

#include <QSettings>

namespace quillfen {

// How the per-user settings are kept: an INI file on POSIX systems, the registry under
// HKEY_CURRENT_USER\Software on Windows. Keys and values are the same in both.
QSettings::Format settingsFormat();

} // namespace quillfen
