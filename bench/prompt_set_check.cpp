// The cost of checking a cached prompt set against its manifest, which every run in a format other
// than the standard one pays. Usage: prompt_set_check PROGRAM_DIR CACHE_DIR
#include "conversion/prompt_sets.h"

#include <QElapsedTimer>

#include <cstdio>

using namespace quillfen;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: prompt_set_check PROGRAM_DIR CACHE_DIR\n", stderr);
        return 2;
    }
    const QString programDir = QString::fromLocal8Bit(argv[1]), cache = QString::fromLocal8Bit(argv[2]);
    const OutputFormat ulaw{Encoding::Ulaw, 8000, -100};
    try {
        promptSetDirectory(ulaw, programDir, cache); // made here if it is not there yet
        constexpr int kRuns = 200;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kRuns; ++i)
            promptSetDirectory(ulaw, programDir, cache);
        std::printf("%.3f\n", double(timer.nsecsElapsed()) / 1e6 / kRuns);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "prompt_set_check: %s\n", e.what());
        return 1;
    }
    return 0;
}
