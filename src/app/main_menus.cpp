#include "app/main_menus.h"

#include "about/frm_about.h"
#include "help/frm_help.h"
#include "mainwindow/frm_main.h"
#include "update/mod_update_check.h"

namespace quillfen {

HelpMenuCommands::HelpMenuCommands(frmMain& window, QString programDir)
    : QObject(&window), m_window(window), m_programDir(std::move(programDir))
{
    window.setMenuHandlers([this] { showAbout(); }, [this] { showHelp(); }, [] { CheckForUpdatedVersion(); });
}

void HelpMenuCommands::showAbout()
{
    if (!m_about)
        m_about = new frmAbout(&m_window);
    m_about->showModally();
}

void HelpMenuCommands::showHelp()
{
    if (!m_help) {
        m_help = new frmHelp(m_programDir);
        m_help->Form_Load();
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

} // namespace quillfen
