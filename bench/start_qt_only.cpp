// Cold start of an empty QMainWindow, or one with a caption, in a program that links Qt Widgets and
// nothing else: what a window costs before any library of the program's own is loaded.
// Usage: quillfen_bench_start_qt empty|caption
#include "end_when_shown.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstring>

int main(int argc, char** argv)
{
    const bool caption = argc == 2 && std::strcmp(argv[1], "caption") == 0;
    if (argc != 2 || (!caption && std::strcmp(argv[1], "empty") != 0)) {
        std::fprintf(stderr, "usage: %s empty|caption\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    EndWhenShown end;
    app.installEventFilter(&end);
    QMainWindow window;
    if (caption)
        window.setCentralWidget(new QLabel(QStringLiteral("Quillfen")));
    window.show();
    return QApplication::exec();
}
