#pragma once

#include <QString>

#include <cstdint>

namespace quillfen {

// The three-letter code of an LCID: "ENU" for 0, "ERROR" for one without a code.
QString GetLanguageCode(std::int32_t lcid);
// The LCID of a code, compared exactly ("deu" is not "DEU"); 1033 for anything unknown.
std::int32_t GetLCIDFromCode(const QString& code);
// The name a language is offered under; "(error)" when the system knows no name for it.
QString GetLanguageName(std::int32_t lcid);
QString GetLanguageNameFromCode(const QString& code);

// Stand-ins for the system's language services.
// The user's default language from the POSIX locale (LC_ALL, LC_MESSAGES, LANG); 1033 when unknown.
std::int16_t GetUserDefaultLangID();
// The LCID for a locale name such as "de_CH.UTF-8"; 1033 when unknown.
std::int32_t lcidForLocaleName(const QString& localeName);
// The POSIX locale name of an LCID, e.g. "de_DE"; empty when the LCID is unknown.
QString localeNameForLcid(std::int32_t lcid);
// English language and territory name, e.g. "German (Germany)"; empty when the LCID is unknown.
QString VerLanguageName(std::int32_t lcid);

constexpr std::int32_t kTtyLcid = 33801; // 0x8409, the program's own "English (TTY/TDD)"

} // namespace quillfen
