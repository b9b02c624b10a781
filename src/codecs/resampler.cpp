#include "codecs/resampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quillfen::codecs {
namespace {

// Cutoff 3.6 kHz: flat to 3.3 kHz (0.7 dB down at 3.4), at least 75 dB down from 4 kHz, where the
// 16 kHz images of 8 kHz audio begin.
constexpr int kTaps = 95; // odd, so the delay is a whole 47 samples
constexpr double kCutoffHz = 3600.0;
constexpr double kKaiserBeta = 7.0;
constexpr double kRate = 16000.0;

double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

std::array<float, kTaps> makeTaps()
{
    std::array<float, kTaps> taps{};
    const double centre = (kTaps - 1) / 2.0;
    const double fc = kCutoffHz / kRate;
    double sum = 0.0;
    std::array<double, kTaps> h{};
    for (int i = 0; i < kTaps; ++i) {
        const double t = i - centre;
        const double sinc =
            2.0 * fc *
            (t == 0.0 ? 1.0 : std::sin(2.0 * std::numbers::pi * fc * t) / (2.0 * std::numbers::pi * fc * t));
        const double r = t / centre;
        h[i] = sinc * besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / besselI0(kKaiserBeta);
        sum += h[i];
    }
    for (int i = 0; i < kTaps; ++i)
        taps[i] = static_cast<float>(h[i] / sum); // unity gain at 0 Hz
    return taps;
}

const std::array<float, kTaps>& taps()
{
    static const std::array<float, kTaps> t = makeTaps();
    return t;
}

std::int16_t toSample(float v)
{
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0F, 32767.0F)));
}

// Every output that is computed starts its window two samples after the one before.
constexpr std::size_t kStride = 2;

// Four outputs from `window` on (output l filters window[l * kStride ..)), with every `tapStep`th
// tap from `firstTap`. Each keeps its own sum, added in its own order, but the four sums no longer
// wait on one another.
void filterFour(const float* window, int firstTap, int tapStep, std::int16_t* y, std::size_t yStride)
{
    const auto& h = taps();
    float a0 = 0.0F;
    float a1 = 0.0F;
    float a2 = 0.0F;
    float a3 = 0.0F;
    for (int i = firstTap; i < kTaps; i += tapStep) {
        const float tap = h[std::size_t(kTaps - 1 - i)];
        const float* x = window + i;
        a0 += tap * x[0];
        a1 += tap * x[kStride];
        a2 += tap * x[2 * kStride];
        a3 += tap * x[3 * kStride];
    }
    y[0] = toSample(a0);
    y[yStride] = toSample(a1);
    y[2 * yStride] = toSample(a2);
    y[3 * yStride] = toSample(a3);
}

void filterOne(const float* window, int firstTap, int tapStep, std::int16_t* y)
{
    const auto& h = taps();
    float acc = 0.0F;
    for (int i = firstTap; i < kTaps; i += tapStep)
        acc += h[std::size_t(kTaps - 1 - i)] * window[i];
    *y = toSample(acc);
}

// y[k] = the filter over window[k * kStride .. + kTaps), for `count` outputs, with only every
// `tapStep`th tap from `firstTap` (the others must meet zeros, which would leave the sum as it is):
// the same sums, added in the same order, as one output at a time gives, to the bit.
void filterWindows(const float* window, std::size_t count, int firstTap, int tapStep, std::int16_t* y,
                   std::size_t yStride)
{
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4)
        filterFour(window + k * kStride, firstTap, tapStep, y + k * yStride, yStride);
    for (; k < count; ++k)
        filterOne(window + k * kStride, firstTap, tapStep, y + k * yStride);
}

} // namespace

Resampler2x::Resampler2x() : m_history(std::size_t{kTaps} - 1, 0.0F) {}

void Resampler2x::upsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out)
{
    // Zero stuffing halves the level; the factor 2 restores it. Samples sit on the even places of
    // the stream and of the history before it (both have an even length), so after a sample the
    // taps on the odd places meet zeros, and after a stuffed zero the even ones do.
    m_stream.assign(m_history.size() + 2 * in.size(), 0.0F);
    std::copy(m_history.begin(), m_history.end(), m_stream.begin());
    for (std::size_t i = 0; i < in.size(); ++i)
        m_stream[m_history.size() + 2 * i] = 2.0F * in[i];
    const std::size_t start = out.size();
    out.resize(start + 2 * in.size());
    filterWindows(m_stream.data(), in.size(), 0, 2, out.data() + start, 2);
    filterWindows(m_stream.data() + 1, in.size(), 1, 2, out.data() + start + 1, 2);
    m_history.assign(m_stream.end() - (kTaps - 1), m_stream.end());
}

void Resampler2x::downsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out)
{
    // Only every other output is kept, so the ones between are never computed; an odd last sample
    // is left out.
    const std::size_t used = in.size() & ~std::size_t{1};
    m_stream.assign(m_history.begin(), m_history.end());
    m_stream.insert(m_stream.end(), in.begin(), in.begin() + std::ptrdiff_t(used));
    const std::size_t start = out.size();
    out.resize(start + used / 2);
    filterWindows(m_stream.data(), used / 2, 0, 1, out.data() + start, 1);
    m_history.assign(m_stream.end() - (kTaps - 1), m_stream.end());
}

} // namespace quillfen::codecs
