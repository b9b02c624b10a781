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

} // namespace

Resampler2x::Resampler2x() : m_history(std::size_t{2} * kTaps, 0.0F) {}

void Resampler2x::store(float sample)
{
    // Each sample goes in twice, kTaps apart, so the newest kTaps lie in one straight run.
    m_history[m_at] = sample;
    m_history[m_at + kTaps] = sample;
    m_at = (m_at + 1) % kTaps;
}

float Resampler2x::push(float sample, int firstTap, int tapStep)
{
    store(sample);
    const float* newestLast = m_history.data() + m_at; // oldest first, kTaps long
    const auto& h = taps();
    // The sum runs in the same order whatever taps it skips: a skipped tap only ever meets a zero,
    // which leaves the sum as it is, so every result is the full filter's to the bit.
    float acc = 0.0F;
    for (int i = firstTap; i < kTaps; i += tapStep)
        acc += h[kTaps - 1 - i] * newestLast[i];
    return acc;
}

void Resampler2x::upsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out)
{
    // Zero stuffing halves the level; the factor 2 restores it. Every other input is a stuffed zero:
    // after a sample the taps on the odd places meet zeros, after a zero the even ones do.
    for (const std::int16_t s : in) {
        out.push_back(toSample(push(2.0F * s, 0, 2)));
        out.push_back(toSample(push(0.0F, 1, 2)));
    }
}

void Resampler2x::downsample(std::span<const std::int16_t> in, std::vector<std::int16_t>& out)
{
    // Only every other output is kept, so the ones between are never computed.
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        out.push_back(toSample(push(in[i])));
        store(in[i + 1]);
    }
}

} // namespace quillfen::codecs
