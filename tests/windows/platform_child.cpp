// The other process in the platform tests:
//   platform_child args FILE ARG...   writes each ARG as the system split the command line, in
//                                     UTF-8 and ended by a NUL, to FILE, and exits with 7
//   platform_child wait               sleeps for half a minute
//   platform_child instance NAME      exits with 1 when a first copy of NAME holds the instance lock
//                                     (and has been asked forward), else with 0
#include "platform/session.h"

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"args" && argc > 2) {
        FILE* out = ::_wfopen(argv[2], L"wb");
        if (!out)
            return 3;
        for (int i = 3; i < argc; ++i) {
            const int n = ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
            std::string bytes(std::size_t(n), '\0'); // with the NUL
            ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, bytes.data(), n, nullptr, nullptr);
            std::fwrite(bytes.data(), 1, bytes.size(), out);
        }
        return std::fclose(out) == 0 ? 7 : 3;
    }
    if (mode == L"wait") {
        ::Sleep(30000);
        return 0;
    }
    if (mode == L"instance" && argc == 3)
        return quillfen::previousInstanceRunning(QString::fromWCharArray(argv[2])) ? 1 : 0;
    std::fprintf(stderr, "usage: platform_child args FILE ARG... | wait | instance NAME\n");
    return 2;
}
