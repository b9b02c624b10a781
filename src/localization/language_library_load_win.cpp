// Loading a language library on Windows: LoadLibraryExW as a data file, the way Windows programs
// open their resource DLLs, and every RT_STRING block in every language it holds through the
// system's resource functions. LoadStringW reads the same blocks but cannot be told a language,
// and the language choice (see string()) needs them all.
#include "localization/language_library.h"

#include <windows.h>

namespace quillfen {
namespace {

using ByLanguage = std::map<std::uint16_t, std::map<std::uint32_t, std::u16string>>;

// RT_STRING, spelled wide whatever the UNICODE setting.
const LPCWSTR kStringType = MAKEINTRESOURCEW(6);

struct Reading
{
    HMODULE library = nullptr;
    ByLanguage texts;
    bool malformed = false;
};

// One block of 16 counted strings: ids (block - 1) * 16 up to 15 more.
void readBlock(Reading& r, WORD block, WORD language)
{
    const HRSRC found = ::FindResourceExW(r.library, kStringType, MAKEINTRESOURCEW(block), language);
    const HGLOBAL loaded = found ? ::LoadResource(r.library, found) : nullptr;
    const auto* words = static_cast<const char16_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!words) {
        r.malformed = true;
        return;
    }
    const std::size_t size = ::SizeofResource(r.library, found) / sizeof(char16_t);
    auto& texts = r.texts[language]; // present even when every string in it is empty
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < 16; ++i) {
        if (at >= size) {
            r.malformed = true;
            return;
        }
        const std::size_t length = words[at++];
        if (length > size - at) {
            r.malformed = true;
            return;
        }
        if (length > 0)
            texts[(std::uint32_t(block) - 1) * 16 + i] = std::u16string(words + at, length);
        at += length;
    }
}

BOOL CALLBACK eachLanguage(HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR reading)
{
    readBlock(*reinterpret_cast<Reading*>(reading), WORD(reinterpret_cast<ULONG_PTR>(name)), language);
    return TRUE;
}

BOOL CALLBACK eachBlock(HMODULE library, LPCWSTR type, LPWSTR name, LONG_PTR reading)
{
    // String blocks are numbered; a named one is not a string table the loader could find by id.
    if (!IS_INTRESOURCE(name)) {
        reinterpret_cast<Reading*>(reading)->malformed = true;
        return TRUE;
    }
    ::EnumResourceLanguagesW(library, type, name, eachLanguage, reading);
    return TRUE;
}

} // namespace

std::optional<LanguageLibraryFile> LanguageLibraryFile::load(const std::string& path)
{
    // The name comes in the system's code page, as QFile::encodeName gives it here.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring name(std::size_t(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, name.data(), length);
    // Only regular files: the loader would wait on a pipe.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    try {
        Reading r;
        r.library = ::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!r.library)
            return std::nullopt;
        ::EnumResourceNamesW(r.library, kStringType, eachBlock, reinterpret_cast<LONG_PTR>(&r));
        ::FreeLibrary(r.library);
        // As with our own reader: a library the loader takes but whose tables are broken is one
        // that cannot be loaded.
        if (r.malformed)
            return std::nullopt;
        LanguageLibraryFile file;
        file.m_byLanguage = std::move(r.texts);
        return file;
    } catch (const std::exception&) { // allocation failure on a hostile file
        return std::nullopt;
    }
}

} // namespace quillfen
