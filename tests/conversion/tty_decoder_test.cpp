#include "conversion/tty_decoder.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>
#include <ostream>
#include <random>
#include <sndfile.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using quillfen::tty::DecodedText;
using quillfen::tty::decodeFile;
using quillfen::tty::decodeSamples;

namespace {

// An independent transmitter: its own code table, float synthesis at any rate, and the habits of
// other senders (1.5 stop bits, silence between characters, off-frequency tones, phase jumps).
constexpr unsigned LTRS = 0b11111, FIGS = 0b11011, SPACE = 0b00100, CR = 0b01000, LF = 0b00010;
const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kFigures = "-?:$3!&#8'().,9014\a57;2/6\""; // '\a': the bell on S
constexpr std::array<unsigned, 26> kCodes{0b00011, 0b11001, 0b01110, 0b01001, 0b00001, 0b01101, 0b11010,
                                          0b10100, 0b00110, 0b01011, 0b01111, 0b10010, 0b11100, 0b01100,
                                          0b11000, 0b10110, 0b10111, 0b01010, 0b00101, 0b10000, 0b00111,
                                          0b11110, 0b10011, 0b11101, 0b10101, 0b10001};
unsigned code(char letter)
{
    return kCodes.at(kLetters.find(letter));
}

// Shifts as a sender that relies on unshift-on-space would send them; '\n' goes as CR LF.
std::vector<unsigned> encode(const std::string& text)
{
    std::vector<unsigned> codes{LTRS};
    bool figures = false;
    for (char c : text) {
        if (c == ' ') {
            codes.push_back(SPACE);
            figures = false;
        } else if (c == '\n') {
            codes.insert(codes.end(), {CR, LF});
        } else if (auto i = kLetters.find(c); i != std::string::npos) {
            if (figures)
                codes.push_back(LTRS);
            figures = false;
            codes.push_back(kCodes.at(i));
        } else {
            if (!figures)
                codes.push_back(FIGS);
            figures = true;
            codes.push_back(kCodes.at(kFigures.find(c)));
        }
    }
    return codes;
}

struct Transmitter
{
    double rate = 8000;
    double stopBits = 2.0;
    double gapSeconds = 0.0; // silence after each character instead of idle carrier
    double toneScale = 1.0;
    double baud = 45.45;
    double amplitude = 0.3;
    double noiseRms = 0.0;
    bool phaseJumps = false; // a new oscillator phase on every bit
};

class Synth
{
public:
    explicit Synth(const Transmitter& t) : m_t(t), m_noise(1234) {}

    void tone(bool mark, double bits)
    {
        if (m_t.phaseJumps)
            m_phase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(m_noise);
        const double hz = (mark ? 1400.0 : 1800.0) * m_t.toneScale;
        advance(bits / m_t.baud, [&] {
            m_phase += 2 * std::numbers::pi * hz / m_t.rate;
            return m_t.amplitude * std::sin(m_phase);
        });
    }
    void silence(double seconds)
    {
        advance(seconds, [] { return 0.0; });
    }
    void frame(unsigned c, bool stopIsMark = true)
    {
        frameStarts.push_back(samples.size());
        tone(false, 1);
        for (int i = 0; i < 5; ++i)
            tone(((c >> i) & 1U) != 0, 1);
        tone(stopIsMark, m_t.stopBits);
        if (m_t.gapSeconds > 0)
            silence(m_t.gapSeconds);
    }
    void message(const std::vector<unsigned>& codes)
    {
        silence(0.1);
        if (m_t.gapSeconds == 0)
            tone(true, 7);
        for (unsigned c : codes)
            frame(c);
        silence(0.1);
    }

    std::vector<float> samples;
    std::vector<std::size_t> frameStarts;

private:
    template <typename F> void advance(double seconds, F next)
    {
        m_clock += seconds * m_t.rate;
        std::normal_distribution<double> noise(0.0, m_t.noiseRms);
        while (static_cast<double>(samples.size()) < std::round(m_clock))
            samples.push_back(static_cast<float>(next() + (m_t.noiseRms > 0 ? noise(m_noise) : 0.0)));
    }

