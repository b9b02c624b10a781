#pragma once

// Doubling and halving the sample rate for a codec that runs at 16 kHz, with one linear-phase
// low-pass (a Kaiser-windowed sinc) that keeps the telephone band and removes what lies above it.
// Each pass delays by 47 samples at 16 kHz.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillfen::codecs {

class Resampler2x
{
public:
    Resampler2x();
    // 8 kHz in, twice as many 16 kHz samples out (appended).
    void upsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out);
    // 16 kHz in (an even count), half as many 8 kHz samples out (appended).
    void downsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out);

private:
    std::vector<float> m_history; // the last kTaps - 1 samples at 16 kHz, oldest first
    std::vector<float> m_stream;  // the history and the samples of one call
};

} // namespace quillfen::codecs
