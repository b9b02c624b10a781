#include "prompt_synth.h"

#include <array>
#include <cmath>
#include <numbers>

namespace ttyprompts {
namespace {

// Phase is counted in 1/40 cycle: at 8000 Hz both tones then advance by a whole number of steps
// per sample, so "back at phase 0" is exact rather than a floating-point guess.
constexpr int kPhaseSteps = 40;
constexpr int kMarkHz = 1400;
constexpr int kSpaceHz = 1800;
static_assert(kMarkHz * kPhaseSteps % kSampleRate == 0 && kSpaceHz * kPhaseSteps % kSampleRate == 0);
constexpr int kMarkStep = kMarkHz * kPhaseSteps / kSampleRate;
constexpr int kSpaceStep = kSpaceHz * kPhaseSteps / kSampleRate;

constexpr int kBitSamples = 176; // 45.45 baud
constexpr int kStretchStep = 8;  // the last stop bit grows in these steps...
constexpr int kMaxStretch = 32;  // ...up to this many samples
constexpr int kCharacterSamples = 1440;
constexpr int kSilenceSamples = 800; // 100 ms
constexpr int kLeaderSamples = 1200; // 150 ms of carrier so a receiver is locked before the first start bit
constexpr int kOnsetSamples = 32;    // 4 ms
constexpr double kPeak = 32767.0 * 0.31622776601683794; // -10 dBFS

constexpr unsigned kLtrs = 0b11111;
constexpr unsigned kFigs = 0b11011;

class Oscillator
{
public:
    // Appends `count` samples of mark or space; `gain` shapes the start of the leader.
    void tone(bool mark, int count, double (*gain)(int) = nullptr)
    {
        for (int i = 0; i < count; ++i) {
            double v = kPeak * std::sin(2.0 * std::numbers::pi * m_phase / kPhaseSteps);
            if (gain)
                v *= gain(i);
            m_samples.push_back(static_cast<std::int16_t>(std::lround(v)));
            m_phase = (m_phase + (mark ? kMarkStep : kSpaceStep)) % kPhaseSteps;
        }
    }
    void silence(int count) { m_samples.insert(m_samples.end(), count, 0); }
    int phase() const { return m_phase; }
    std::vector<std::int16_t> take() { return std::move(m_samples); }

private:
    int m_phase = 0;
    std::vector<std::int16_t> m_samples;
};

double raisedCosineOnset(int i)
{
    if (i >= kOnsetSamples)
        return 1.0;
    return 0.5 * (1.0 - std::cos(std::numbers::pi * i / kOnsetSamples));
}

// Start bit, five data bits least significant first, two stop bits.
std::vector<std::int16_t> frame(unsigned code)
{
    Oscillator osc;
    osc.tone(false, kBitSamples);
    for (int bit = 0; bit < 5; ++bit)
        osc.tone(((code >> bit) & 1U) != 0, kBitSamples);
    osc.tone(true, 2 * kBitSamples);
    for (int stretch = 0; osc.phase() != 0 && stretch < kMaxStretch; stretch += kStretchStep)
        osc.tone(true, kStretchStep);
    return osc.take();
}

std::vector<std::int16_t> smallSilence()
{
    Oscillator osc;
    osc.silence(kSilenceSamples);
    osc.tone(true, kLeaderSamples, raisedCosineOnset);
    return osc.take();
}

// One character time of idle carrier. Not the 00000 code, which some receivers take as backspace.
std::vector<std::int16_t> blankCharacter()
{
    Oscillator osc;
    osc.tone(true, kCharacterSamples);
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

std::vector<Prompt> buildPromptSet()
{
    std::vector<Prompt> set;
    set.push_back({"smallsilence.wav", smallSilence()});
    // Both spellings are named by callers; on a case-insensitive file system they are one file.
    set.push_back({"LTRS.wav", frame(kLtrs)});
    set.push_back({"LTRS.WAV", frame(kLtrs)});
    set.push_back({"FIGS.WAV", frame(kFigs)});
    set.push_back({"BlankChar.wav", blankCharacter()});
    for (const auto& prompt : kCharacterPrompts)
        set.push_back({prompt.fileName, frame(prompt.code)});
    return set;
}

} // namespace ttyprompts
