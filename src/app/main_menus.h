#pragma once

#include "about/frm_about.h"
#include "help/frm_help.h"

#include <QObject>
#include <QPointer>

namespace quillfen {

class frmMain;

// The main window's Help menu: the About box (one instance, modal) and the Help window (one
// instance, modeless, without an owner), loaded when first asked for.
class HelpMenuCommands final : public QObject
{
    Q_OBJECT
public:
    HelpMenuCommands(frmMain& window, QString programDir);

    void showAbout();
    void showHelp();

    frmAbout* about() const { return m_about; }
    frmHelp* help() const { return m_help; }

private:
    frmMain& m_window;
    QString m_programDir;
    QPointer<frmAbout> m_about;
    QPointer<frmHelp> m_help;
};

// Help, Check for updated version: runs the check, or, in a build without it, takes the entry off
// the menu. The build chooses which.
void connectUpdateCheck(frmMain& window);

} // namespace quillfen
