#include "prompt_synth.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <numeric>

namespace ttyprompts {
namespace {

constexpr int kMarkHz = 1400;
constexpr int kSpaceHz = 1800;
// Both tones are whole multiples of this, so at every supported rate they advance by a whole number
// of phase steps per sample and "back at phase 0" is exact rather than a floating-point guess.
constexpr int kToneGrid = std::gcd(kMarkHz, kSpaceHz);

constexpr int kBitMicroseconds = 22000; // 45.45 baud
constexpr int kStretchSteps = 4;        // the last stop bit grows by up to four 1 ms steps
constexpr int kCharacterMs = 180;
constexpr int kSilenceMs = 100;
constexpr int kLeaderMs = 150; // carrier so a receiver is locked before the first start bit
constexpr int kOnsetMs = 4;

constexpr unsigned kLtrs = 0b11111;
constexpr unsigned kFigs = 0b11011;

class Oscillator
{
public:
    explicit Oscillator(const SetShape& shape)
        : m_rate(shape.sampleRate), m_steps(m_rate / std::gcd(m_rate, kToneGrid)),
          m_markStep(kMarkHz * m_steps / m_rate), m_spaceStep(kSpaceHz * m_steps / m_rate),
          m_peak(32767.0 * std::pow(10.0, shape.peakDbfs / 20.0))
    {
    }

    int rate() const { return m_rate; }
    int phase() const { return m_phase; }

    // Appends `count` samples of mark or space; `gain` shapes the start of the leader.
    void tone(bool mark, int count, double (*gain)(int, int) = nullptr)
    {
        const int onset = m_rate * kOnsetMs / 1000;
        for (int i = 0; i < count; ++i) {
            double v = sample(m_phase);
            if (gain)
                v *= gain(i, onset);
            m_samples.push_back(static_cast<std::int16_t>(std::lround(v)));
            m_phase = (m_phase + (mark ? m_markStep : m_spaceStep)) % m_steps;
        }
    }

    // Mark for at least `count` samples, lengthened in whole 1 ms steps (at most four) until the
    // phase is back at 0. Where no whole step gets there (rates that are not whole kilohertz), the
    // nearest length is taken and the run's frequency is trimmed by a fraction of a hertz so that it
    // ends exactly at phase 0.
    void closingMark(int count)
    {
        if (m_rate % 1000 == 0) {
            const int step = m_rate / 1000;
            for (int stretch = 0; stretch <= kStretchSteps * step; stretch += step) {
                if ((m_phase + static_cast<long long>(count + stretch) * m_markStep) % m_steps == 0)
                    return tone(true, count + stretch);
            }
        }
        int best = count;
        long long bestTarget = 0;
        double bestMiss = m_steps;
        for (int length = count; length <= count + m_rate * kStretchSteps / 1000; ++length) {
            const long long end = m_phase + static_cast<long long>(length) * m_markStep;
            const long long target = (end + m_steps / 2) / m_steps * m_steps;
            const double miss = std::abs(static_cast<double>(end - target)) / length;
            if (miss < bestMiss) {
                best = length;
                bestTarget = target;
                bestMiss = miss;
            }
        }
        const double step = static_cast<double>(bestTarget - m_phase) / best;
        for (int i = 0; i < best; ++i)
            m_samples.push_back(static_cast<std::int16_t>(std::lround(sample(m_phase + i * step))));
        m_phase = 0;
    }

    // Mark from phase 0 for about `ms`, as long as it takes to end at phase 0 again.
    void wholeCyclesOfMark(int ms, double (*gain)(int, int) = nullptr)
    {
        const int period = m_steps / std::gcd(m_markStep, m_steps);
        const double wanted = static_cast<double>(m_rate) * ms / 1000.0;
        tone(true, static_cast<int>(std::lround(wanted / period)) * period, gain);
    }

    void silence(int ms) { m_samples.insert(m_samples.end(), std::lround(m_rate * ms / 1000.0), 0); }

    // Sample index where bit `k` of a frame begins.
    int bitEdge(int k) const
    {
        return static_cast<int>((static_cast<long long>(k) * m_rate * kBitMicroseconds + 500000) / 1000000);
    }

    std::vector<std::int16_t> take() { return std::move(m_samples); }

private:
    double sample(double phase) const { return m_peak * std::sin(2.0 * std::numbers::pi * phase / m_steps); }

