#include "codecs/codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

using namespace quillfen::codecs;

namespace {

// Two seconds of TTY-like audio at -12 dBFS: a 300-3400 Hz sweep that pins the alignment down
// (FSK alone repeats itself every 40 samples), then 1400/1800 Hz FSK at 45.45 baud.
std::vector<std::int16_t> testSignal()
{
    constexpr double amplitude = 8000.0;
    constexpr double rate = kSampleRate;
    constexpr int bits[] = {0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0,
                            1, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1, 1, 0, 1,
                            0, 0, 1, 1, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 0, 0, 1,
                            0, 1, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1};
    std::vector<std::int16_t> out;
    double phase = 0.0;
    const int sweepSamples = 4000;
    for (int i = 0; i < sweepSamples; ++i) {
        const double f = 300.0 + (3400.0 - 300.0) * i / sweepSamples;
        phase += 2.0 * std::numbers::pi * f / rate;
        out.push_back(static_cast<std::int16_t>(amplitude * std::sin(phase)));
    }
    for (int i = 0; out.size() < 2 * kSampleRate; ++i) {
        const int bit = bits[static_cast<std::size_t>(i * 45.45 / rate) % std::size(bits)];
        phase += 2.0 * std::numbers::pi * (bit != 0 ? 1400.0 : 1800.0) / rate;
        out.push_back(static_cast<std::int16_t>(amplitude * std::sin(phase)));
    }
    return out;
}

// Normalised correlation of a with b shifted later by lag, over the overlap.
double correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int lag)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto j = static_cast<std::ptrdiff_t>(i) + lag;
        if (j < 0 || j >= static_cast<std::ptrdiff_t>(b.size()))
            continue;
        const double x = a[i], y = b[static_cast<std::size_t>(j)];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

int bestLag(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int range)
{
    int best = 0;
    for (int lag = -range; lag <= range; ++lag) {
        if (correlation(a, b, lag) > correlation(a, b, best))
            best = lag;
    }
    return best;
}

// Calls take(offset, length) over size in blocks of awkward sizes, so that frames straddle them.
template <typename Take> void inBlocks(std::size_t size, Take take)
{
    constexpr std::size_t blocks[] = {1, 7, 333, 160, 1000, 59};
    for (std::size_t at = 0, i = 0; at < size; ++i) {
        const std::size_t n = std::min(blocks[i % std::size(blocks)], size - at);
        take(at, n);
        at += n;
    }
}

double rms(const std::vector<std::int16_t>& a)
{
    double sum = 0.0;
    for (const std::int16_t s : a)
        sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(a.size()));
}

} // namespace

TEST(CodecTest, roundTrip_keepsLengthAlignmentAndLevel)
{
    // The waveform codecs keep the waveform; the speech codecs only what a listener would hear.
    // GSM takes about 4 dB off these tones.
    const struct
    {
        Codec codec;
        double minCorrelation;
        double minLevel;
    } cases[] = {
        {Codec::Gsm, 0.8, 0.5},  {Codec::G729, 0.85, 0.8}, {Codec::Amr, 0.9, 0.8},
        {Codec::Opus, 0.9, 0.8}, {Codec::G722, 0.98, 0.9}, {Codec::G726, 0.98, 0.9},
    };
    const std::vector<std::int16_t> in = testSignal();
    for (const auto& c : cases) {
        SCOPED_TRACE(codecInfo(c.codec).name);
        const std::vector<std::int16_t> out = roundTrip(c.codec, in);
        ASSERT_EQ(out.size(), in.size());
        EXPECT_EQ(bestLag(in, out, 100), 0);
        EXPECT_GE(correlation(in, out, 0), c.minCorrelation);
        EXPECT_GT(rms(out) / rms(in), c.minLevel);
        EXPECT_LT(rms(out) / rms(in), 1.25);
    }
}

