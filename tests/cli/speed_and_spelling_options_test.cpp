// --baud on a conversion and --transliterate[=RULE] on a conversion or a set, as the parser takes them.
#include "cli/command_line.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

QString ruleName(const std::optional<SpellingRule>& rule)
{
    if (!rule)
        return QStringLiteral("own");
    switch (*rule) {
    case SpellingRule::German:
        return QStringLiteral("de");
    case SpellingRule::French:
        return QStringLiteral("fr");
    case SpellingRule::Spanish:
        return QStringLiteral("es");
    case SpellingRule::English:
        break;
    }
    return QStringLiteral("en");
}

// What the line asks for that these options decide, in one line; a refusal as "refused: ...".
QString described(const QStringList& args)
{
    const auto parsed = parseCommandLine(QStringList{QStringLiteral("quillfen-cli")} + args);
    if (const auto* refusal = std::get_if<CliRefusal>(&parsed))
        return QStringLiteral("refused: ") + refusal->message;
    const CliOptions& o = std::get<CliOptions>(parsed);
    const QString action =
        o.action == CliOptions::Action::Batch ? QStringLiteral("batch") : QStringLiteral("convert");
    return QStringLiteral("%1 [%2] %3 baud%4")
        .arg(action, o.words.join(QLatin1Char('|')), baudKeyword(o.format.baud),
             o.transliterate ? QStringLiteral(" spelt ") + ruleName(o.spelling) : QString());
}

} // namespace

TEST(SpeedAndSpellingOptions, eachLineAsksForWhatItSays)
{
    const std::pair<QStringList, const char*> cases[] = {
        {{"-o", "k.wav", "HI"}, "convert [HI] 45.45 baud"},
        {{"--baud", "50", "-o", "k.wav", "HI"}, "convert [HI] 50 baud"},
        {{"--baud=45.45", "-o", "k.wav", "HI"}, "convert [HI] 45.45 baud"},
        {{"--baud", "50", "-o", "k.ulaw", "HI"}, "convert [HI] 50 baud"},
        {{"--transliterate", "-o", "k.wav", "Grüße"}, "convert [Grüße] 45.45 baud spelt own"},
        {{"--transliterate=de", "-o", "k.wav", "HI"}, "convert [HI] 45.45 baud spelt de"},
        {{"-o", "k.wav", "--transliterate=fr", "--baud", "50", "HI"}, "convert [HI] 50 baud spelt fr"},
        {{"--transliterate=es", "-o", "k.wav"}, "convert [] 45.45 baud spelt es"},
        {{"--transliterate=en", "-o", "k.wav"}, "convert [] 45.45 baud spelt en"},
        // After -- it is text, whatever it looks like.
        {{"-o", "k.wav", "--", "--transliterate=de"}, "convert [--transliterate=de] 45.45 baud"},
        {{"--batch", "s.csv", "--system", "wav", "--transliterate=de", "-o", "d"},
         "batch [] 45.45 baud spelt de"},
        {{"--baud", "49", "-o", "k.wav", "HI"}, "refused: --baud takes 45.45 or 50, not '49'"},
        {{"--transliterate=it", "-o", "k.wav", "HI"},
         "refused: --transliterate takes de, fr, es or en, not 'it'"},
        {{"--transliterate=DE", "-o", "k.wav", "HI"},
         "refused: --transliterate takes de, fr, es or en, not 'DE'"},
        {{"--decode", "--transliterate", "a.wav"},
         "refused: --transliterate goes with a conversion or --batch, not --decode"},
        {{"--batch", "s.csv", "--system", "wav", "--baud", "50", "-o", "d"},
         "refused: --baud does not go with --batch"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(described(args).toStdString(), expected) << args.join(' ').toStdString();
}
