#include "conversion/tty_decoder.h"
#include "prompt_synth.h"
#include "support/wav_files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kProgramDir = QUILLFEN_TEST_PROGRAM_DIR;

// What a prompt prints: its letter or figure; '\0' for the shifts and the rest, which print nothing.
char printedBy(const std::string& name)
{
    static const std::map<std::string, char> named{
        {"space.wav", ' '},       {"comma.wav", ','},        {"question.wav", '?'},  {"colon.wav", ':'},
        {"period.wav", '.'},      {"singlequote.wav", '\''}, {"quote.wav", '"'},     {"pound.wav", '#'},
        {"dollar.wav", '$'},      {"dash.wav", '-'},         {"leftparen.wav", '('}, {"rightparen.wav", ')'},
        {"exclamation.wav", '!'}, {"and.wav", '&'},          {"semicolon.wav", ';'}, {"slash.wav", '/'}};
    if (name.size() == 5 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return named.count(name) ? named.at(name) : '\0';
}

} // namespace

// The program directory holds the standard set as 8 kHz mono 16-bit WAV files, sample for sample.
TEST(PromptSet, theProgramDirectoryHoldsTheStandardSet)
{
    const auto set = ttyprompts::buildPromptSet();
    ASSERT_EQ(set.size(), 57u);
    for (const auto& prompt : set) {
        const auto sound = quillfen::test::readSound((kProgramDir / prompt.fileName).string());
        ASSERT_TRUE(sound) << prompt.fileName << ": " << sf_strerror(nullptr);
        EXPECT_EQ(std::tuple(sound->format, sound->rate, sound->channels),
                  std::tuple(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1))
            << prompt.fileName;
        std::vector<std::int16_t> samples;
        for (const double v : sound->samples)
            samples.push_back(static_cast<std::int16_t>(std::lround(v * 32768.0)));
        EXPECT_EQ(samples, prompt.samples) << prompt.fileName;
    }
}

// The sets of every format: every rate and the ends of the level range. Each prompt starts at
// phase 0 and ends in mark one sample short of it, so any join is as smooth as the inside of the
// tone, and the whole set in a row decodes to its characters.
TEST(PromptSet, everyRateAndLevelJoinsWithoutClicksAndDecodes)
{
    for (const int rate : {8000, 11025, 16000, 22050, 44100, 48000}) {
        for (const double level : {-30.0, -10.0, 0.0}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(level) + " dBFS");
            const auto set = ttyprompts::buildPromptSet({rate, level});
            const double peak = 32767.0 * std::pow(10.0, level / 20.0);
            // The mark tone's last sample before phase 0, and what a trim of its frequency by a
            // fraction of a hertz and the rounding may change in it.
            const double beforeZero = -peak * std::sin(2.0 * std::numbers::pi * 1400.0 / rate);
            const double slack = std::abs(beforeZero) * 0.01 + 1.0;
            std::vector<float> letters, figures;
            std::string expectLetters, expectFigures;
            for (const auto& prompt : set) {
                SCOPED_TRACE(prompt.fileName);
                ASSERT_FALSE(prompt.samples.empty());
                EXPECT_EQ(prompt.samples.front(), 0);
                EXPECT_NEAR(prompt.samples.back(), beforeZero, slack);
                const auto [low, high] = std::minmax_element(prompt.samples.begin(), prompt.samples.end());
                EXPECT_NEAR(std::max(-double(*low), double(*high)), peak, peak * 0.002 + 1.0);
                const double ms = 1000.0 * double(prompt.samples.size()) / rate;
                const std::string& name = prompt.fileName;
                if (name == "smallsilence.wav") {
                    // After 100 ms of silence the leader swells over 4 ms at every rate: up to half the
                    // peak in its first 2 ms, all of it from 4 ms on.
                    const auto leader = prompt.samples.begin() + std::lround(rate / 10.0);
                    const auto peakIn = [&](int fromMs, int toMs) {
                        int most = 0;
                        for (auto it = leader + rate * fromMs / 1000; it < leader + rate * toMs / 1000; ++it)
                            most = std::max(most, std::abs(int(*it)));
                        return double(most);
                    };
                    EXPECT_LE(peakIn(0, 2), peak * 0.5 + 1.0);
                    EXPECT_GE(peakIn(4, 6), peak * 0.9);
                }
                if (name == "smallsilence.wav" || name.starts_with("LTRS") || name == "FIGS.WAV")
                    continue;
                EXPECT_GE(ms, name == "BlankChar.wav" ? 175.0 : 176.0);
                EXPECT_LE(ms, name == "BlankChar.wav" ? 185.0 : 180.1);
                const char c = printedBy(name);
                const bool letter = std::isalpha(static_cast<unsigned char>(c)) || c == ' ';
                if (c != '\0') {
                    (letter ? expectLetters : expectFigures) += c;
                    (letter ? letters : figures)
                        .insert((letter ? letters : figures).end(), prompt.samples.begin(),
                                prompt.samples.end());
                }
            }
            std::vector<float> all;
            const auto append = [&](const std::string& file) {
                const auto it =
                    std::find_if(set.begin(), set.end(), [&](const auto& p) { return p.fileName == file; });
                all.insert(all.end(), it->samples.begin(), it->samples.end());
            };
            append("smallsilence.wav");
            append("LTRS.wav");
            all.insert(all.end(), letters.begin(), letters.end());
            append("FIGS.WAV");
            all.insert(all.end(), figures.begin(), figures.end());
            append("BlankChar.wav");
            append("LTRS.WAV"); // the other spelling of the letters shift
            append("e.wav");
            for (float& v : all)
                v /= 32768.0f;
            const auto d = quillfen::tty::decodeSamples(all, rate);
            EXPECT_EQ(d.text, expectLetters + expectFigures + "E");
            EXPECT_EQ(d.characters, int(expectLetters.size() + expectFigures.size()) + 4);
            EXPECT_EQ(d.framingErrors, 0);
        }
    }
}
