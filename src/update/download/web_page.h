#pragma once

// The download of a web page as the update check uses it. Qt Network lives behind this in a module
// of its own (quillfen_web_page, beside the program), loaded on the first check: starting the window
// loads neither it nor the libraries it brings (Kerberos, proxy discovery, compression).

#include <QString>

namespace quillfen {

// GetWebPage (mod_update_check.h) with its time-out given: whatever arrived by then is the page,
// put in `page` (a C entry point returns no Qt type).
using GetWebPageFunction = void (*)(const QString& url, qint32 accessType, int timeoutMs, QString* page);

// The module's one entry point, found by this name.
inline constexpr char kGetWebPage[] = "quillfenGetWebPage";
// Below the program directory, as the sound-device module.
inline constexpr char kWebPageModule[] = "modules/quillfen_web_page";

} // namespace quillfen
