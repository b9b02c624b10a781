#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ttyprompts {

constexpr int kSampleRate = 8000;

struct Prompt
{
    std::string fileName;
    std::vector<std::int16_t> samples; // 16-bit mono at kSampleRate
};

// Every prompt the conversion may name. Each one starts and ends with the oscillator at phase 0,
// so any sequence of them joins without a click.
std::vector<Prompt> buildPromptSet();

} // namespace ttyprompts
