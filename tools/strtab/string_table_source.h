#pragma once

// Reader of string-table sources: the STRINGTABLE form of a resource script, UTF-8, so the same
// files build with a Windows resource compiler. Std only: shared by the build tools.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillfen::strtab {

struct Entry
{
    std::int32_t id = 0;
    std::u16string text;
    int line = 0;     // where the id stands, for messages
    std::string name; // the #define'd name the entry gives its id by; empty for a bare number
};

struct Table
{
    std::uint16_t langId = 0x0409; // from a LANGUAGE line; US English when there is none
    std::vector<Entry> entries;    // in source order; ids are unique
};

class SourceError : public std::runtime_error
{
public:
    SourceError(const std::string& file, int line, const std::string& what)
        : std::runtime_error(file + ":" + std::to_string(line) + ": " + what), m_line(line)
    {
    }
    int line() const { return m_line; }

private:
    int m_line;
};

// `fileName` only names the source in messages. Throws SourceError for malformed input.
Table parseSource(const std::string& content, const std::string& fileName);
Table parseSourceFile(const std::string& path);

std::string toUtf8(const std::u16string& text);

} // namespace quillfen::strtab
