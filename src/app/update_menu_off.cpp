// A build without the update check: no network code, and no menu entry that could only fail.
#include "app/main_menus.h"
#include "mainwindow/frm_main.h"

#include <QAction>

namespace quillfen {

void connectUpdateCheck(frmMain& window)
{
    if (auto* entry = window.findChild<QAction*>(QStringLiteral("mnuCheckForUpdatedVersion")))
        entry->setVisible(false);
}

} // namespace quillfen
