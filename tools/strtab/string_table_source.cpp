#include "string_table_source.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace quillfen::strtab {
namespace {

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Lexer
{
public:
    Lexer(const std::string& s, const std::string& file) : m_s(s), m_file(file) {}

    [[noreturn]] void fail(const std::string& what) const { throw SourceError(m_file, m_line, what); }

    // Skips blanks, comments and preprocessor lines (#include, #pragma code_page, ...).
    void skipSpace()
    {
        while (m_pos < m_s.size()) {
            char c = m_s[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
                m_lineStart = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (c == '#' && m_lineStart) {
                const auto end = std::min(m_s.find('\n', m_pos), m_s.size());
                directive(m_s.substr(m_pos + 1, end - m_pos - 1));
                m_pos = end;
            } else if (m_s.compare(m_pos, 2, "//") == 0) {
                while (m_pos < m_s.size() && m_s[m_pos] != '\n')
                    ++m_pos;
            } else if (m_s.compare(m_pos, 2, "/*") == 0) {
                auto end = m_s.find("*/", m_pos + 2);
                if (end == std::string::npos)
                    fail("comment is not closed");
                for (auto i = m_pos; i < end; ++i)
                    m_line += m_s[i] == '\n';
                m_pos = end + 2;
            } else {
                return;
            }
        }
    }

    bool atEnd()
    {
        skipSpace();
        return m_pos >= m_s.size();
    }

    char peek()
    {
        skipSpace();
        m_lineStart = false;
        return m_pos < m_s.size() ? m_s[m_pos] : '\0';
    }

    bool accept(char c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    std::string word()
    {
        skipSpace();
        m_lineStart = false;
        auto start = m_pos;
        while (m_pos < m_s.size() &&
               (std::isalnum(static_cast<unsigned char>(m_s[m_pos])) || m_s[m_pos] == '_'))
            ++m_pos;
        return m_s.substr(start, m_pos - start);
    }

    long long number()
    {
        std::string w = word();
        if (w.empty())
            fail("expected a number");
        std::size_t used = 0;
        long long v = 0;
        try {
            v = std::stoll(w, &used, 0);
        } catch (const std::exception&) {
            fail("'" + w + "' is not a number");
        }
        if (used != w.size())
            fail("'" + w + "' is not a number");
        return v;
    }

    std::u16string quoted()
    {
        if (peek() != '"')
            fail("expected a quoted string");
        ++m_pos;
        std::string bytes;
        for (;;) {
            if (m_pos >= m_s.size())
                fail("string is not closed");
            char c = m_s[m_pos++];
            if (c == '\n')
                fail("string is not closed on its line");
            if (c == '"') {
                if (m_pos < m_s.size() && m_s[m_pos] == '"') {
                    bytes += '"';
                    ++m_pos;
                    continue;
                }
                break;
            }
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (m_pos >= m_s.size())
                fail("string is not closed");
            char e = m_s[m_pos++];
            switch (e) {
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'a':
                bytes += '\a';
                break;
            case '0':
                bytes += '\0';
                break;
            case '\\':
                bytes += '\\';
                break;
            case '"':
                bytes += '"';
                break;
            case 'x': {
                unsigned value = 0;
                int digits = 0;
                while (digits < 4 && m_pos < m_s.size() &&
                       std::isxdigit(static_cast<unsigned char>(m_s[m_pos]))) {
                    value = value * 16 +
                            static_cast<unsigned>(std::stoul(std::string(1, m_s[m_pos]), nullptr, 16));
                    ++m_pos;
                    ++digits;
                }
                if (digits == 0)
                    fail("\\x needs hexadecimal digits");
                appendUtf8(bytes, value);
                break;
            }
            default:
                fail(std::string("unknown escape \\") + e);
            }
        }
        return fromUtf8(bytes);
    }

    int line() const { return m_line; }

    // The value a #define gave `name`; fails for a name never defined.
    std::int32_t defined(const std::string& name) const
    {
        const auto it = m_defines.find(name);
        if (it == m_defines.end())
            fail("'" + name + "' is not #define'd as an id");
        return it->second;
    }

private:
    // "#define NAME NUMBER" names a string id; other preprocessor lines (#include, #pragma
    // code_page, ...) mean nothing here.
    void directive(const std::string& text)
    {
        std::istringstream in(text);
        std::string keyword, name, value;
        in >> keyword;
        if (keyword != "define")
            return;
        in >> name >> value;
        if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
            fail("#define needs a name");
        std::size_t used = 0;
        long long id = -1;
        try {
            id = std::stoll(value, &used, 0);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != value.size() || id < 0 || id > 0xFFFF)
            fail("#define " + name + " must give an id from 0 to 65535");
        if (!m_defines.emplace(name, static_cast<std::int32_t>(id)).second)
            fail(name + " is #define'd twice");
    }

    std::u16string fromUtf8(const std::string& s) const
    {
        std::u16string out;
        for (std::size_t i = 0; i < s.size();) {
            auto [cp, length] = codePointAt(s, i);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out += static_cast<char16_t>(0xD800 + (cp >> 10));
                out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out += static_cast<char16_t>(cp);
            }
            i += length;
        }
        return out;
    }

    // The UTF-8 sequence that starts at s[i]: its code point and its length in bytes.
    std::pair<char32_t, std::size_t> codePointAt(const std::string& s, std::size_t i) const
    {
        auto b = static_cast<unsigned char>(s[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0))
            fail("text is not valid UTF-8");
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                fail("text is not valid UTF-8");
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            fail("text is not valid UTF-8");
        return {cp, static_cast<std::size_t>(extra) + 1};
    }

    const std::string& m_s;
    std::string m_file;
    std::size_t m_pos = 0;
    int m_line = 1;
    bool m_lineStart = true;
    std::map<std::string, std::int32_t> m_defines;
};

bool isKeyword(const std::string& w, const char* k)
{
    if (w.size() != std::char_traits<char>::length(k))
        return false;
    for (std::size_t i = 0; i < w.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(w[i])) != k[i])
            return false;
    return true;
}

// After LANGUAGE: "primary, sublanguage", as one language id.
std::uint16_t languageStatement(Lexer& lx)
{
    long long primary = lx.number();
    if (!lx.accept(','))
        lx.fail("LANGUAGE needs a primary and a sublanguage, separated by a comma");
    long long sub = lx.number();
    if (primary < 0 || primary > 0x3FF || sub < 0 || sub > 0x3F)
        lx.fail("LANGUAGE values out of range");
    return static_cast<std::uint16_t>((sub << 10) | primary);
}

// One "ID, "text"" line of a STRINGTABLE, the id a number or a #define'd name; false at its END.
bool stringTableEntry(Lexer& lx, Table& table, std::set<std::int32_t>& seen)
{
    int line = lx.line();
    std::string name;
    long long id = 0;
    if (std::isalpha(static_cast<unsigned char>(lx.peek())) || lx.peek() == '_') {
        name = lx.word();
        if (isKeyword(name, "END"))
            return false;
        id = lx.defined(name);
    } else {
        id = lx.number();
    }
    if (id < 0 || id > 0xFFFF)
        lx.fail("id " + std::to_string(id) + " is out of range 0 to 65535");
    lx.accept(',');
    std::u16string s = lx.quoted();
    if (!seen.insert(static_cast<std::int32_t>(id)).second)
        lx.fail("id " + std::to_string(id) + " appears twice");
    table.entries.push_back({static_cast<std::int32_t>(id), std::move(s), line, std::move(name)});
    return true;
}

// After STRINGTABLE: its entries between BEGIN (or "{") and END (or "}").
void stringTableStatement(Lexer& lx, Table& table, std::set<std::int32_t>& seen)
{
    // Memory options that old scripts carry after the keyword mean nothing here.
    while (lx.peek() != '{') {
        std::string opt = lx.word();
        if (isKeyword(opt, "BEGIN"))
            break;
        if (opt.empty())
            lx.fail("expected BEGIN after STRINGTABLE");
    }
    if (lx.peek() == '{')
        lx.accept('{');
    for (;;) {
        if (lx.atEnd())
            lx.fail("STRINGTABLE is not closed");
        if (lx.accept('}') || !stringTableEntry(lx, table, seen))
            break;
    }
}

} // namespace

Table parseSource(const std::string& content, const std::string& fileName)
{
    std::string text = content;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    Lexer lx(text, fileName);
    Table table;
    std::set<std::int32_t> seen;
    while (!lx.atEnd()) {
        std::string w = lx.word();
        if (isKeyword(w, "LANGUAGE"))
            table.langId = languageStatement(lx);
        else if (isKeyword(w, "STRINGTABLE"))
            stringTableStatement(lx, table, seen);
        else if (w.empty())
            lx.fail(std::string("unexpected '") + lx.peek() + "'");
        else
            lx.fail("unexpected '" + w + "'; only LANGUAGE and STRINGTABLE are understood");
    }
    return table;
}

Table parseSourceFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SourceError(path, 0, "cannot be read");
    std::ostringstream buf;
    buf << in.rdbuf();
    return parseSource(buf.str(), path);
}

std::string toUtf8(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

} // namespace quillfen::strtab
