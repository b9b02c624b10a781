#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ttyprompts {

// The standard set: what the program directory holds.
constexpr int kStandardRate = 8000;
constexpr double kStandardLevelDb = -10.0;

// The line speeds a set can be made for.
enum class Baud { Baud45, Baud50 };

struct SetShape
{
    int sampleRate = kStandardRate;     // one of the rates a phone or media system takes, 8000-48000
    double peakDbfs = kStandardLevelDb; // -30 to 0
    // 45.45 baud: 22 ms bits and two stop bits, as US senders time them. 50 baud: 20 ms bits and
    // one and a half stop bits, the convention where 50 baud is the rate.
    Baud baud = Baud::Baud45;
};

struct Prompt
{
    std::string fileName;
    std::vector<std::int16_t> samples; // 16-bit mono at the set's rate
};

// Whether buildPromptSet can make a set of this shape.
bool isSupported(const SetShape& shape);

// Every prompt the conversion may name. Each one starts and ends with the oscillator at phase 0,
// so any sequence of them joins without a click. The standard shape gives the same samples as it
// always has: cached sets made by an earlier version stay valid only while that holds.
std::vector<Prompt> buildPromptSet(const SetShape& shape = {});

} // namespace ttyprompts