    Transmitter m_t;
    std::mt19937 m_noise;
    double m_phase = 0.0;
    double m_clock = 0.0;
};

std::vector<float> transmit(const std::string& text, const Transmitter& t = {})
{
    Synth s(t);
    s.message(encode(text));
    return s.samples;
}

const std::string kRepertoire = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG\n"
                                "0123456789 -?:$!&#'().,\";/ A1B2-C";

struct TransmitterCase
{
    const char* name;
    Transmitter transmitter;
};

void PrintTo(const TransmitterCase& c, std::ostream* os)
{
    *os << c.name;
}

class TransmitterTest : public testing::TestWithParam<TransmitterCase>
{
};

TEST_P(TransmitterTest, repertoireRoundTrips)
{
    const Transmitter& t = GetParam().transmitter;
    const DecodedText d = decodeSamples(transmit(kRepertoire, t), t.rate);
    EXPECT_EQ(d.text, kRepertoire);
    EXPECT_EQ(d.characters, static_cast<int>(encode(kRepertoire).size()));
    EXPECT_EQ(d.framingErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Senders, TransmitterTest,
    testing::Values(
        TransmitterCase{"plain8k", {}}, TransmitterCase{"rate11025", {.rate = 11025}},
        TransmitterCase{"rate22050", {.rate = 22050}}, TransmitterCase{"rate44100", {.rate = 44100}},
        TransmitterCase{"rate48000", {.rate = 48000}}, TransmitterCase{"stop1_5", {.stopBits = 1.5}},
        TransmitterCase{"stop1_5at44100", {.rate = 44100, .stopBits = 1.5}},
        TransmitterCase{"silenceGaps", {.gapSeconds = 0.04}},
        TransmitterCase{"shortGaps1_5stop", {.rate = 11025, .stopBits = 1.5, .gapSeconds = 0.0137}},
        TransmitterCase{"tonesHigh2pc", {.toneScale = 1.02}},
        TransmitterCase{"tonesLow2pc", {.toneScale = 0.98}}, TransmitterCase{"baudFast", {.baud = 46.1}},
        TransmitterCase{"baudSlow", {.baud = 44.8}},
        TransmitterCase{"wholeSignal4pcSlow", {.toneScale = 0.96, .baud = 45.45 * 0.96}},
        TransmitterCase{"noise10dB", {.noiseRms = 0.067}},
        TransmitterCase{"quiet30dB", {.amplitude = 0.0316}},
        TransmitterCase{"quietWithGaps", {.gapSeconds = 0.03, .amplitude = 0.0316}},
        TransmitterCase{"fullScaleWithGaps", {.gapSeconds = 0.03, .amplitude = 1.0}},
        TransmitterCase{"phaseJumps", {.rate = 22050, .phaseJumps = true}},
        TransmitterCase{"allAtOnce",
                        {.rate = 44100,
                         .stopBits = 1.5,
                         .gapSeconds = 0.025,
                         .toneScale = 0.98,
                         .amplitude = 0.1,
                         .noiseRms = 0.02}}),
    [](const testing::TestParamInfo<TransmitterCase>& info) { return info.param.name; });

TEST(TtyDecoder, shiftRules)
{
    const struct
    {
        const char* name;
        std::vector<unsigned> codes;
        std::string expected;
    } cases[] = {
        {"starts in letters", {code('Q')}, "Q"},
        {"space returns to letters", {FIGS, code('Q'), SPACE, code('Q')}, "1 Q"},
        {"shifts are sticky", {FIGS, code('Q'), code('W'), LTRS, code('Q')}, "12Q"},
        {"CR, null and bell print nothing; LF is a newline",
         {code('H'), CR, LF, 0, FIGS, code('S'), code('T')},
         "H\n5"},
        {"unused figures", {FIGS, code('G'), code('V'), code('X')}, "&;/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Synth s(Transmitter{});
        s.message(c.codes);
        const DecodedText d = decodeSamples(s.samples, 8000);
        EXPECT_EQ(d.text, c.expected);
        EXPECT_EQ(d.characters, static_cast<int>(c.codes.size()));
    }
}

TEST(TtyDecoder, signalsWithoutCharactersDecodeToNothing)
{
    auto make = [](double rate, double seconds, auto next) {
        std::vector<float> v(static_cast<std::size_t>(rate * seconds));
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<float>(next(static_cast<double>(i) / rate));
        return v;
    };
    auto tone = [&](double hz, double rate) {
        return make(rate, 3, [hz](double t) { return 0.5 * std::sin(2 * std::numbers::pi * hz * t); });
    };
    std::mt19937 gen(7);
    auto noise = [&](double rms, double rate, double seconds) {
        return make(rate, seconds, [&](double) { return std::normal_distribution<double>(0, rms)(gen); });
    };
    const struct
    {
        const char* name;
        std::vector<float> samples;
        double rate;
    } cases[] = {
        {"empty", {}, 8000},
        {"digital silence", std::vector<float>(24000), 8000},
        {"faint noise", noise(0.001, 8000, 5), 8000},
        {"moderate noise", noise(0.05, 8000, 20), 8000},
        {"loud noise", noise(0.5, 8000, 20), 8000},
        {"loud noise 44.1 kHz", noise(0.5, 44100, 5), 44100},
        {"idle mark", tone(1400, 8000), 8000},
        {"tone between mark and space", tone(1600, 8000), 8000},
        {"speech-band tone", tone(1000, 22050), 22050},
        {"rate too low for the tones", tone(1400, 3000), 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText d = decodeSamples(c.samples, c.rate);
        EXPECT_EQ(d.text, "");
        EXPECT_EQ(d.characters, 0);
    }
}

TEST(TtyDecoder, frameWithoutStopBitIsRejectedAndDecodingResumes)
{
    Synth s(Transmitter{});
    s.silence(0.1);
    s.tone(true, 7);
    s.frame(code('A'));
    s.frame(0, /*stopIsMark=*/false); // eight bits of space: a line break, not a character
    s.tone(true, 3);
    s.frame(code('B'));
    const DecodedText d = decodeSamples(s.samples, 8000);
    EXPECT_EQ(d.text, "AB");
    EXPECT_EQ(d.characters, 2);
    EXPECT_EQ(d.framingErrors, 1);
}

TEST(TtyDecoder, truncatedFinalFrameIsDropped)
{
    Synth s(Transmitter{});
    s.message({code('A'), code('B')});
    const std::size_t b = s.frameStarts.at(1);
    const double bit = 8000 / 45.45;
    for (int k = 0; k < 8; ++k) {
        std::vector<float> cut(s.samples.begin(),
                               s.samples.begin() + static_cast<std::ptrdiff_t>(b + (k + 0.3) * bit));
        SCOPED_TRACE(k);
        // The stop bit is judged a quarter bit past its centre; cut before that, B never arrived.
        EXPECT_EQ(decodeSamples(cut, 8000).text, k < 7 ? "A" : "AB");
    }
}

class TempDir
{
public:
    TempDir() : path(std::filesystem::path(testing::TempDir()) / "tty_decoder_test")
    {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void writeWav(const std::filesystem::path& path, const std::vector<std::vector<float>>& channels, int rate)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& ch : channels)
            interleaved.push_back(ch[i]);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(f);
}

TEST(TtyDecoderFile, channelsAreMixedDown)
{
    TempDir dir;
    const auto left = transmit("STEREO 1", {.rate = 44100});
    const std::vector<float> silent(left.size());
    std::vector<float> halfLevel = left;
    for (float& x : halfLevel)
        x *= 0.5F;
    const struct
    {
        const char* name;
        std::vector<std::vector<float>> channels;
    } cases[] = {
        {"mono", {left}},
        {"stereo", {left, halfLevel}},
        {"stereo, one side silent", {silent, left}},
        {"three channels", {left, left, silent}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.path / "signal.wav";
        writeWav(path, c.channels, 44100);
        EXPECT_EQ(decodeFile(path.string()).text, "STEREO 1");
    }
}

TEST(TtyDecoderFile, unreadableFileThrowsNamingIt)
{
    TempDir dir;
    const auto notAudio = dir.path / "notes.wav";
    std::ofstream(notAudio) << "these are words, not samples\n";
    for (const auto& path : {dir.path / "missing.wav", notAudio}) {
        SCOPED_TRACE(path.string());
        try {
            decodeFile(path.string());
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
        }
    }
}

} // namespace
