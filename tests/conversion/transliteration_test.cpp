#include "conversion/transliteration.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(Transliteration, spellsWhatATextTelephoneCannotPrintTheWayItsReadersWould)
{
    const struct
    {
        SpellingRule rule;
        const char* text;
        const char* sent;
        int respelled;
    } cases[] = {
        {SpellingRule::German, "Grüße aus Köln, Übermorgen", "Gruesse aus Koeln, UEbermorgen", 4},
        {SpellingRule::English, "Grüße aus Köln", "Grusse aus Koln", 3},
        {SpellingRule::French, "Ça coûte 5 € «environ» – dès l’été…",
         "Ca coute 5 EUR \"environ\" - des l'ete...", 11},
        {SpellingRule::Spanish, "¿Señor José? ¡Sí!", "Senor Jose? Si!", 5},
        {SpellingRule::English, "Æble Œuvre Øre £3½", "AEble OEuvre Ore GBP3.5", 5},
        // Nothing to respell: the text goes as it is, and what has no plain spelling is left to be skipped.
        {SpellingRule::German, "Plain text, 555-1234 ~ GA!", "Plain text, 555-1234 ~ GA!", 0},
        {SpellingRule::German, "日本 \xF0\x9F\x98\x80 Ａ", "日本 \xF0\x9F\x98\x80 Ａ", 0},
    };
    for (const auto& c : cases) {
        const Transliterated t = transliterate(QString::fromUtf8(c.text), c.rule);
        EXPECT_EQ(t.text, QString::fromUtf8(c.sent)) << c.text;
        EXPECT_EQ(t.respelled.size(), c.respelled) << c.text;
    }
    const Transliterated spanish = transliterate(QString::fromUtf8("¿Qué?"), SpellingRule::Spanish);
    ASSERT_EQ(spanish.respelled.size(), 2);
    EXPECT_EQ(spanish.respelled[0].from, QString::fromUtf8("¿"));
    EXPECT_EQ(spanish.respelled[0].to, QString());
    EXPECT_EQ(spanish.respelled[1].from, QString::fromUtf8("é"));
    EXPECT_EQ(spanish.respelled[1].to, "e");
}

TEST(Transliteration, theRuleComesFromTheCommandLineOrTheInterfaceLanguage)
{
    EXPECT_EQ(parseSpellingRule("de"), SpellingRule::German);
    EXPECT_EQ(parseSpellingRule("fr"), SpellingRule::French);
    EXPECT_EQ(parseSpellingRule("es"), SpellingRule::Spanish);
    EXPECT_EQ(parseSpellingRule("en"), SpellingRule::English);
    EXPECT_EQ(parseSpellingRule("DE"), std::nullopt);
    EXPECT_EQ(parseSpellingRule("it"), std::nullopt);
    EXPECT_EQ(spellingRuleForLanguage("DEU"), SpellingRule::German);
    EXPECT_EQ(spellingRuleForLanguage("ESN"), SpellingRule::Spanish);
    EXPECT_EQ(spellingRuleForLanguage("JPN"), SpellingRule::English);
}
