#include "prompt_synth.h"

#include "tty/baudot.h"
#include "tty/tones.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <numeric>

namespace ttyprompts {
namespace {

using quillfen::tty::figureCode;
using quillfen::tty::kMarkHz;
using quillfen::tty::kSpaceHz;
using quillfen::tty::letterCode;

// Both tones are whole multiples of this, so at every supported rate they advance by a whole number
// of phase steps per sample and "back at phase 0" is exact rather than a floating-point guess.
constexpr int kToneGrid = std::gcd(kMarkHz, kSpaceHz);

constexpr int kStretchSteps = 4; // the last stop bit grows by up to four 1 ms steps
constexpr int kSilenceMs = 100;
constexpr int kLeaderMs = 150; // carrier so a receiver is locked before the first start bit
constexpr int kOnsetMs = 4;

// A frame's timing at one line speed: start bit, five data bits, then the stop bits in half bits.
struct Timing
{
    int bitMicroseconds;
    int stopHalfBits;
    int characterMs; // one character time of idle carrier
};

Timing timingOf(Baud baud)
{
    if (baud == Baud::Baud50)
        return {quillfen::tty::kBit50Microseconds, 3, 150};
    return {quillfen::tty::kBit45Microseconds, 4, 180};
}

class Oscillator
{
public:
    explicit Oscillator(const SetShape& shape)
        : m_rate(shape.sampleRate), m_bitMicroseconds(timingOf(shape.baud).bitMicroseconds),
          m_steps(m_rate / std::gcd(m_rate, kToneGrid)), m_markStep(kMarkHz * m_steps / m_rate),
          m_spaceStep(kSpaceHz * m_steps / m_rate), m_peak(32767.0 * std::pow(10.0, shape.peakDbfs / 20.0))
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

    // Sample index where half bit `k` of a frame begins.
    int halfBitEdge(int k) const
    {
        return static_cast<int>((static_cast<long long>(k) * m_rate * m_bitMicroseconds / 2 + 500000) /
                                1000000);
    }

    std::vector<std::int16_t> take() { return std::move(m_samples); }

private:
    double sample(double phase) const { return m_peak * std::sin(2.0 * std::numbers::pi * phase / m_steps); }

    int m_rate;
    int m_bitMicroseconds;
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

// Start bit, five data bits least significant first, the stop bits.
std::vector<std::int16_t> frame(const SetShape& shape, unsigned code)
{
    Oscillator osc(shape);
    const auto bits = [&](int from, int to) { return osc.halfBitEdge(2 * to) - osc.halfBitEdge(2 * from); };
    osc.tone(false, bits(0, 1));
    for (int bit = 0; bit < 5; ++bit)
        osc.tone(((code >> bit) & 1U) != 0, bits(bit + 1, bit + 2));
    osc.closingMark(osc.halfBitEdge(12 + timingOf(shape.baud).stopHalfBits) - osc.halfBitEdge(12));
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
    osc.wholeCyclesOfMark(timingOf(shape.baud).characterMs);
    return osc.take();
}

struct CharacterPrompt
{
    const char* fileName;
    unsigned code;
};

// Letters and figures share codes; the conversion puts the shift prompts in between.
constexpr std::array<CharacterPrompt, 52> kCharacterPrompts{{
    {"a.wav", letterCode('A')},           {"b.wav", letterCode('B')},
    {"c.wav", letterCode('C')},           {"d.wav", letterCode('D')},
    {"e.wav", letterCode('E')},           {"f.wav", letterCode('F')},
    {"g.wav", letterCode('G')},           {"h.wav", letterCode('H')},
    {"i.wav", letterCode('I')},           {"j.wav", letterCode('J')},
    {"k.wav", letterCode('K')},           {"l.wav", letterCode('L')},
    {"m.wav", letterCode('M')},           {"n.wav", letterCode('N')},
    {"o.wav", letterCode('O')},           {"p.wav", letterCode('P')},
    {"q.wav", letterCode('Q')},           {"r.wav", letterCode('R')},
    {"s.wav", letterCode('S')},           {"t.wav", letterCode('T')},
    {"u.wav", letterCode('U')},           {"v.wav", letterCode('V')},
    {"w.wav", letterCode('W')},           {"x.wav", letterCode('X')},
    {"y.wav", letterCode('Y')},           {"z.wav", letterCode('Z')},
    {"0.wav", figureCode('0')},           {"1.wav", figureCode('1')},
    {"2.wav", figureCode('2')},           {"3.wav", figureCode('3')},
    {"4.wav", figureCode('4')},           {"5.wav", figureCode('5')},
    {"6.wav", figureCode('6')},           {"7.wav", figureCode('7')},
    {"8.wav", figureCode('8')},           {"9.wav", figureCode('9')},
    {"space.wav", quillfen::tty::kSpace}, {"comma.wav", figureCode(',')},
    {"question.wav", figureCode('?')},    {"colon.wav", figureCode(':')},
    {"period.wav", figureCode('.')},      {"singlequote.wav", figureCode('\'')},
    {"quote.wav", figureCode('"')},       {"pound.wav", figureCode('#')},
    {"dollar.wav", figureCode('$')},      {"dash.wav", figureCode('-')},
    {"leftparen.wav", figureCode('(')},   {"rightparen.wav", figureCode(')')},
    {"exclamation.wav", figureCode('!')}, {"and.wav", figureCode('&')},
    {"semicolon.wav", figureCode(';')},   {"slash.wav", figureCode('/')},
}};

} // namespace

bool isSupported(const SetShape& shape)
{
    // Up to 48 kHz the tones stay far below the Nyquist frequency and a phase cycle fits an int.
    return shape.sampleRate >= 8000 && shape.sampleRate <= 48000 && shape.peakDbfs >= -30.0 &&
           shape.peakDbfs <= 0.0 && (shape.baud == Baud::Baud45 || shape.baud == Baud::Baud50);
}

std::vector<Prompt> buildPromptSet(const SetShape& shape)
{
    std::vector<Prompt> set;
    set.push_back({"smallsilence.wav", smallSilence(shape)});
    // Both spellings are named by callers; on a case-insensitive file system they are one file.
    set.push_back({"LTRS.wav", frame(shape, quillfen::tty::kLtrs)});
    set.push_back({"LTRS.WAV", frame(shape, quillfen::tty::kLtrs)});
    set.push_back({"FIGS.WAV", frame(shape, quillfen::tty::kFigs)});
    set.push_back({"BlankChar.wav", blankCharacter(shape)});
    for (const auto& prompt : kCharacterPrompts)
        set.push_back({prompt.fileName, frame(shape, prompt.code)});
    return set;
}

} // namespace ttyprompts
