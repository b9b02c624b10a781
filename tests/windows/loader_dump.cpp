// A language library's strings as Windows itself loads them: LoadLibraryExW as a data file and
// LoadStringW, which is how the libraries are meant to be read. Prints "id<TAB>text" lines in
// langlib --dump's form (its own escaping, kept apart from langlib's on purpose).
#include <cstdio>
#include <string>
#include <windows.h>

namespace {

std::string utf8(const wchar_t* text, int length)
{
    if (length == 0)
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else
            out += c;
    }
    return out;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 2) {
        std::fputs("usage: loader_dump FILE.dll\n", stderr);
        return 2;
    }
    const HMODULE library = ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!library) {
        std::fprintf(stderr, "loader_dump: the system does not load it (error %lu)\n", ::GetLastError());
        return 1;
    }
    for (UINT id = 0; id <= 0xFFFF; ++id) {
        const wchar_t* text = nullptr;
        // With no buffer length, LoadStringW hands out the resource's own text and its length.
        const int length = ::LoadStringW(library, id, reinterpret_cast<wchar_t*>(&text), 0);
        if (length > 0)
            std::printf("%u\t%s\n", id, escaped(utf8(text, length)).c_str());
    }
    ::FreeLibrary(library);
    return 0;
}
