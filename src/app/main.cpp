// Quillfen: the window program.
#include "app/window_program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return quillfen::runWindowProgram(app);
}
