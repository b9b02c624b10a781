// The output format's words, numbers and names: what the command line, the settings and the prompt
// cache all go by.
#include "conversion/output_format.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillfen;

TEST(OutputFormat, valuesAreTakenOnlyWhenTheyAreAllowed)
{
    EXPECT_EQ(parseEncoding("ulaw"), Encoding::Ulaw);
    EXPECT_EQ(parseEncoding("alaw"), Encoding::Alaw);
    EXPECT_EQ(parseEncoding("pcm16"), Encoding::Pcm16);
    for (const char* bad : {"", "ULAW", "mulaw", "pcm", " ulaw"})
        EXPECT_FALSE(parseEncoding(bad)) << bad;

    for (const int rate : kSampleRates)
        EXPECT_EQ(parseSampleRate(QString::number(rate)), rate);
    for (const char* bad : {"", "9600", "8000.0", "08000", "8k", "-8000", "4294975296"})
        EXPECT_FALSE(parseSampleRate(bad)) << bad;

    const std::pair<const char*, int> levels[] = {{"-10", -100},    {"0", 0},        {"-0", 0},
                                                  {"-30", -300},    {"-12.5", -125}, {"-12.34", -123},
                                                  {"-12.36", -124}, {" -6 ", -60},   {"+0", 0}};
    for (const auto& [text, tenths] : levels)
        EXPECT_EQ(parseLevel(text), tenths) << text;
    for (const char* bad : {"", "0.04", "-30.04", "-31", "1", "nan", "-inf", "-10 dB", "-10,5", "ten"})
        EXPECT_FALSE(parseLevel(bad)) << bad;
    for (const int tenths : {-300, -125, -100, -5, 0})
        EXPECT_EQ(parseLevel(levelText(tenths)), tenths) << tenths;
    EXPECT_EQ(levelText(-5), "-0.5");
    EXPECT_EQ(levelText(0), "0.0");
}

TEST(OutputFormat, onlyTheStandardFormatUsesTheStandardSet_andEveryOtherHasAKeyOfItsOwn)
{
    EXPECT_TRUE(usesStandardPrompts(OutputFormat{}));
    std::set<QString> keys;
    for (const Encoding encoding : kEncodings)
        for (const int rate : kSampleRates)
            for (const int level : {-300, -101, -100, -99, 0}) {
                const OutputFormat format{encoding, rate, level};
                EXPECT_EQ(usesStandardPrompts(format), format == OutputFormat{});
                const QString key = promptSetKey(format);
                EXPECT_TRUE(keys.insert(key).second) << key.toStdString();
                EXPECT_FALSE(key.contains('/') || key.startsWith('.') || key.startsWith('-'));
            }
    EXPECT_EQ(promptSetKey({Encoding::Ulaw, 8000, -100}), "ulaw_8000Hz_-10.0dBFS");
}

TEST(OutputFormat, aHeaderlessNameFixesEncodingAndRate_anyOtherNameKeepsTheRequestedFormat)
{
    const OutputFormat asked{Encoding::Alaw, 44100, -63};
    const struct
    {
        const char* name;
        Encoding encoding;
        int rate;
    } cases[] = {
        {"/x/greeting.ulaw", Encoding::Ulaw, 8000},
        {"GREETING.UL", Encoding::Ulaw, 8000},
        {"a.b.alaw", Encoding::Alaw, 8000},
        {"x.Al", Encoding::Alaw, 8000},
        {"x.sln", Encoding::Pcm16, 8000},
        {"x.sln16", Encoding::Pcm16, 16000},
        {"x.SLN48", Encoding::Pcm16, 48000},
        {"x.wav", Encoding::Alaw, 44100},
        {"x.sln.wav", Encoding::Alaw, 44100},
        {"x.sln8", Encoding::Alaw, 44100},
        {"x.\u017fln", Encoding::Alaw, 44100}, // a long s: an s only to Unicode case folding
        {"/dir.ulaw/x", Encoding::Alaw, 44100},
        {"x.raw", Encoding::Alaw, 44100},
        {"", Encoding::Alaw, 44100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OutputFormat got = formatForOutput(asked, c.name);
        EXPECT_EQ(got, (OutputFormat{c.encoding, c.rate, asked.levelTenths}));
        EXPECT_EQ(headerlessKindOf(c.name).has_value(), got.sampleRate != 44100);
    }
}

// What each kind of format is good for, and the save dialog's file types and which one each name has.
TEST(OutputFormat, eachFormatSaysWhatItIsGoodFor_andEachNameHasItsFileType)
{
    const std::pair<OutputFormat, const char*> uses[] = {
        {{Encoding::Ulaw, 8000, -300}, "8 kHz µ-law: most voicemail systems"},
        {{Encoding::Alaw, 8000, -100}, "8 kHz A-law: voicemail systems outside"},
        {{Encoding::Pcm16, 8000, 0}, "8 kHz 16-bit: the standard"},
        {{Encoding::Pcm16, 16000, -100}, "16 kHz 16-bit: wideband"},
        {{Encoding::Pcm16, 48000, -100}, "48000 Hz: video"},
        {{Encoding::Ulaw, 44100, -100}, "44100 Hz µ-law: for audio programs"},
        {{Encoding::Pcm16, 22050, -100}, "22050 Hz 16-bit signed linear PCM: for audio programs"},
    };
    for (const auto& [format, use] : uses)
        EXPECT_TRUE(formatUse(format).startsWith(QString::fromUtf8(use))) << formatUse(format).toStdString();
    QStringList filters;
    for (const OutputFileType& type : outputFileTypes())
        filters << type.filter();
    EXPECT_EQ(filters.join(';'),
              QString::fromUtf8("WAV files (*.wav);µ-law raw (*.ulaw *.ul);A-law raw (*.alaw *.al);"
                                "16-bit signed linear PCM raw (*.sln *.sln16 *.sln48)"));
    const std::pair<const char*, qsizetype> types[] = {{"x.wav", 0},  {"x", 0},         {"x.UL", 1},
                                                       {"x.ulaw", 1}, {"x.al", 2},      {"x.sln48", 3},
                                                       {"x.Sln", 3},  {"x.\u017fln", 0}};
    for (const auto& [name, index] : types)
        EXPECT_EQ(outputFileTypeOf(name), index) << name;
}
