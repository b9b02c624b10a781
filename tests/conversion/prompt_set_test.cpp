#include "conversion/tty_decoder.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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
