#pragma once

// Language libraries: resource-only PE DLLs whose RT_STRING tables hold the translated texts.
// Std only; the whole file is read and checked once, so lookups cannot fail afterwards.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillfen {

class LanguageLibraryFile
{
public:
    // Reads and validates the whole file; nullopt when it is missing, unreadable, or not a valid
    // PE32/PE32+ image with a well-formed resource section (never throws, never crashes or hangs).
    static std::optional<LanguageLibraryFile> load(const std::string& path);
    static std::optional<LanguageLibraryFile> fromBytes(std::string_view bytes);

    // The RT_STRING text for `id` (0..65535 valid; others -> empty). Language choice among those the
    // file holds: exactly `langId`, then LANG_NEUTRAL (0), then 0x0409, then the first present.
    // Empty when the id is absent or stored empty.
    std::u16string string(std::int64_t id, std::uint16_t langId) const;
    std::vector<std::uint16_t> languages() const; // languages of the string blocks, sorted
    // Every non-empty string in id order for the chosen language (for --dump).
    std::vector<std::pair<std::uint32_t, std::u16string>> strings(std::uint16_t langId) const;

private:
    using Texts = std::map<std::uint32_t, std::u16string>;

    const Texts* chosen(std::uint16_t langId) const;

    // Language -> id -> text; only non-empty texts are kept, but a language whose blocks hold
    // nothing but empty strings is still present.
    std::map<std::uint16_t, Texts> m_byLanguage;
};

} // namespace quillfen
