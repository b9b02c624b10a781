// Compiles the US English string-table source into the program's own texts (a C++ table) and the
// names of their ids (a C++ enum), so code names every text it shows.
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

std::string ownTable(const Table& table, const std::string& source)
{
    std::string out = "// Generated from " + source +
                      "; edit that file instead.\n"
                      "#include \"localization/own_string_table.h\"\n\n"
                      "namespace quillfen::detail {\n\n"
                      "const OwnStringEntry kOwnStrings[] = {\n";
    for (const Entry& e : table.entries)
        out += "    {" + std::to_string(e.id) + ", " + cLiteral(toUtf8(e.text)) + ", " +
               std::to_string(toUtf8(e.text).size()) + "},\n";
    out += "};\n\nconst int kOwnStringCount = " + std::to_string(table.entries.size()) +
           ";\n\n} // namespace quillfen::detail\n";
    return out;
}

std::string idEnum(const Table& table, const std::string& source)
{
    std::string out =
        "// Generated from " + source +
        "; edit that file instead.\n"
        "#pragma once\n\n"
        "namespace quillfen {\n\n"
        "// The id of every text the program shows, by the name the US English source gives it.\n"
        "enum StringId : int {\n";
    for (const Entry& e : table.entries) {
        if (e.name.empty())
            throw SourceError(source, e.line, "id " + std::to_string(e.id) + " has no name; #define one");
        out += "    " + e.name + " = " + std::to_string(e.id) + ",\n";
    }
    return out + "};\n\n} // namespace quillfen\n";
}

// Written beside and renamed into place, so an interrupted build never leaves half a file.
void writeFile(const std::string& path, const std::string& content)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << content;
        if (!f.flush())
            throw std::runtime_error(path + ": cannot be written");
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0)
        throw std::runtime_error(path + ": cannot be written");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: strtab2cpp SOURCE.rc OUTPUT.cpp OUTPUT_IDS.h\n";
        return 2;
    }
    try {
        const Table table = parseSourceFile(argv[1]);
        writeFile(argv[3], idEnum(table, argv[1]));
        writeFile(argv[2], ownTable(table, argv[1]));
    } catch (const std::exception& e) {
        std::cerr << "strtab2cpp: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
