// Quillfen: the window program.
#include "app/main_menus.h"
#include "mainwindow/frm_main.h"
#include "platform/messages.h"
#include "platform/widgets/qt_dialogs.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("quillfen"));
    quillfen::QtMessages messages;
    quillfen::setMessages(&messages);
    quillfen::QtSaveDialog saveDialog;
    quillfen::setSaveDialog(&saveDialog);
    quillfen::QtOpenDialog openDialog;
    quillfen::setOpenDialog(&openDialog);

    quillfen::frmMain window;
    quillfen::HelpMenuCommands helpMenu(window, {});
    if (!window.Form_Load())
        return 0;
    window.show();
    const int status = app.exec();
    quillfen::setMessages(nullptr);
    quillfen::setSaveDialog(nullptr);
    quillfen::setOpenDialog(nullptr);
    return status;
}
