// Writes a language library from a string-table source, or lists what a library holds.
#include "library_image.h"
#include "pe/pe_resources.h"
#include "string_table_source.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillfen;

constexpr const char* kUsage = "usage: langlib SOURCE.rc OUTPUT.dll\n"
                               "       langlib --dump FILE.dll\n";

constexpr const char* kHelp =
    "usage: langlib SOURCE.rc OUTPUT.dll\n"
    "       langlib --dump FILE.dll\n"
    "       langlib --help\n"
    "\n"
    "Writes the STRINGTABLE of SOURCE.rc (UTF-8) into OUTPUT.dll, a resource-only Windows DLL.\n"
    "OUTPUT.dll is replaced only when it is complete.\n"
    "\n"
    "--dump prints every non-empty string of FILE.dll in id order, one line each: the id, a tab,\n"
    "and the text in UTF-8 with \\ tab CR LF written as \\\\ \\t \\r \\n and other control\n"
    "characters as \\xNN. A library with strings in several languages lists each language after a\n"
    "line \"LANGUAGE 0xNNNN\", in ascending order; with one language that line is left out.\n"
    "\n"
    "Exit status: 0 done, 1 error (source, reading, writing), 2 wrong arguments.\n";

std::string escaped(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : text) {
        switch (c) {
        case u'\\':
            out += u"\\\\";
            break;
        case u'\t':
            out += u"\\t";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'\n':
            out += u"\\n";
            break;
        default:
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
                static constexpr char16_t kHex[] = u"0123456789ABCDEF";
                out += u"\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    return strtab::toUtf8(out);
}

int dump(const std::string& path)
{
    std::optional<pe::StringTables> tables;
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        if (in && bytes << in.rdbuf())
            tables = pe::readStringTables(bytes.str());
    }
    if (!tables) {
        std::cerr << "langlib: " << path << ": not a valid language library\n";
        return 1;
    }
    std::string out;
    for (const auto& [language, texts] : *tables) {
        if (tables->size() > 1) {
            char line[32];
            std::snprintf(line, sizeof line, "LANGUAGE 0x%04X\n", language);
            out += line;
        }
        for (const auto& [id, text] : texts)
            out += std::to_string(id) + "\t" + escaped(text) + "\n";
    }
    std::cout << out << std::flush;
    return std::cout ? 0 : 1;
}

// The image goes to a temporary beside the output and is renamed over it, so a failed run leaves
// an earlier library as it was.
int write(const std::string& sourcePath, const std::string& outputPath)
{
    const std::string image = langlib::buildLibraryImage(strtab::parseSourceFile(sourcePath), sourcePath);
    const std::string temp = outputPath + ".langlib-tmp";
    bool written = false;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        written = out.write(image.data(), static_cast<std::streamsize>(image.size())) && out.flush();
        out.close();
        written = written && !out.fail();
    }
    std::error_code ec;
    if (written)
        fs::rename(temp, outputPath, ec);
    if (!written || ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        std::cerr << "langlib: " << outputPath << ": cannot be written"
                  << (ec ? " (" + ec.message() + ")" : std::string()) << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && args[0] == "--help") {
            std::cout << kHelp;
            return std::cout.flush() ? 0 : 1;
        }
        if (args.size() == 2 && args[0] == "--dump")
            return dump(args[1]);
        if (args.size() == 2 && args[0] != "--dump")
            return write(args[0], args[1]);
    } catch (const strtab::SourceError& e) {
        std::cerr << "langlib: " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "langlib: out of memory\n";
        return 1;
    }
    std::cerr << kUsage;
    return 2;
}
