// Draws the main window after one conversion, offscreen, into a PNG for the software-centre
// metadata. Not part of the build; `cmake --build build --target screenshot` runs it.
//
// Usage: grab_main_window PROGRAM_DIR OUTPUT.png
#include "localization/mod_localize.h"
#include "mainwindow/frm_main.h"
#include "platform/messages.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: grab_main_window PROGRAM_DIR OUTPUT.png\n", stderr);
        return 2;
    }
    const QString programDir = QString::fromLocal8Bit(argv[1]);
    const QString png = QString::fromLocal8Bit(argv[2]);

    // The conversion's output and any settings stay in a scratch directory, not the user's.
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/quillfen-XXXXXX"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    quillfen::StderrMessages messages(QStringLiteral("grab_main_window"));
    quillfen::setMessages(&messages);
    quillfen::setProgramLocation(programDir, QStringLiteral("Quillfen"));

    quillfen::frmMain window(programDir);
    window.frmMain_Auto_Init();
    window.findChild<QLineEdit*>(QStringLiteral("txtOutputFileName"))
        ->setText(scratch.filePath(QStringLiteral("greeting.wav")));
    window.findChild<QPlainTextEdit*>(QStringLiteral("txtInputText"))
        ->setPlainText(QStringLiteral("Hi, you reached Sam (555) 123-4567.\nLeave a message GA"));
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("cmdConstructWavFromString"))->click();
    QApplication::processEvents();

    const bool saved = window.grab().save(png);
    quillfen::setMessages(nullptr);
    if (!saved) {
        std::fprintf(stderr, "grab_main_window: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
