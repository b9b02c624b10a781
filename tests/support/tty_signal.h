#pragma once

// TTY signals for tests and the bench, from the tests' own code table: an independent transmitter
// (continuous-phase FSK), noise, and how far a decoded text is from the one sent. Std C++ only.

#include "support/baudot_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillfen::test {

// What the bench and the decoder's regression band send: plain words, numbers, and the two mixed.
inline const std::vector<std::string> kSampleTexts = {
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG",
    "HELLO THIS IS JOHN CALLING ABOUT THE MEETING ON TUESDAY AT 10 GA",
    "PLEASE CALL ME BACK AT 555-0142 BEFORE 5 PM THANKS SK",
    "MY ORDER NUMBER IS 73914 AND IT HAS NOT ARRIVED YET Q GA",
};

// When a sender sends shifts: only when the shift changes, as US TTYs do, or also FIGS again after
// every space, so that receivers that unshift on space print the same.
enum class ShiftHabit { OnChange, AgainAfterSpace };

inline std::vector<unsigned> encode(const std::string& text, ShiftHabit habit = ShiftHabit::OnChange)
{
    std::vector<unsigned> codes{kLtrs};
    bool figures = false, afterSpace = false;
    for (char c : text) {
        if (c == '\n') {
            codes.insert(codes.end(), {kCr, kLf});
            continue;
        }
        if (c == ' ') {
            codes.push_back(kSpace);
            afterSpace = true;
            continue;
        }
        const bool figure = kLetters.find(c) == std::string::npos;
        if (figure != figures || (figure && afterSpace && habit == ShiftHabit::AgainAfterSpace))
            codes.push_back(figure ? kFigs : kLtrs);
        figures = figure;
        afterSpace = false;
        codes.push_back(static_cast<unsigned>((figure ? kFigures : kLetters).find(c)));
    }
    return codes;
}

struct Sender
{
    double rate = 8000, baud = 45.45, stopBits = 2, toneScale = 1, amplitude = 0.3, gapSeconds = 0;
    // What a line does to the tones: both moved by `offsetHz`, the space tone `twistDb` over the mark
    // (negative: under it).
    double offsetHz = 0, twistDb = 0;

    double markHz() const { return 1400 * toneScale + offsetHz; }
    double spaceHz() const { return 1800 * toneScale + offsetHz; }
    double spaceAmplitude() const { return amplitude * std::pow(10, twistDb / 20); }
};

// A recording being made: tones with continuous phase, and anything else added in between.
class Line
{
public:
    explicit Line(double rate) : rate(rate) {}

    void tone(double hz, double seconds, double amplitude)
    {
        clock += seconds * rate;
        while (static_cast<double>(samples.size()) < std::round(clock)) {
            phase += 2 * std::numbers::pi * hz / rate;
            samples.push_back(static_cast<float>(hz > 0 ? amplitude * std::sin(phase) : 0));
        }
    }
    void silence(double seconds) { tone(0, seconds, 0); }
    // `stopIsMark` false: frames whose stop bit is space.
    void frames(const std::vector<unsigned>& codes, const Sender& s, bool stopIsMark = true)
    {
        const double bit = 1 / s.baud;
        const auto send = [&](bool mark, double seconds) {
            tone(mark ? s.markHz() : s.spaceHz(), seconds, mark ? s.amplitude : s.spaceAmplitude());
        };
        for (unsigned c : codes) {
            send(false, bit);
            for (int i = 0; i < 5; ++i)
                send((c >> i) & 1U, bit);
            send(stopIsMark, s.stopBits * bit);
            silence(s.gapSeconds);
        }
    }
    // 150 ms of mark, the text, 300 ms of silence.
    void message(const std::string& text, const Sender& s, ShiftHabit habit = ShiftHabit::OnChange)
    {
        tone(s.markHz(), 0.15, s.amplitude);
        frames(encode(text, habit), s);
        silence(0.3);
    }
    // Anything but TTY tones, from now on.
    void add(const std::vector<float>& other)
    {
        samples.insert(samples.end(), other.begin(), other.end());
        clock = static_cast<double>(samples.size());
    }

    double rate;
    std::vector<float> samples;
    double phase = 0, clock = 0;
};

// White Gaussian noise added to every sample.
inline void addNoise(std::vector<float>& x, double rms, unsigned seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> n(0, rms);
    for (float& v : x)
        v = static_cast<float>(v + n(gen));
}

inline std::vector<float> whiteNoise(double rms, double seconds, double rate, unsigned seed)
{
    std::vector<float> v(static_cast<std::size_t>(seconds * rate));
    addNoise(v, rms, seed);
    return v;
}

// The tone amplitude that puts the tones `snrDb` over white noise of `noiseRms` across the whole band.
inline double amplitudeForSnr(double snrDb, double noiseRms)
{
    return std::sqrt(2 * noiseRms * noiseRms * std::pow(10, snrDb / 10));
}

inline std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = std::exchange(row[0], i);
        for (std::size_t j = 1; j <= b.size(); ++j)
            diagonal = std::exchange(
                row[j], std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1U : 0U)}));
    }
    return row[b.size()];
}

// Character error rate: edits per character sent, at most 1.
inline double characterErrorRate(const std::string& decoded, const std::string& sent)
{
    return std::min(1.0, static_cast<double>(editDistance(decoded, sent)) / static_cast<double>(sent.size()));
}

} // namespace quillfen::test
