// What telephone lines do to the tones: a slope between them, a frequency offset, a talker over them,
// a speech codec twice. Each impairment on top of white noise 10 dB under the mark tone, at fixed
// seeds; the bounds leave room for a few characters over what the decoder reads today.
#include "support/tty_impairments.h"
#include "support/tty_signal.h"
#include "tty/decoder.h"
#include "tty/internal/frame_reader.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const struct
    {
        LineImpairment line;
        double maxErrorRate;
    } cases[] = {
        {{"flat"}, 0.01},
        {{"space 8.7 dB under the mark", {.twistDb = -8.7}}, 0.02},
        {{"space 8.7 dB over the mark", {.twistDb = 8.7}}, 0.02},
        {{"space 12 dB under the mark", {.twistDb = -12}}, 0.04},
        {{"space 12 dB over the mark", {.twistDb = 12}}, 0.03},
        {{"a talker 6 dB over the tones", {}, 6.0}, 0.26},
        {{"tones 150 Hz low", {.offsetHz = -150}}, 0.02},
        {{"tones 150 Hz high", {.offsetHz = 150}}, 0.02},
        {{"GSM 06.10 twice", {}, -std::numeric_limits<double>::infinity(), 2}, 0.28},
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
                // Each burst once, in order: a garbled copy never precedes the burst it belongs to.
                for (std::size_t b = 1; b < d.bursts.size(); ++b) {
                    EXPECT_GT(d.bursts[b].startSeconds, d.bursts[b - 1].startSeconds);
                }
            }
        }
        const double rate = total / static_cast<double>(kSampleTexts.size() * kSeeds);
        EXPECT_LE(rate, c.maxErrorRate);
    }
}

// A burst whose middle came too faint for the first pass closes; when the line comes back, the
// characters before the new burst are read again where its period puts them, back to the faint
// middle but never into the closed burst, which has been handed on already. Ideal tone energies
// (noise floor 1) for three stretches of characters sent back to back: loud, faint, moderate.
TEST(FrameReaderBursts, aBurstIsHandedOnOnceEvenWhenItsCharactersAreReadAgain)
{
    using quillfen::tty::ToneFeature;
    const double rate = 1000, bitSamples = rate / 45.45;
    const int bit = static_cast<int>(std::lround(bitSamples));
    struct Tone
    {
        bool mark;
        double energy;
    };
    std::vector<Tone> line(500, {true, 0.0});
    std::size_t characters = 0;
    for (const auto& [text, energy] :
         {std::pair{"THE QUICK BROWN FOX", 30.0}, std::pair{"JUMPS OVER THE LAZY", 2.6},
          std::pair{"DOG AND THE CAT SAT ON THE MAT", 8.0}}) {
        for (unsigned code : encode(text)) {
            const bool bits[] = {false,
                                 (code & 1U) != 0,
                                 (code & 2U) != 0,
                                 (code & 4U) != 0,
                                 (code & 8U) != 0,
                                 (code & 16U) != 0,
                                 true,
                                 true};
            for (bool b : bits)
                line.insert(line.end(), static_cast<std::size_t>(bit), {b, energy});
            ++characters;
        }
    }
    line.insert(line.end(), 1500, {true, 0.0});
    // Each feature: the amplitude of either tone over the bit-long window ending there, squared.
    std::vector<ToneFeature> features;
    for (std::size_t n = 0; n < line.size(); ++n) {
        double mark = 0, space = 0;
        for (std::size_t k = 0; k < static_cast<std::size_t>(bit) && k <= n; ++k)
            (line[n - k].mark ? mark : space) += std::sqrt(line[n - k].energy) / bit;
        features.push_back({static_cast<float>(mark * mark + 1), static_cast<float>(space * space + 1)});
    }
    quillfen::tty::FrameReader reader({45.45, bitSamples, bit}, rate);
    reader.push(features);
    reader.finish();
    const std::vector<quillfen::tty::BurstFrames> bursts = reader.takeBursts();
    ASSERT_GE(bursts.size(), 2U);
    std::size_t frames = 0;
    for (std::size_t b = 0; b < bursts.size(); ++b) {
        frames += bursts[b].frames.size();
        if (b > 0) {
            EXPECT_GT(bursts[b].start, bursts[b - 1].end);
        }
    }
    EXPECT_EQ(frames, characters);
}
