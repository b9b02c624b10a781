#include "conversion/baudot_mapping.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace quillfen;

namespace {

struct Mapped
{
    QStringList prompts;
    QStringList lines;
    QString newText;
    std::int16_t shift;
};

Mapped map(const QString& prepared, std::int16_t shift = ShiftNone)
{
    Mapped m;
    const MappingResult r = mapTextToPrompts(
        prepared, shift, [&](const QString& p) { m.prompts << p; }, [&](const QString& l) { m.lines << l; });
    m.newText = r.newText;
    m.shift = r.shiftState;
    return m;
}

QString notSupported(const QString& c)
{
    return QStringLiteral("    '") + c +
           QStringLiteral("'character not supported by Boudot protocol!  Skipped.");
}

struct Case
{
    const char16_t* text;
    QStringList prompts;
    const char16_t* newText;
    std::int16_t finalShift;
};

} // namespace

TEST(BaudotMapping, shiftRulesProduceTheExpectedPromptSequence)
{
    const Case cases[] = {
        {u"A", {"LTRS.wav", "a.wav"}, u"A", ShiftLetters},
        {u"5", {"FIGS.WAV", "5.wav", "LTRS.WAV"}, u"5", ShiftFigures},
        {u"5 5",
         {"FIGS.WAV", "5.wav", "LTRS.wav", "space.wav", "FIGS.WAV", "5.wav", "LTRS.WAV"},
         u"5 5",
         ShiftFigures},
        {u"HI 5",
         {"LTRS.wav", "h.wav", "i.wav", "space.wav", "FIGS.WAV", "5.wav", "LTRS.WAV"},
         u"HI 5",
         ShiftFigures},
        {u"(555) 123-4567",
         {"FIGS.WAV", "leftparen.wav", "5.wav", "5.wav", "5.wav", "rightparen.wav", "LTRS.wav", "space.wav",
          "FIGS.WAV", "1.wav", "2.wav", "3.wav", "dash.wav", "4.wav", "5.wav", "6.wav", "7.wav", "LTRS.WAV"},
         u"(555) 123-4567",
         ShiftFigures},
        {u"A~B", {"LTRS.wav", "a.wav", "BlankChar.wav", "LTRS.wav", "b.wav"}, u"A~B", ShiftLetters},
        {u"~", {"BlankChar.wav", "LTRS.WAV"}, u"~", ShiftNone},
        {u"5~5",
         {"FIGS.WAV", "5.wav", "BlankChar.wav", "FIGS.WAV", "5.wav", "LTRS.WAV"},
         u"5~5",
         ShiftFigures},
        {u"   ", {"LTRS.wav", "space.wav", "space.wav", "space.wav"}, u"   ", ShiftLetters},
        {u"\"", {"FIGS.WAV", "quote.wav", "LTRS.WAV"}, u"\"", ShiftFigures},
        {u"A1B2",
         {"LTRS.wav", "a.wav", "FIGS.WAV", "1.wav", "LTRS.wav", "b.wav", "FIGS.WAV", "2.wav", "LTRS.WAV"},
         u"A1B2",
         ShiftFigures},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        const Mapped m = map(text);
        EXPECT_EQ(m.prompts, c.prompts);
        EXPECT_EQ(m.newText, QString::fromUtf16(c.newText));
        EXPECT_EQ(m.shift, c.finalShift);
        EXPECT_TRUE(m.lines.isEmpty());
    }
}

TEST(BaudotMapping, everyFigureHasItsPromptUnderTheFiguresShift)
{
    const std::pair<char16_t, const char*> figures[] = {
        {u'"', "quote.wav"},     {u',', "comma.wav"},      {u'?', "question.wav"},
        {u':', "colon.wav"},     {u'.', "period.wav"},     {u'\'', "singlequote.wav"},
        {u'#', "pound.wav"},     {u'$', "dollar.wav"},     {u'-', "dash.wav"},
        {u'(', "leftparen.wav"}, {u')', "rightparen.wav"}, {u'!', "exclamation.wav"},
        {u'0', "0.wav"},         {u'9', "9.wav"},
    };
    for (auto [c, prompt] : figures) {
        const Mapped m = map(QString(QChar(c)));
        EXPECT_EQ(m.prompts, (QStringList{"FIGS.WAV", prompt, "LTRS.WAV"})) << char(c);
    }
    // Letters, including every lower-case lookup, and space stay in the letters shift.
    QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QStringList expected{"LTRS.wav"};
    for (QChar c : alphabet)
        expected << QString(c.toLower()) + QStringLiteral(".wav");
    EXPECT_EQ(map(alphabet).prompts, expected);
}

