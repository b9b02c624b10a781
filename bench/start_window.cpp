// Cold start, from launch until the first window is on the screen: the window program, or to compare
// with an empty QMainWindow, and one that shows a caption and so loads the fonts, as every window
// with text must. The process ends the moment its window is exposed, so nothing after that is timed.
// Usage: quillfen_bench_start quillfen|empty|caption PROGRAM_DIR
#include "app/window_program.h"
#include "end_when_shown.h"
#include "localization/mod_localize.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool quillfen = argc == 3 && std::strcmp(argv[1], "quillfen") == 0;
    const bool empty = argc == 3 && std::strcmp(argv[1], "empty") == 0;
    const bool caption = argc == 3 && std::strcmp(argv[1], "caption") == 0;
    if (!quillfen && !empty && !caption) {
        std::fprintf(stderr, "usage: %s quillfen|empty|caption PROGRAM_DIR\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    EndWhenShown end;
    app.installEventFilter(&end);
    if (!quillfen) {
        QMainWindow window;
        if (caption)
            window.setCentralWidget(new QLabel(QStringLiteral("Quillfen")));
        window.show();
        return QApplication::exec();
    }
    // The program's own name, so the settings, the instance lock and the languages are Quillfen's.
    quillfen::setProgramLocation(QString::fromLocal8Bit(argv[2]), QStringLiteral("Quillfen"));
    return quillfen::runWindowProgram(app);
}