    int m_rate;
    int m_steps; // phase steps per cycle
    int m_markStep;
    int m_spaceStep;
    double m_peak;
    int m_phase = 0;
    std::vector<std::int16_t> m_samples;
};

double raisedCosineOnset(int i, int length)
{
    if (i >= length)
        return 1.0;
    return 0.5 * (1.0 - std::cos(std::numbers::pi * i / length));
}

// Start bit, five data bits least significant first, two stop bits.
std::vector<std::int16_t> frame(const SetShape& shape, unsigned code)
{
    Oscillator osc(shape);
    const auto bits = [&](int from, int to) { return osc.bitEdge(to) - osc.bitEdge(from); };
    osc.tone(false, bits(0, 1));
    for (int bit = 0; bit < 5; ++bit)
        osc.tone(((code >> bit) & 1U) != 0, bits(bit + 1, bit + 2));
    osc.closingMark(bits(6, 8));
    return osc.take();
}

std::vector<std::int16_t> smallSilence(const SetShape& shape)
{
    Oscillator osc(shape);
    osc.silence(kSilenceMs);
    osc.wholeCyclesOfMark(kLeaderMs, raisedCosineOnset);
    return osc.take();
}

// One character time of idle carrier. Not the 00000 code, which some receivers take as backspace.
std::vector<std::int16_t> blankCharacter(const SetShape& shape)
{
    Oscillator osc(shape);
    osc.wholeCyclesOfMark(kCharacterMs);
    return osc.take();
}

struct CharacterPrompt
{
    const char* fileName;
    unsigned code; // as written in the code table: most significant bit first
};

// Letters and figures share codes; the conversion puts the shift prompts in between.
constexpr std::array<CharacterPrompt, 52> kCharacterPrompts{{
    {"a.wav", 0b00011},           {"b.wav", 0b11001},         {"c.wav", 0b01110},
    {"d.wav", 0b01001},           {"e.wav", 0b00001},         {"f.wav", 0b01101},
    {"g.wav", 0b11010},           {"h.wav", 0b10100},         {"i.wav", 0b00110},
    {"j.wav", 0b01011},           {"k.wav", 0b01111},         {"l.wav", 0b10010},
    {"m.wav", 0b11100},           {"n.wav", 0b01100},         {"o.wav", 0b11000},
    {"p.wav", 0b10110},           {"q.wav", 0b10111},         {"r.wav", 0b01010},
    {"s.wav", 0b00101},           {"t.wav", 0b10000},         {"u.wav", 0b00111},
    {"v.wav", 0b11110},           {"w.wav", 0b10011},         {"x.wav", 0b11101},
    {"y.wav", 0b10101},           {"z.wav", 0b10001},         {"0.wav", 0b10110},
    {"1.wav", 0b10111},           {"2.wav", 0b10011},         {"3.wav", 0b00001},
    {"4.wav", 0b01010},           {"5.wav", 0b10000},         {"6.wav", 0b10101},
    {"7.wav", 0b00111},           {"8.wav", 0b00110},         {"9.wav", 0b11000},
    {"space.wav", 0b00100},       {"comma.wav", 0b01100},     {"question.wav", 0b11001},
    {"colon.wav", 0b01110},       {"period.wav", 0b11100},    {"singlequote.wav", 0b01011},
    {"quote.wav", 0b10001},       {"pound.wav", 0b10100},     {"dollar.wav", 0b01001},
    {"dash.wav", 0b00011},        {"leftparen.wav", 0b01111}, {"rightparen.wav", 0b10010},
    {"exclamation.wav", 0b01101}, {"and.wav", 0b11010},       {"semicolon.wav", 0b11110},
    {"slash.wav", 0b11101},
}};

} // namespace

bool isSupported(const SetShape& shape)
{
    // Up to 48 kHz the tones stay far below the Nyquist frequency and a phase cycle fits an int.
    return shape.sampleRate >= 8000 && shape.sampleRate <= 48000 && shape.peakDbfs >= -30.0 &&
           shape.peakDbfs <= 0.0;
}

std::vector<Prompt> buildPromptSet(const SetShape& shape)
{
    std::vector<Prompt> set;
    set.push_back({"smallsilence.wav", smallSilence(shape)});
    // Both spellings are named by callers; on a case-insensitive file system they are one file.
    set.push_back({"LTRS.wav", frame(shape, kLtrs)});
    set.push_back({"LTRS.WAV", frame(shape, kLtrs)});
    set.push_back({"FIGS.WAV", frame(shape, kFigs)});
    set.push_back({"BlankChar.wav", blankCharacter(shape)});
    for (const auto& prompt : kCharacterPrompts)
        set.push_back({prompt.fileName, frame(shape, prompt.code)});
    return set;
}

} // namespace ttyprompts