TEST(BaudotMapping, unsupportedCharactersAreReportedSkippedAndStillDecideTheClosingShift)
{
    Mapped m = map(QStringLiteral("HI*"));
    EXPECT_EQ(m.prompts, (QStringList{"LTRS.wav", "h.wav", "i.wav", "LTRS.WAV"}));
    EXPECT_EQ(m.lines, QStringList{notSupported("*")});
    EXPECT_EQ(m.newText, QStringLiteral("HI"));

    // The dedicated prompts and lines of &, ; and / are never used: all eight get the general line.
    for (const QString c : {"*", "@", "+", "=", "%", "&", ";", "/", "[", "\r", "\n", "\t"}) {
        m = map(QStringLiteral("A") + c + QStringLiteral("B"));
        EXPECT_EQ(m.prompts, (QStringList{"LTRS.wav", "a.wav", "b.wav"})) << c.toStdString();
        EXPECT_EQ(m.lines, QStringList{notSupported(c)});
        EXPECT_EQ(m.newText, QStringLiteral("AB"));
    }

    // A skipped character leaves the shift alone: the second figure needs no new FIGS.
    m = map(QStringLiteral("1*2"));
    EXPECT_EQ(m.prompts, (QStringList{"FIGS.WAV", "1.wav", "2.wav", "LTRS.WAV"}));
}

TEST(BaudotMapping, accentedLettersNulAndEmojiAreOneSkippedCharacterEach)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: a surrogate pair
    const QString text = QString::fromUtf8("\xC3\x89") + QChar(u'\0') + emoji + QStringLiteral("A");
    const Mapped m = map(text);
    EXPECT_EQ(m.lines, (QStringList{notSupported(QString::fromUtf8("\xC3\x89")),
                                    notSupported(QString(QChar(u'\0'))), notSupported(emoji)}));
    EXPECT_EQ(m.prompts, (QStringList{"LTRS.wav", "a.wav"}));

    // An emoji at the end is the last character, not half of one.
    EXPECT_EQ(map(QStringLiteral("A") + emoji).prompts, (QStringList{"LTRS.wav", "a.wav", "LTRS.WAV"}));
    // So is a lone surrogate, which is skipped like any unsupported character.
    EXPECT_EQ(map(QString(QChar(char16_t(0xD800)))).lines.size(), 1);
}

TEST(BaudotMapping, fullWidthFormsPassTheSetTestButHaveNoPrompt)
{
    // U+FF21 FULLWIDTH A and U+FF15 FULLWIDTH 5: equal to A and 5 for the set test, absent from the table.
    Mapped m = map(QStringLiteral("\uFF21"));
    EXPECT_EQ(m.prompts, (QStringList{"LTRS.wav"}));
    EXPECT_EQ(m.lines, QStringList{QStringLiteral("(error) unknown character encountered:\uFF21")});
    EXPECT_TRUE(m.newText.isEmpty());
    EXPECT_EQ(m.shift, ShiftLetters);

    m = map(QStringLiteral("\uFF15A"));
    EXPECT_EQ(m.prompts, (QStringList{"FIGS.WAV", "LTRS.wav", "a.wav"}));
    EXPECT_EQ(m.lines, QStringList{QStringLiteral("(error) unknown character encountered:\uFF15")});

    // The ideographic space is a space for the set test; a full-width ~ is a blank for it.
    EXPECT_EQ(map(QStringLiteral("A\u3000")).prompts, (QStringList{"LTRS.wav", "a.wav"}));
    m = map(QStringLiteral("\uFF5E"));
    EXPECT_EQ(m.prompts, (QStringList{"LTRS.WAV"}));
    EXPECT_EQ(m.shift, ShiftNone);
}

TEST(BaudotMapping, setTestsIgnoreCaseButLookupIsExact)
{
    EXPECT_TRUE(isInLetterSet(U'a'));
    EXPECT_TRUE(isInLetterSet(U'Z'));
    EXPECT_TRUE(isInLetterSet(U'\uFF41'));
    EXPECT_FALSE(isInLetterSet(U'\u00C9'));
    EXPECT_TRUE(isInFigureSet(U'"'));
    EXPECT_FALSE(isInFigureSet(U'&'));
    EXPECT_TRUE(isBlankChar(U'~'));
    EXPECT_EQ(promptFileFor(U'a'), QStringLiteral("a.wav"));
    EXPECT_TRUE(promptFileFor(U'A').isEmpty());
    // Already upper-cased text reaches the mapping; a lower-case letter is looked up the same way.
    EXPECT_EQ(map(QStringLiteral("a")).prompts, (QStringList{"LTRS.wav", "a.wav"}));
}

TEST(BaudotMapping, everyRunStartsFromTheShiftItIsGiven)
{
    // The run always passes ShiftNone; a state left from a run that ended in figures is not carried.
    EXPECT_EQ(map(QStringLiteral("AB"), ShiftNone).prompts, (QStringList{"LTRS.wav", "a.wav", "b.wav"}));
    EXPECT_EQ(map(QStringLiteral("AB"), ShiftLetters).prompts, (QStringList{"a.wav", "b.wav"}));
}

TEST(BaudotMapping, upperCasingKeepsOneCharacterPerCharacter)
{
    EXPECT_EQ(upperCasedText(QStringLiteral("hi 5")), QStringLiteral("HI 5"));
    EXPECT_EQ(upperCasedText(QString::fromUtf8("stra\xC3\x9F"
                                               "e")),
              QString::fromUtf8("STRA\xC3\x9F"
                                "E"));
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(upperCasedText(emoji + QStringLiteral("x")), emoji + QStringLiteral("X"));
    EXPECT_EQ(upperCasedText(QStringLiteral("\uFF41")), QStringLiteral("\uFF21"));
}
