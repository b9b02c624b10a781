// Peak memory of the window putting a large result on the clipboard twice in a row, the second
// copy replacing the first, as a multiple of the file's size. Usage: quillfen_bench_clipboard FILE
#include "mainwindow/frm_main.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

namespace {

double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * 4096.0 / 1048576.0;
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    const double fileMiB = double(QFileInfo(file).size()) / 1048576.0;
    quillfen::frmMain window;
    const double before = residentMiB();
    window.myCopyWavToClipboard(file);
    window.myCopyWavToClipboard(file);
    const double peak = peakMiB();
    std::printf("clipboard copy of a %.0f MiB file, twice: peak %.0f MiB = %.2f x the file "
                "(%.0f MiB before the first copy; %.2f x above that) (target <= 2)\n",
                fileMiB, peak, peak / fileMiB, before, (peak - before) / fileMiB);
    return 0;
}
