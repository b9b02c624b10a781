#include "app/window_program.h"

#include "app/main_menus.h"
#include "mainwindow/frm_main.h"
#include "platform/messages.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/widgets/program_icon.h"
#include "platform/widgets/qt_dialogs.h"

#include <QApplication>

namespace quillfen {

int runWindowProgram(QApplication& app)
{
    QGuiApplication::setDesktopFileName(QStringLiteral("quillfen"));
    // Message boxes and dialogs carry it too.
    QApplication::setWindowIcon(programIcon());
    QtMessages messages;
    setMessages(&messages);
    QtSaveDialog saveDialog;
    setSaveDialog(&saveDialog);
    QtOpenDialog openDialog;
    setOpenDialog(&openDialog);

    int status = 0;
    {
        frmMain window;
        HelpMenuCommands helpMenu(window, {});
        if (window.Form_Load()) {
            window.show();
            status = app.exec();
        }
    }
    setMessages(nullptr);
    setSaveDialog(nullptr);
    setOpenDialog(nullptr);
    return status;
}

} // namespace quillfen
