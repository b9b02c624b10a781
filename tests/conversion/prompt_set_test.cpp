#include "conversion/tty_decoder.h"
#include "prompt_synth.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kProgramDir = QUILLFEN_TEST_PROGRAM_DIR;

// The samples of a prompt, which must be 8 kHz mono 16-bit PCM WAV.
std::vector<float> load(const std::string& name)
{
    SF_INFO info{};
    SNDFILE* f = sf_open((kProgramDir / name).c_str(), SFM_READ, &info);
    if (!f) {
        ADD_FAILURE() << "cannot open " << name << ": " << sf_strerror(nullptr);
        return {};
    }
    EXPECT_EQ(info.samplerate, 8000) << name;
    EXPECT_EQ(info.channels, 1) << name;
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << name;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_read_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return samples;
}

} // namespace

TEST(PromptSet, everyPromptDecodesToItsCharacterUnderItsShift)
{
    // '\0': a shift, which prints nothing. Punctuation and digits need the figures shift first.
    std::vector<std::pair<std::string, char>> prompts{
        {"space.wav", ' '},       {"comma.wav", ','},        {"question.wav", '?'},  {"colon.wav", ':'},
        {"period.wav", '.'},      {"singlequote.wav", '\''}, {"quote.wav", '"'},     {"pound.wav", '#'},
        {"dollar.wav", '$'},      {"dash.wav", '-'},         {"leftparen.wav", '('}, {"rightparen.wav", ')'},
        {"exclamation.wav", '!'}, {"and.wav", '&'},          {"semicolon.wav", ';'}, {"slash.wav", '/'},
        {"LTRS.wav", '\0'},       {"LTRS.WAV", '\0'},        {"FIGS.WAV", '\0'}};
    for (char c = 'a'; c <= 'z'; ++c)
        prompts.push_back({std::string(1, c) + ".wav", static_cast<char>(c - 'a' + 'A')});
    for (char c = '0'; c <= '9'; ++c)
        prompts.push_back({std::string(1, c) + ".wav", c});

    const std::vector<float> lead = load("smallsilence.wav"), figs = load("FIGS.WAV");
    for (const auto& [file, printed] : prompts) {
        SCOPED_TRACE(file);
        const bool figures = std::ispunct(printed) || std::isdigit(printed);
        std::vector<float> joined = lead, own = load(file);
        if (figures)
            joined.insert(joined.end(), figs.begin(), figs.end());
        joined.insert(joined.end(), own.begin(), own.end());
        const auto d = quillfen::tty::decodeSamples(joined, 8000);
        EXPECT_EQ(d.text, printed ? std::string(1, printed) : std::string());
        EXPECT_EQ(d.characters, figures ? 2 : 1);
        EXPECT_EQ(d.framingErrors, 0);
    }
    EXPECT_EQ(quillfen::tty::decodeSamples(load("BlankChar.wav"), 8000).characters, 0);
}

TEST(PromptSet, bothLtrsSpellingsAreTheSameFile)
{
    std::ifstream lower(kProgramDir / "LTRS.wav", std::ios::binary),
        upper(kProgramDir / "LTRS.WAV", std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(lower), {});
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, std::string(std::istreambuf_iterator<char>(upper), {}));
}

// The sets of the other formats: every rate and the ends of the level range. Each prompt starts at
// phase 0 and ends in mark one sample short of it, so any join is as smooth as the inside of the
// tone, and the whole set in a row decodes to its characters.
TEST(PromptSet, everyRateAndLevelJoinsWithoutClicksAndDecodes)
{
    const std::map<std::string, char> printed{
        {"space.wav", ' '},      {"comma.wav", ','},        {"question.wav", '?'},  {"colon.wav", ':'},
        {"period.wav", '.'},     {"singlequote.wav", '\''}, {"quote.wav", '"'},     {"pound.wav", '#'},
        {"dollar.wav", '$'},     {"dash.wav", '-'},         {"leftparen.wav", '('}, {"rightparen.wav", ')'},
        {"exclamation.wav", '!'}};
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
                if (name == "smallsilence.wav" || name.starts_with("LTRS") || name == "FIGS.WAV")
                    continue;
                EXPECT_GE(ms, name == "BlankChar.wav" ? 175.0 : 176.0);
                EXPECT_LE(ms, name == "BlankChar.wav" ? 185.0 : 180.1);
                const char c = name.size() == 5 ? name[0] : printed.count(name) ? printed.at(name) : '\0';
                auto& to = std::isalpha(static_cast<unsigned char>(c)) || c == ' ' ? letters : figures;
                if (c != '\0') {
                    (&to == &letters ? expectLetters : expectFigures) += char(std::toupper(c));
                    to.insert(to.end(), prompt.samples.begin(), prompt.samples.end());
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
            for (float& v : all)
                v /= 32768.0f;
            const auto d = quillfen::tty::decodeSamples(all, rate);
            EXPECT_EQ(d.text, expectLetters + expectFigures);
            EXPECT_EQ(d.framingErrors, 0);
        }
    }
}
