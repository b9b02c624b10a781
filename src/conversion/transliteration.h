#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace quillfen {

// How letters that Baudot cannot carry are spelt without their accents. Only the umlauts differ:
// German readers write Ä as AE, everyone else as A.
enum class SpellingRule { English, German, French, Spanish };

// "de", "fr", "es", "en" (the command line's words); nullopt for anything else.
std::optional<SpellingRule> parseSpellingRule(const QString& word);
// The rule for an interface language code: "DEU" German, "FRA" French, "ESN" Spanish, else English.
SpellingRule spellingRuleForLanguage(const QString& languageCode);
// The rule for a language id (LCID): its primary language decides, so Swiss German spells as German.
SpellingRule spellingRuleForLcid(std::int32_t lcid);

struct Respelling
{
    QString from; // one character as the text had it
    QString to;   // what is sent for it; may be empty (a Spanish opening ¿ or ¡)
};

struct Transliterated
{
    QString text;
    QList<Respelling> respelled; // each change, in text order
};

// The text with every letter and sign that a text telephone cannot print, but that has a usual
// plain spelling, spelt that way: accented Latin letters as their base letter (German umlauts per
// the rule), ß, Æ, Œ, Ø and the like as their usual letters, typographic quotes, dashes and the
// ellipsis as ASCII, € as EUR, £ as GBP, fractions as decimals (a text telephone has no slash).
// Everything else stays for the mapping to send or skip as it always does.
Transliterated transliterate(const QString& text, SpellingRule rule);

} // namespace quillfen
