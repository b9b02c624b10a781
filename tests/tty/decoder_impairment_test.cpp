// What telephone lines do to the tones: a slope between them, a frequency offset, a talker over them,
// a speech codec twice, an echo, lost packets. Each impairment on top of white noise 10 dB under the mark
// tone, at fixed seeds; the bounds leave room for a few characters over what the decoder reads today.
#include "support/tty_impairments.h"
#include "support/tty_signal.h"
#include "tty/decoder.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace quillfen::test;

namespace {

quillfen::tty::DecodedText decode(const std::vector<float>& samples)
{
    quillfen::tty::Decoder decoder(8000, 1);
    decoder.push(0, samples);
    return decoder.finish();
}

} // namespace

TEST(DecoderImpairments, eachImpairmentStaysUnderItsErrorRate)
{
    constexpr double kSnrDb = 10.0;
    constexpr int kSeeds = 2;
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    const struct
    {
        LineImpairment line;
        double maxErrorRate;
    } cases[] = {
        {{"flat"}, 0.01},
        {{"space 8.7 dB under the mark", {.twistDb = -8.7}}, 0.02},
        {{"space 8.7 dB over the mark", {.twistDb = 8.7}}, 0.02},
        {{"space 12 dB under the mark", {.twistDb = -12}}, 0.03},
        {{"space 12 dB over the mark", {.twistDb = 12}}, 0.03},
        {{"a talker 6 dB over the tones", {}, 6.0}, 0.18},
        {{"tones 150 Hz low", {.offsetHz = -150}}, 0.02},
        {{"tones 150 Hz high", {.offsetHz = 150}}, 0.02},
        {{"GSM 06.10 twice", {}, kNone, 2}, 0.12},
        {{"an echo 10 dB down after 30 ms", {}, kNone, 0, Voice::OnTheTones, -10, 30}, 0.01},
        {{"5 % of packets lost", {}, kNone, 0, Voice::OnTheTones, kNone, 0, 0.05}, 0.02},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.name);
        double total = 0;
        for (std::size_t t = 0; t < kSampleTexts.size(); ++t) {
            for (int seed = 0; seed < kSeeds; ++seed) {
                const auto d = decode(impairedRecording(kSampleTexts[t], c.line, kSnrDb,
                                                        static_cast<unsigned>(100 * t + seed + 3)));
                std::string text;
                for (char ch : d.text)
                    text += ch == '\n' ? ' ' : ch;
                total += characterErrorRate(text, kSampleTexts[t]);
                // Each burst once, in order: a garbled partial copy never precedes the burst it belongs
                // to with the same start (a sloped line's first characters used to bring that about).
                for (std::size_t b = 1; b < d.bursts.size(); ++b) {
                    EXPECT_GT(d.bursts[b].startSeconds, d.bursts[b - 1].startSeconds);
                }
            }
        }
        const double rate = total / static_cast<double>(kSampleTexts.size() * kSeeds);
        EXPECT_LE(rate, c.maxErrorRate);
    }
}
