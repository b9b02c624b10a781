// The 50-baud prompt sets: 20 ms bits and one and a half stop bits, read back by the decoder at 50 baud
// and told apart from 45.45 baud when it chooses the rate itself.
#include "conversion/tty_decoder.h"
#include "prompt_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using ttyprompts::Baud;

std::vector<float> joined(const std::vector<ttyprompts::Prompt>& set, const std::vector<std::string>& names)
{
    std::vector<float> all;
    for (const std::string& name : names) {
        const auto it =
            std::find_if(set.begin(), set.end(), [&](const auto& p) { return p.fileName == name; });
        EXPECT_NE(it, set.end()) << name;
        if (it != set.end())
            for (const std::int16_t v : it->samples)
                all.push_back(static_cast<float>(v) / 32768.0f);
    }
    return all;
}

} // namespace

TEST(FiftyBaudPrompts, framesLastSevenAndAHalfBitsOfTwentyMilliseconds_andDecodeAtFiftyBaud)
{
    const std::vector<std::string> names{"smallsilence.wav", "LTRS.wav",      "q.wav", "u.wav", "i.wav",
                                         "space.wav",        "FIGS.WAV",      "5.wav", "0.wav", "dash.wav",
                                         "LTRS.WAV",         "BlankChar.wav", "e.wav"};
    for (const int rate : {8000, 11025, 44100}) {
        SCOPED_TRACE(rate);
        const auto set = ttyprompts::buildPromptSet({rate, -10.0, Baud::Baud50});
        for (const auto& prompt : set) {
            if (prompt.fileName == "smallsilence.wav")
                continue;
            const double ms = 1000.0 * double(prompt.samples.size()) / rate;
            // 150 ms, the last stop bit stretched by at most 4 ms to end at phase 0.
            EXPECT_GE(ms, prompt.fileName == "BlankChar.wav" ? 145.0 : 150.0) << prompt.fileName;
            EXPECT_LE(ms, prompt.fileName == "BlankChar.wav" ? 155.0 : 154.1) << prompt.fileName;
        }
        const auto samples = joined(set, names);
        quillfen::tty::DecodeOptions fifty;
        fifty.baud = quillfen::tty::BaudRate::Baud50;
        const auto forced = quillfen::tty::decodeSamples(samples, rate, fifty);
        EXPECT_EQ(forced.text, "QUI 50-E");
        EXPECT_EQ(forced.framingErrors, 0);
        const auto detected = quillfen::tty::decodeSamples(samples, rate);
        EXPECT_EQ(detected.text, "QUI 50-E");
        ASSERT_FALSE(detected.bursts.empty());
        EXPECT_DOUBLE_EQ(detected.bursts.front().baud, 50.0);
    }
}

TEST(FiftyBaudPrompts, theStandardSpeedStillMakesTheStandardFrames)
{
    // The default shape and an explicit 45.45 baud are one set, and 50 baud is another.
    const auto standard = ttyprompts::buildPromptSet();
    const auto explicit45 = ttyprompts::buildPromptSet({8000, -10.0, Baud::Baud45});
    const auto fifty = ttyprompts::buildPromptSet({8000, -10.0, Baud::Baud50});
    ASSERT_EQ(standard.size(), fifty.size());
    for (std::size_t i = 0; i < standard.size(); ++i) {
        EXPECT_EQ(standard[i].samples, explicit45[i].samples) << standard[i].fileName;
        if (standard[i].fileName != "smallsilence.wav") {
            EXPECT_NE(standard[i].samples, fifty[i].samples) << standard[i].fileName;
        }
    }
}
