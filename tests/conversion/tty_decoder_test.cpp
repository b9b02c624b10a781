#include "conversion/tty_decoder.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillfen::tty;

namespace {

// An independent transmitter with its own code table, at any rate and with other senders' habits.
// The tables are indexed by code, first bit sent in bit 0; '_' marks codes that are not sent here.
constexpr unsigned LTRS = 0b11111, FIGS = 0b11011, CR = 0b01000, LF = 0b00010;
const std::string kLetters = "_E_A SIU_DRJNFCKTZLWHYPQOBG_MXV_",
                  kFigures = "_3_- _87_$4',!:(5\")2#6019?&_./;_";

// Relies on the receiver returning to letters after a space; '\n' goes as CR LF.
std::vector<unsigned> encode(const std::string& text)
{
    std::vector<unsigned> codes{LTRS};
    bool figures = false;
    for (char c : text) {
        if (c == '\n') {
            codes.insert(codes.end(), {CR, LF});
            continue;
        }
        const bool figure = kLetters.find(c) == std::string::npos;
        if (figure != figures && c != ' ')
            codes.push_back(figure ? FIGS : LTRS);
        figures = figure;
        codes.push_back(static_cast<unsigned>((figure ? kFigures : kLetters).find(c)));
    }
    return codes;
}

struct Sender
{
    double rate = 8000, stopBits = 2, gapSeconds = 0 /* silence instead of idle carrier */, toneScale = 1,
           noiseRms = 0;
};

std::vector<float> transmit(const std::string& text, const Sender& s)
{
    std::vector<float> out;
    std::mt19937 gen(1234);
    std::normal_distribution<double> noise(0, s.noiseRms > 0 ? s.noiseRms : 1);
    double phase = 0, clock = 0;
    auto emit = [&](double hz, double seconds) { // hz 0: silence
        clock += seconds * s.rate;
        while (static_cast<double>(out.size()) < std::round(clock)) {
            phase += 2 * std::numbers::pi * hz * s.toneScale / s.rate;
            const double x = (hz > 0 ? 0.3 * std::sin(phase) : 0) + (s.noiseRms > 0 ? noise(gen) : 0);
            out.push_back(static_cast<float>(x));
        }
    };
    const double bit = 1 / 45.45;
    emit(0, 0.1);
    if (s.gapSeconds == 0)
        emit(1400, 7 * bit);
    for (unsigned c : encode(text)) {
        emit(1800, bit);
        for (int i = 0; i < 5; ++i)
            emit((c >> i) & 1U ? 1400 : 1800, bit);
        emit(1400, s.stopBits * bit);
        emit(0, s.gapSeconds);
    }
    emit(0, 0.1);
    return out;
}

} // namespace

TEST(TtyDecoder, repertoireRoundTripsFromDifferentSenders)
{
    const std::string repertoire = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG\n"
                                   "0123456789 -?:$!&#'().,\";/ A1B2-C";
    const std::pair<const char*, Sender> senders[] = {
        {"plain 8 kHz", {}},
        {"11025 Hz, 1.5 stop bits, short gaps", {.rate = 11025, .stopBits = 1.5, .gapSeconds = 0.0137}},
        {"44.1 kHz, gaps, tones 2% low, noise",
         {.rate = 44100, .stopBits = 1.5, .gapSeconds = 0.025, .toneScale = 0.98, .noiseRms = 0.02}},
    };
    for (const auto& [name, sender] : senders) {
        SCOPED_TRACE(name);
        const DecodedText d = decodeSamples(transmit(repertoire, sender), sender.rate);
        EXPECT_EQ(d.text, repertoire);
        EXPECT_EQ(d.characters, static_cast<int>(encode(repertoire).size()));
        EXPECT_EQ(d.framingErrors, 0);
    }
}

TEST(TtyDecoder, signalsWithoutCharactersDecodeToNothing)
{
    const struct
    {
        const char* name;
        double rate, seconds, hz, noiseRms;
    } cases[] = {{"empty", 8000, 0, 0, 0},      {"digital silence", 8000, 3, 0, 0},
                 {"noise", 8000, 20, 0, 0.5},   {"idle mark", 8000, 3, 1400, 0},
                 {"1600 Hz", 8000, 3, 1600, 0}, {"rate too low", 3000, 3, 1400, 0}};
    std::mt19937 gen(7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::normal_distribution<double> noise(0, c.noiseRms > 0 ? c.noiseRms : 1);
        std::vector<float> samples(static_cast<std::size_t>(c.rate * c.seconds));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * c.hz * i / c.rate) +
                                            (c.noiseRms > 0 ? noise(gen) : 0));
        const DecodedText d = decodeSamples(samples, c.rate);
        EXPECT_EQ(d.text, "");
        EXPECT_EQ(d.characters, 0);
    }
}

TEST(TtyDecoder, unreadableFileThrowsNamingIt)
{
    const auto dir = std::filesystem::path(testing::TempDir()) / "tty_decoder_test";
    std::filesystem::create_directories(dir);
    const auto notAudio = dir / "notes.wav";
    std::ofstream(notAudio) << "these are words, not samples\n";
    for (const auto& path : {dir / "missing.wav", notAudio}) {
        std::string message = "no exception";
        try {
            decodeFile(path.string());
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
    }
    std::filesystem::remove_all(dir);
}
