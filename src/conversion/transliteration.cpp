#include "conversion/transliteration.h"

#include "conversion/baudot_mapping.h"

#include <QHash>

namespace quillfen {
namespace {

// Letters and signs with a spelling of their own rather than a base letter.
const QHash<char16_t, QString>& ownSpellings()
{
    static const QHash<char16_t, QString> table{
        {u'ß', QStringLiteral("ss")},
        {u'ẞ', QStringLiteral("SS")},
        {u'Æ', QStringLiteral("AE")},
        {u'æ', QStringLiteral("ae")},
        {u'Œ', QStringLiteral("OE")},
        {u'œ', QStringLiteral("oe")},
        {u'Ø', QStringLiteral("O")},
        {u'ø', QStringLiteral("o")},
        {u'Ł', QStringLiteral("L")},
        {u'ł', QStringLiteral("l")},
        {u'Đ', QStringLiteral("D")},
        {u'đ', QStringLiteral("d")},
        {u'Ð', QStringLiteral("D")},
        {u'ð', QStringLiteral("d")},
        {u'Þ', QStringLiteral("TH")},
        {u'þ', QStringLiteral("th")},
        {u'ı', QStringLiteral("i")},
        {u'Ħ', QStringLiteral("H")},
        {u'ħ', QStringLiteral("h")},
        {u'‘', QStringLiteral("'")},
        {u'’', QStringLiteral("'")},
        {u'‚', QStringLiteral("'")},
        {u'‛', QStringLiteral("'")},
        {u'′', QStringLiteral("'")},
        {u'‹', QStringLiteral("'")},
        {u'›', QStringLiteral("'")},
        {u'“', QStringLiteral("\"")},
        {u'”', QStringLiteral("\"")},
        {u'„', QStringLiteral("\"")},
        {u'‟', QStringLiteral("\"")},
        {u'″', QStringLiteral("\"")},
        {u'«', QStringLiteral("\"")},
        {u'»', QStringLiteral("\"")},
        {u'‐', QStringLiteral("-")},
        {u'‑', QStringLiteral("-")},
        {u'‒', QStringLiteral("-")},
        {u'–', QStringLiteral("-")},
        {u'—', QStringLiteral("-")},
        {u'―', QStringLiteral("-")},
        {u'−', QStringLiteral("-")},
        {u'…', QStringLiteral("...")},
        {u'€', QStringLiteral("EUR")},
        {u'£', QStringLiteral("GBP")},
        {u'½', QStringLiteral(".5")},
        {u'¼', QStringLiteral(".25")},
        {u'¾', QStringLiteral(".75")},
        {u'¿', QString()},
        {u'¡', QString()},
        {u'\u00A0', QStringLiteral(" ")},
    };
    return table;
}

bool sendable(QChar c)
{
    return isInLetterSet(c.unicode()) || isInFigureSet(c.unicode()) || isBlankChar(c.unicode()) ||
           c == u'\r' || c == u'\n';
}

// A Latin letter with marks: its base letter; the German umlauts with an e after it by that rule.
QString baseSpelling(QChar c, SpellingRule rule)
{
    const QString decomposed = QString(c).normalized(QString::NormalizationForm_D);
    const QChar base = decomposed.front();
    if (decomposed.size() < 2 || base.unicode() > 0x7F || !base.isLetter())
        return {};
    for (const QChar mark : QStringView(decomposed).mid(1))
        if (mark.category() != QChar::Mark_NonSpacing)
            return {};
    const bool umlaut =
        decomposed.size() == 2 && decomposed.at(1) == QChar(0x0308) && QStringView(u"AOUaou").contains(base);
    if (rule == SpellingRule::German && umlaut)
        return QString(base) + (base.isUpper() ? u'E' : u'e');
    return QString(base);
}

} // namespace

std::optional<SpellingRule> parseSpellingRule(const QString& word)
{
    if (word == u"de")
        return SpellingRule::German;
    if (word == u"fr")
        return SpellingRule::French;
    if (word == u"es")
        return SpellingRule::Spanish;
    if (word == u"en")
        return SpellingRule::English;
    return std::nullopt;
}

SpellingRule spellingRuleForLanguage(const QString& languageCode)
{
    if (languageCode == u"DEU")
        return SpellingRule::German;
    if (languageCode == u"FRA")
        return SpellingRule::French;
    if (languageCode == u"ESN")
        return SpellingRule::Spanish;
    return SpellingRule::English;
}

SpellingRule spellingRuleForLcid(std::int32_t lcid)
{
    constexpr std::int32_t kGerman = 0x07, kSpanish = 0x0A, kFrench = 0x0C; // primary language ids
    switch (lcid & 0x3FF) {
    case kGerman:
        return SpellingRule::German;
    case kFrench:
        return SpellingRule::French;
    case kSpanish:
        return SpellingRule::Spanish;
    default:
        return SpellingRule::English;
    }
}

Transliterated transliterate(const QString& text, SpellingRule rule)
{
    Transliterated result;
    result.text.reserve(text.size());
    for (const QChar c : text) {
        const auto own = ownSpellings().constFind(c.unicode());
        const QString spelt = sendable(c)                    ? QString()
                              : own != ownSpellings().cend() ? *own
                                                             : baseSpelling(c, rule);
        if (sendable(c) || (spelt.isNull() && own == ownSpellings().cend())) {
            result.text += c;
            continue;
        }
        result.text += spelt;
        result.respelled << Respelling{QString(c), spelt};
    }
    return result;
}

} // namespace quillfen
