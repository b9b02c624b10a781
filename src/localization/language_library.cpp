#include "localization/language_library.h"

#include "pe/pe_resources.h"

namespace quillfen {
namespace {

constexpr std::uint16_t kLangNeutral = 0x0000;
constexpr std::uint16_t kLangUsEnglish = 0x0409;

} // namespace

std::optional<LanguageLibraryFile> LanguageLibraryFile::fromBytes(std::string_view bytes)
{
    try {
        auto tables = pe::readStringTables(bytes);
        if (!tables)
            return std::nullopt;
        LanguageLibraryFile file;
        file.m_byLanguage = std::move(*tables);
        return file;
    } catch (const std::exception&) { // allocation failure on a hostile file
        return std::nullopt;
    }
}

const LanguageLibraryFile::Texts* LanguageLibraryFile::chosen(std::uint16_t langId) const
{
    for (std::uint16_t candidate : {langId, kLangNeutral, kLangUsEnglish})
        if (auto it = m_byLanguage.find(candidate); it != m_byLanguage.end())
            return &it->second;
    return m_byLanguage.empty() ? nullptr : &m_byLanguage.begin()->second;
}

std::u16string LanguageLibraryFile::string(std::int64_t id, std::uint16_t langId) const
{
    if (id < 0 || id > 0xFFFF)
        return {};
    const Texts* texts = chosen(langId);
    if (!texts)
        return {};
    auto it = texts->find(static_cast<std::uint32_t>(id));
    return it == texts->end() ? std::u16string() : it->second;
}

std::vector<std::uint16_t> LanguageLibraryFile::languages() const
{
    std::vector<std::uint16_t> out;
    for (const auto& [language, texts] : m_byLanguage)
        out.push_back(language);
    return out;
}

std::vector<std::pair<std::uint32_t, std::u16string>> LanguageLibraryFile::strings(std::uint16_t langId) const
{
    const Texts* texts = chosen(langId);
    if (!texts)
        return {};
    return {texts->begin(), texts->end()};
}

} // namespace quillfen
