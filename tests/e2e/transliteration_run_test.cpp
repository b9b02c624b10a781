// Accented text through the real run, wavcat and the standard prompts, and back through the decoder:
// what a text telephone prints when the run spells by each language's rule, what the diagnostics
// list, and the run without a rule as it has always been.
#include "conversion/message_set_run.h"
#include "conversion/transliteration.h"
#include "program_runs.h"

using namespace quillfen;
using namespace quillfen::testing;

namespace {

class TransliterationRun : public ProgramRun
{
};

} // namespace

TEST_F(TransliterationRun, eachLanguagesTextPrintsInItsPlainSpelling)
{
    const struct
    {
        SpellingRule rule;
        const char* text;
        const char* printed;
    } cases[] = {
        {SpellingRule::German, "Grüße aus Köln, Öl und Äpfel", "GRUESSE AUS KOELN, OEL UND AEPFEL"},
        {SpellingRule::French, "Ça coûte «cher» – dès l’été…", "CA COUTE \"CHER\" - DES L'ETE..."},
        {SpellingRule::English, "Pay €5 or £4½ — “now”", "PAY EUR5 OR GBP4.5 - \"NOW\""},
    };
    // The rules themselves are transliteration_test's; here what they spell is sent and printed.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString wav = out.filePath("t.wav");
        run.setSpelling(c.rule);
        ASSERT_EQ(run.cmdConstructWavFromString_Click(QString::fromUtf8(c.text), wav), RunOutcome::Completed)
            << diag.lines.join('\n').toStdString();
        EXPECT_EQ(decode(wav), QString::fromUtf8(c.printed));
        // Nothing was skipped: every letter that was not in the code was spelt instead.
        EXPECT_FALSE(diag.lines.join('\n').contains("Skipped")) << diag.lines.join('\n').toStdString();
    }
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(TransliterationRun, theDiagnosticsListEachRespelling_andWhatHasNoSpellingIsStillSkipped)
{
    run.setSpelling(SpellingRule::German);
    ASSERT_EQ(run.cmdConstructWavFromString_Click(QString::fromUtf8("¿Ü ß 日?"), out.filePath("t.wav")),
              RunOutcome::Completed);
    const QStringList expected{
        QString::fromUtf8("Original String=¿Ü ß 日?"),
        QString::fromUtf8("    '¿' is not in the Baudot code: left out"),
        QString::fromUtf8("    'Ü' is not in the Baudot code: sent as 'UE'"),
        QString::fromUtf8("    'ß' is not in the Baudot code: sent as 'SS'"),
        QString::fromUtf8("    '日'character not supported by Boudot protocol!  Skipped."),
        QString::fromUtf8("New Text=UE SS ?"),
    };
    ASSERT_GE(diag.lines.size(), expected.size());
    EXPECT_EQ(diag.lines.mid(0, expected.size()), expected);
}

TEST_F(TransliterationRun, withoutARuleTheRunSkipsAndReportsAsItAlwaysHas)
{
    const QString text = QString::fromUtf8("Café – 5 €");
    const QString plain = out.filePath("plain.wav"), spelt = out.filePath("spelt.wav");
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, plain), RunOutcome::Completed);
    const QStringList designed = diag.lines;
    EXPECT_EQ(designed.filter("Skipped").size(), 3);
    EXPECT_EQ(designed.filter("Baudot code").size(), 0);
    EXPECT_EQ(decode(plain), "CAF  5 ");

    // A rule set and taken away again leaves no trace on the next run.
    run.setSpelling(SpellingRule::French);
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, spelt), RunOutcome::Completed);
    EXPECT_EQ(decode(spelt), "CAFE - 5 EUR");
    run.setSpelling(std::nullopt);
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, spelt), RunOutcome::Completed);
    EXPECT_EQ(diag.lines, designed);
    EXPECT_EQ(fileBytes(plain), fileBytes(spelt));
}

TEST(TransliterationSet, aBatchSpeltByARulePrintsAndChecksTheSpelling)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath("set.csv");
    ASSERT_TRUE(writeFile(csv, "name,text\r\ngreeting,\"Grüß Gott, Jörg\"\r\n"));
    MessageSetRun set(kProgramDir);
    // Without a rule the umlauts are skipped; with one they are spelt and the check hears that.
    EXPECT_EQ(printedText(QString::fromUtf8("Grüß Gott, Jörg")), "GR GOTT, JRG");
    set.setSpelling(SpellingRule::German);
    const MessageSetOutcome outcome = set.run(csv, "wav", {}, dir.filePath("out"));
    ASSERT_EQ(outcome.files.size(), 1);
    EXPECT_EQ(outcome.files[0].printed, "GRUESS GOTT, JOERG");
    EXPECT_EQ(decode(QDir(dir.filePath("out")).filePath(outcome.files[0].path)), "GRUESS GOTT, JOERG");
}
