#include "app/main_menus.h"

#include "about/frm_about.h"
#include "help/frm_help.h"
#include "mainwindow/frm_main.h"

namespace quillfen {

HelpMenuCommands::HelpMenuCommands(frmMain& window, QString programDir)
    : QObject(&window), m_window(window), m_programDir(std::move(programDir))
{
    connect(&window, &frmMain::aboutRequested, this, &HelpMenuCommands::showAbout);
    connect(&window, &frmMain::helpRequested, this, &HelpMenuCommands::showHelp);
    connectUpdateCheck(window);
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
