// Compiles a string-table source into the C++ table that the program carries as its own texts.
#include "string_table_source.h"

#include <cstdio>
#include <fstream>
#include <iostream>

using namespace quillfen::strtab;

namespace {

// Octal escapes never swallow a following character, unlike \x.
std::string cLiteral(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: strtab2cpp SOURCE.rc OUTPUT.cpp\n";
        return 2;
    }
    try {
        Table table = parseSourceFile(argv[1]);
        std::string out = "// Generated from " + std::string(argv[1]) +
                          "; edit that file instead.\n"
                          "#include \"localization/own_string_table.h\"\n\n"
                          "namespace quillfen::detail {\n\n"
                          "const OwnStringEntry kOwnStrings[] = {\n";
        for (const Entry& e : table.entries)
            out += "    {" + std::to_string(e.id) + ", " + cLiteral(toUtf8(e.text)) + ", " +
                   std::to_string(toUtf8(e.text).size()) + "},\n";
        out += "};\n\nconst int kOwnStringCount = " + std::to_string(table.entries.size()) +
               ";\n\n} // namespace quillfen::detail\n";
        std::string tmp = std::string(argv[2]) + ".tmp";
        {
            std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
            f << out;
            if (!f.flush())
                throw std::runtime_error(std::string(argv[2]) + ": cannot be written");
        }
        if (std::rename(tmp.c_str(), argv[2]) != 0)
            throw std::runtime_error(std::string(argv[2]) + ": cannot be written");
    } catch (const std::exception& e) {
        std::cerr << "strtab2cpp: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
