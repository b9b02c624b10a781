#include "localization/language_codes.h"

#include <QLocale>

#include <array>
#include <cstdlib>

namespace quillfen {
namespace {

struct Language
{
    const char* code; // nullptr: known to the system, without a code of ours
    std::int32_t lcid;
    const char* locale;
};

constexpr std::array kLanguages{
    Language{"ENX", 33801, "en_US"},
    Language{"ENU", 1033, "en_US"},
    Language{"ENG", 2057, "en_GB"},
    Language{"ENA", 3081, "en_AU"},
    Language{"ENC", 4105, "en_CA"},
    Language{"ENZ", 5129, "en_NZ"},
    Language{"ENI", 6153, "en_IE"},
    Language{"DEU", 1031, "de_DE"},
    Language{"DES", 2055, "de_CH"},
    Language{"DEA", 3079, "de_AT"},
    Language{"DEL", 4103, "de_LU"},
    Language{"DEC", 5127, "de_LI"},
    Language{"ESP", 1034, "es_ES"},
    Language{"ESM", 2058, "es_MX"},
    Language{"ESN", 3082, "es_ES"},
    Language{"ESG", 4106, "es_GT"},
    Language{"ESC", 5130, "es_CR"},
    Language{"ESA", 6154, "es_PA"},
    Language{"ESD", 7178, "es_DO"},
    Language{"ESV", 8202, "es_VE"},
    Language{"ESO", 9226, "es_CO"},
    Language{"ESR", 10250, "es_PE"},
    Language{"ESS", 11274, "es_AR"},
    Language{"ESH", 18442, "es_HN"},
    Language{"ESI", 19466, "es_NI"},
    Language{"ESU", 20490, "es_PR"},
    Language{"FRA", 1036, "fr_FR"},
    Language{"FRB", 2060, "fr_BE"},
    Language{"FRC", 3084, "fr_CA"},
    Language{"FRS", 4108, "fr_CH"},
    Language{"FRL", 5132, "fr_LU"},
    Language{"ITA", 1040, "it_IT"},
    Language{"ITS", 2064, "it_CH"},
    Language{"JPN", 1041, "ja_JP"},
    Language{"NLD", 1043, "nl_NL"},
    Language{"NLB", 2067, "nl_BE"},
    Language{"NOR", 1044, "nb_NO"},
    Language{"NON", 2068, "nn_NO"},
    Language{"PTB", 1046, "pt_BR"},
    Language{"PTG", 2070, "pt_PT"},
    // Languages whose fonts differ, without libraries of their own.
    Language{nullptr, 1042, "ko_KR"},
    Language{nullptr, 1028, "zh_TW"},
    Language{nullptr, 2052, "zh_CN"},
};

// A language named without its territory, as in LANG=de.
struct LanguageDefault
{
    const char* language;
    std::int32_t lcid;
};
constexpr std::array kLanguageDefaults{
    LanguageDefault{"en", 1033}, LanguageDefault{"de", 1031}, LanguageDefault{"es", 3082},
    LanguageDefault{"fr", 1036}, LanguageDefault{"it", 1040}, LanguageDefault{"ja", 1041},
    LanguageDefault{"nl", 1043}, LanguageDefault{"nb", 1044}, LanguageDefault{"no", 1044},
    LanguageDefault{"nn", 2068}, LanguageDefault{"pt", 1046}, LanguageDefault{"ko", 1042},
    LanguageDefault{"zh", 2052},
};

const Language* byLcid(std::int32_t lcid)
{
    for (const Language& l : kLanguages)
        if (l.lcid == lcid)
            return &l;
    return nullptr;
}

} // namespace

QString GetLanguageCode(std::int32_t lcid)
{
    if (lcid == 0)
        return QStringLiteral("ENU");
    const Language* l = byLcid(lcid);
    return l && l->code ? QString::fromLatin1(l->code) : QStringLiteral("ERROR");
}

std::int32_t GetLCIDFromCode(const QString& code)
{
    for (const Language& l : kLanguages)
        if (l.code && code == QLatin1String(l.code))
            return l.lcid;
    return 1033;
}

QString GetLanguageName(std::int32_t lcid)
{
    if (lcid == kTtyLcid)
        return QStringLiteral("English (TTY/TDD)");
    const QString name = VerLanguageName(lcid);
    return name.isEmpty() ? QStringLiteral("(error)") : name;
}

QString GetLanguageNameFromCode(const QString& code)
{
    return GetLanguageName(GetLCIDFromCode(code));
}

std::int32_t lcidForLocaleName(const QString& localeName)
{
    // "de_CH.UTF-8@euro" -> "de", "CH"; "C" and "POSIX" name no language.
    QString name = localeName.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    const QString language = name.section(QLatin1Char('_'), 0, 0).toLower();
    const QString territory = name.section(QLatin1Char('_'), 1, 1).toUpper();
    // es_ES has two LCIDs; the modern sort is the system's default, the traditional one is asked for.
    if (language == QLatin1String("es") && territory == QLatin1String("ES"))
        return localeName.contains(QLatin1String("@traditional")) ? 1034 : 3082;
    const QString wanted = language + QLatin1Char('_') + territory;
    for (const Language& l : kLanguages)
        if (l.lcid != kTtyLcid && wanted == QLatin1String(l.locale))
            return l.lcid;
    for (const LanguageDefault& d : kLanguageDefaults)
        if (language == QLatin1String(d.language))
            return d.lcid;
    return 1033;
}

std::int16_t GetUserDefaultLangID()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return static_cast<std::int16_t>(lcidForLocaleName(QString::fromLocal8Bit(value)));
    }
    return 1033;
}

QString localeNameForLcid(std::int32_t lcid)
{
    const Language* l = byLcid(lcid);
    return l ? QString::fromLatin1(l->locale) : QString();
}

QString VerLanguageName(std::int32_t lcid)
{
    const Language* l = byLcid(lcid);
    if (!l)
        return {};
    const QLocale locale(QString::fromLatin1(l->locale));
    QString territory = QLocale::territoryToString(locale.territory());
    if (lcid == 1034)
        territory += QStringLiteral(", Traditional Sort");
    else if (lcid == 3082)
        territory += QStringLiteral(", International Sort");
    return QLocale::languageToString(locale.language()) + QStringLiteral(" (") + territory + QLatin1Char(')');
}

} // namespace quillfen
