// The codec check's parts without wavcat: the error rate, and tones from an independent transmitter
// through codecs that keep them and one that does not.
#include "conversion/codec_check.h"
#include "support/tty_signal.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillfen;

TEST(CodecCheck, characterErrorRateCountsEditsPerExpectedCharacter)
{
    const struct
    {
        const char* expected;
        const char* heard;
        double rate;
    } cases[] = {
        {"HELLO", "HELLO", 0.0},   {"HELLO", "HELO", 0.2}, {"HELLO", "HXLLO", 0.2}, {"HELLO", "HELLLO", 0.2},
        {"HELLO", "", 1.0},        {"AB", "BA", 1.0},      {"", "", 0.0},           {"", "AB", 2.0},
        {"GA SK", "GA SK Q", 0.4}, {"ABCD", "XBCY", 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.expected) + " / " + c.heard);
        EXPECT_DOUBLE_EQ(characterErrorRate(QString::fromLatin1(c.expected), QString::fromLatin1(c.heard)),
                         c.rate);
    }
}

TEST(CodecCheck, waveformCodecsKeepTheTones_andGsmChangesWhatIsPrinted)
{
    test::Line line(codecs::kSampleRate);
    test::Sender sender;
    sender.amplitude = std::pow(10.0, -10.0 / 20.0); // the prompts' peak
    const std::string text = "PLEASE CALL ME BACK AT 555-0142 BEFORE 5 PM THANKS SK";
    line.message(text, sender);
    std::vector<std::int16_t> samples(line.samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(line.samples[i] * 32767.0F));

    const codecs::Codec list[] = {codecs::Codec::G722, codecs::Codec::G726, codecs::Codec::Gsm};
    const CodecCheck check = checkThroughCodecs(samples, QString::fromStdString(text), list);
    EXPECT_EQ(check.cleanPrinted.toStdString(), text);
    ASSERT_EQ(check.results.size(), 3);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(codecs::codecInfo(list[i]).name);
        EXPECT_EQ(check.results[i].codec, list[i]);
        EXPECT_EQ(check.results[i].printed.toStdString(), text);
        EXPECT_EQ(check.results[i].characterErrorRate, 0.0);
    }
    const CodecResult& gsm = check.results[2];
    EXPECT_EQ(gsm.codec, codecs::Codec::Gsm);
    EXPECT_NE(gsm.printed, check.cleanPrinted);
    EXPECT_DOUBLE_EQ(gsm.characterErrorRate, characterErrorRate(check.expected, gsm.printed));
}