// Frame starts carry a fixed mark: GSM's 0xD signature nibble, AMR's 12.2 kbit/s header. Opus has no
// byte stream here.
TEST(CodecTest, byteStream_hasTheFileFramesDecodesLikeRoundTripAndPadsOrDropsAPartFrame)
{
    const struct
    {
        Codec codec;
        std::size_t bytesPerSecond, bytesFor100Samples;
        std::uint8_t markMask, mark;
    } cases[] = {
        {Codec::Gsm, 50 * 33, 33, 0xF0, 0xD0}, {Codec::G729, 100 * 10, 20, 0, 0},
        {Codec::Amr, 50 * 32, 32, 0xFF, 0x3C}, {Codec::G722, 8000, 100, 0, 0},
        {Codec::G726, 4000, 50, 0, 0},
    };
    const std::vector<std::int16_t> in = testSignal();
    for (const auto& c : cases) {
        SCOPED_TRACE(codecInfo(c.codec).name);
        const std::size_t unitBytes = codecInfo(c.codec).unitBytes;
        Encoder encoder(c.codec);
        std::vector<std::uint8_t> bytes;
        inBlocks(in.size(),
                 [&](std::size_t at, std::size_t n) { encoder.write(std::span(in).subspan(at, n), bytes); });
        encoder.finish(bytes);
        ASSERT_EQ(bytes.size(), 2 * c.bytesPerSecond);
        for (std::size_t at = 0; at < bytes.size(); at += unitBytes)
            ASSERT_EQ(bytes[at] & c.markMask, c.mark) << "frame at byte " << at;

        Decoder decoder(c.codec);
        std::vector<std::int16_t> decoded;
        inBlocks(bytes.size(), [&](std::size_t at, std::size_t n) {
            decoder.write(std::span(bytes).subspan(at, n), decoded);
        });
        EXPECT_EQ(decoder.finish(), 0U);
        ASSERT_EQ(decoded.size(), in.size());
        const std::size_t delay = codecInfo(c.codec).delaySamples;
        const std::vector<std::int16_t> expected = roundTrip(c.codec, in);
        EXPECT_TRUE(std::equal(decoded.begin() + static_cast<std::ptrdiff_t>(delay), decoded.end(),
                               expected.begin()));

        // 100 samples fill a padded last frame; cut by a byte, the waveform codecs decode every whole
        // byte and a frame codec drops the cut-off frame.
        Encoder tailEncoder(c.codec);
        std::vector<std::uint8_t> tail;
        tailEncoder.write(std::vector<std::int16_t>(100, 1000), tail);
        tailEncoder.finish(tail);
        ASSERT_EQ(tail.size(), c.bytesFor100Samples);
        Decoder cut(c.codec);
        cut.write(std::span(tail).first(tail.size() - 1), decoded);
        EXPECT_EQ(cut.finish(), unitBytes > 1 ? unitBytes - 1 : 0U);
    }
    EXPECT_THROW(Encoder{Codec::Opus}, std::invalid_argument);
    EXPECT_THROW(Decoder{Codec::Opus}, std::invalid_argument);
}

TEST(CodecTest, parseCodecList_takesKnownNamesOnceInAnyCase)
{
    const struct
    {
        std::string_view list;
        std::vector<Codec> codecs;
        std::optional<std::string> unknown;
    } cases[] = {
        {"gsm", {Codec::Gsm}, {}},
        {"gsm,g729,amr,opus,g722,g726",
         {Codec::Gsm, Codec::G729, Codec::Amr, Codec::Opus, Codec::G722, Codec::G726},
         {}},
        {"G722, Opus ,gSm", {Codec::G722, Codec::Opus, Codec::Gsm}, {}},
        {"gsm,g729,GSM", {Codec::Gsm, Codec::G729}, {}},
        {"gsm,g711,amr", {}, "g711"},
        {"gsm,,amr", {}, ""},
        {"", {}, ""},
        {"g7", {}, "g7"},
        {"gsm610", {}, "gsm610"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const CodecList parsed = parseCodecList(c.list);
        EXPECT_EQ(parsed.codecs, c.codecs);
        EXPECT_EQ(parsed.unknown, c.unknown);
    }
}
