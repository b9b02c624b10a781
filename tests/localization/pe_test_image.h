#pragma once

// PE images made byte by byte for the tests, with literal offsets: an independent second writer, so
// the reader is not only ever checked against langlib's own layout.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen::testing {

inline void putLe(std::string& s, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::uint32_t getLe(std::string_view s, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

struct StringBlock
{
    std::uint32_t block;
    std::uint16_t lang;
    std::vector<std::u16string> texts; // the first of the 16; the rest are empty
};

// An RT_STRING resource tree for a section at `rva`.
inline std::string stringResources(std::uint32_t rva, const std::vector<StringBlock>& blocks)
{
    std::map<std::uint32_t, std::map<std::uint16_t, const StringBlock*>> tree;
    for (const StringBlock& b : blocks)
        tree[b.block][b.lang] = &b;
    std::string s(24, '\0');
    putLe(s, 14, 1, 2);
    putLe(s, 16, 6, 4);
    putLe(s, 20, 0x80000000u | 24, 4);
    const std::size_t typeAt = s.size();
    s.append(16 + 8 * tree.size(), '\0');
    putLe(s, typeAt + 14, tree.size(), 2);
    std::vector<std::pair<std::size_t, const StringBlock*>> leaves;
    std::size_t i = 0;
    for (const auto& [block, langs] : tree) {
        putLe(s, typeAt + 16 + 8 * i, block, 4);
        putLe(s, typeAt + 20 + 8 * i++, 0x80000000u | s.size(), 4);
        const std::size_t dirAt = s.size();
        s.append(16 + 8 * langs.size(), '\0');
        putLe(s, dirAt + 14, langs.size(), 2);
        std::size_t j = 0;
        for (const auto& [lang, b] : langs) {
            putLe(s, dirAt + 16 + 8 * j, lang, 4);
            leaves.push_back({dirAt + 20 + 8 * j++, b});
        }
    }
    for (const auto& [entryAt, b] : leaves) {
        putLe(s, entryAt, s.size(), 4);
        const std::size_t dataEntryAt = s.size();
        s.append(16, '\0');
        const std::size_t dataAt = s.size();
        for (std::size_t k = 0; k < 16; ++k) {
            const std::u16string text = k < b->texts.size() ? b->texts[k] : u"";
            s.append(2 + 2 * text.size(), '\0');
            putLe(s, s.size() - 2 - 2 * text.size(), text.size(), 2);
            for (std::size_t u = 0; u < text.size(); ++u)
                putLe(s, s.size() - 2 * text.size() + 2 * u, text[u], 2);
        }
        putLe(s, dataEntryAt, rva + dataAt, 4);
        putLe(s, dataEntryAt + 4, s.size() - dataAt, 4);
        s.resize((s.size() + 3) / 4 * 4, '\0');
    }
    return s;
}

struct Section
{
    std::string raw;
    std::uint32_t rva;
    std::uint32_t virtualSize;
};

inline std::string peImage(bool pe32Plus, const std::vector<Section>& sections, std::uint32_t resourceRva,
                           std::uint32_t resourceSize)
{
    const std::size_t optSize = pe32Plus ? 240 : 224;
    const std::size_t optAt = 0x58;
    const std::size_t tableAt = optAt + optSize;
    std::string image((tableAt + 40 * sections.size() + 0x1FF) / 0x200 * 0x200, '\0');
    image.replace(0, 2, "MZ");
    putLe(image, 0x3C, 0x40, 4);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    putLe(image, 0x44, pe32Plus ? 0x8664 : 0x14C, 2);
    putLe(image, 0x46, sections.size(), 2);
    putLe(image, 0x54, optSize, 2);
    putLe(image, 0x56, pe32Plus ? 0x2022 : 0x2102, 2);
    putLe(image, optAt, pe32Plus ? 0x20B : 0x10B, 2);
    const std::size_t dirsAt = optAt + (pe32Plus ? 112 : 96);
    putLe(image, dirsAt - 4, 16, 4);
    putLe(image, dirsAt + 16, resourceRva, 4);
    putLe(image, dirsAt + 20, resourceSize, 4);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t at = tableAt + 40 * i;
        putLe(image, at + 8, sections[i].virtualSize, 4);
        putLe(image, at + 12, sections[i].rva, 4);
        putLe(image, at + 16, sections[i].raw.size(), 4);
        putLe(image, at + 20, image.size(), 4);
        image += sections[i].raw;
    }
    return image;
}

} // namespace quillfen::testing
