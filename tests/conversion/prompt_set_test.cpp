#include "conversion/tty_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kProgramDir = QUILLFEN_TEST_PROGRAM_DIR;
constexpr double kPeak = 10362; // -10 dBFS
constexpr int kBit = 176;

struct Wav
{
    SF_INFO info{};
    std::vector<std::int16_t> samples;
};

// Every prompt is checked for format as it is read.
Wav load(const std::string& name)
{
    Wav w;
    const auto path = kProgramDir / name;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &w.info);
    if (!f) {
        ADD_FAILURE() << "cannot open " << path << ": " << sf_strerror(nullptr);
        return w;
    }
    EXPECT_EQ(w.info.samplerate, 8000) << name;
    EXPECT_EQ(w.info.channels, 1) << name;
    EXPECT_EQ(w.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << name;
    w.samples.resize(static_cast<std::size_t>(w.info.frames * w.info.channels));
    sf_read_short(f, w.samples.data(), static_cast<sf_count_t>(w.samples.size()));
    sf_close(f);
    return w;
}

// Largest deviation, in LSBs, of samples [from, to) from a pure tone of `hz` at 8 kHz: a sinusoid
// obeys x[n+1] = 2 cos(w) x[n] - x[n-1] whatever its phase and amplitude.
double toneResidual(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to, double hz)
{
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / 8000);
    double worst = 0;
    for (std::size_t n = from + 1; n + 1 < to; ++n)
        worst = std::max(worst, std::abs(s[n + 1] - k * s[n] + s[n - 1]));
    return worst;
}

// The sample that would follow the end if the 1400 Hz mark tone ran on.
double nextMarkSample(const std::vector<std::int16_t>& s)
{
    const double k = 2 * std::cos(2 * std::numbers::pi * 1400 / 8000);
    return k * s[s.size() - 1] - s[s.size() - 2];
}

double peak(const std::vector<std::int16_t>& s)
{
    int m = 0;
    for (auto x : s)
        m = std::max(m, std::abs(static_cast<int>(x)));
    return m;
}

struct CharacterPrompt
{
    std::string file;
    char character; // '\0': a shift, which prints nothing
    bool figures;
};

const std::vector<CharacterPrompt> kCharacterPrompts = [] {
    std::vector<CharacterPrompt> prompts{
        {"space.wav", ' ', false},      {"comma.wav", ',', true},     {"question.wav", '?', true},
        {"colon.wav", ':', true},       {"period.wav", '.', true},    {"singlequote.wav", '\'', true},
        {"quote.wav", '"', true},       {"pound.wav", '#', true},     {"dollar.wav", '$', true},
        {"dash.wav", '-', true},        {"leftparen.wav", '(', true}, {"rightparen.wav", ')', true},
        {"exclamation.wav", '!', true}, {"and.wav", '&', true},       {"semicolon.wav", ';', true},
        {"slash.wav", '/', true},       {"LTRS.wav", '\0', false},    {"LTRS.WAV", '\0', false},
        {"FIGS.WAV", '\0', false}};
    for (char c = 'a'; c <= 'z'; ++c)
        prompts.push_back({std::string(1, c) + ".wav", static_cast<char>(c - 'a' + 'A'), false});
    for (char c = '0'; c <= '9'; ++c)
        prompts.push_back({std::string(1, c) + ".wav", c, true});
    return prompts;
}();

quillfen::tty::DecodedText decodeJoined(const std::vector<std::string>& names)
{
    std::vector<float> joined;
    for (const auto& name : names)
        for (auto x : load(name).samples)
            joined.push_back(static_cast<float>(x) / 32768.0F);
    return quillfen::tty::decodeSamples(joined, 8000);
}

TEST(PromptSet, characterPromptsAreOneClickFreeFrame)
{
    for (const auto& p : kCharacterPrompts) {
        SCOPED_TRACE(p.file);
        const auto s = load(p.file).samples;
        ASSERT_GE(s.size(), 1408U);
        ASSERT_LE(s.size(), 1440U);
        EXPECT_EQ(s.size() % 8, 0U);
        EXPECT_NEAR(peak(s), kPeak, 40);
        // Starts at phase 0 rising, in the start bit's space tone.
        EXPECT_EQ(s[0], 0);
        EXPECT_GT(s[1], 0);
        EXPECT_LE(toneResidual(s, 0, kBit, 1800), 3);
        // Two stop bits and the stretch are one unbroken mark tone that comes back to phase 0, so
        // the next prompt's first sample (0) continues it.
        EXPECT_LE(toneResidual(s, s.size() - (s.size() - 1408 + 2 * kBit), s.size(), 1400), 3);
        EXPECT_LT(s.back(), 0);
        EXPECT_NEAR(nextMarkSample(s), 0, 3);
    }
}

TEST(PromptSet, characterPromptsDecodeUnderTheirShift)
{
    for (const auto& p : kCharacterPrompts) {
        SCOPED_TRACE(p.file);
        std::vector<std::string> names{"smallsilence.wav"};
        if (p.figures)
            names.emplace_back("FIGS.WAV");
        names.emplace_back(p.file);
        const auto d = decodeJoined(names);
        EXPECT_EQ(d.text, p.character ? std::string(1, p.character) : std::string());
        EXPECT_EQ(d.characters, static_cast<int>(names.size()) - 1);
        EXPECT_EQ(d.framingErrors, 0);
    }
}

TEST(PromptSet, joinedPromptsDecodeAsText)
{
    const struct
    {
        std::vector<std::string> names;
        std::string text;
    } cases[] = {
        {{"smallsilence.wav", "LTRS.wav", "h.wav", "i.wav", "space.wav", "FIGS.WAV", "5.wav", "LTRS.WAV"},
         "HI 5"},
        {{"smallsilence.wav", "h.wav", "BlankChar.wav", "BlankChar.wav", "i.wav"}, "HI"},
        {{"smallsilence.wav", "FIGS.WAV", "1.wav", "space.wav", "FIGS.WAV", "2.wav", "smallsilence.wav",
          "LTRS.wav", "z.wav"},
         "1 2Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decodeJoined(c.names).text, c.text);
    }
}

TEST(PromptSet, smallSilenceIsSilenceThenSoftStartedMark)
{
    const auto s = load("smallsilence.wav").samples;
    ASSERT_EQ(s.size(), 2000U);
    EXPECT_TRUE(std::all_of(s.begin(), s.begin() + 800, [](auto x) { return x == 0; }));
    EXPECT_LT(std::abs(s[801]), kPeak / 10); // a raised-cosine onset, not a step
    EXPECT_LE(toneResidual(s, 832, s.size(), 1400), 3);
    EXPECT_NEAR(peak(s), kPeak, 40);
    EXPECT_LT(s.back(), 0);
    EXPECT_NEAR(nextMarkSample(s), 0, 3);
}

TEST(PromptSet, blankCharIsOneCharacterTimeOfMark)
{
    const auto s = load("BlankChar.wav").samples;
    ASSERT_EQ(s.size(), 1440U);
    EXPECT_EQ(s[0], 0);
    EXPECT_LE(toneResidual(s, 0, s.size(), 1400), 3);
    EXPECT_NEAR(peak(s), kPeak, 40);
    EXPECT_NEAR(nextMarkSample(s), 0, 3);
}

TEST(PromptSet, bothLtrsSpellingsAreTheSameFile)
{
    auto bytes = [](const char* name) {
        std::ifstream in(kProgramDir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string lower = bytes("LTRS.wav");
    EXPECT_FALSE(lower.empty());
    EXPECT_EQ(lower, bytes("LTRS.WAV"));
}

} // namespace
