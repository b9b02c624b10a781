#include "app/main_menus.h"
#include "mainwindow/frm_main.h"
#include "update/download/mod_update_check.h"

namespace quillfen {

void connectUpdateCheck(frmMain& window)
{
    QObject::connect(&window, &frmMain::updateCheckRequested, &window, [] { CheckForUpdatedVersion(); });
}

} // namespace quillfen
