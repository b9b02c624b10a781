#include "tty/internal/tone_bank.h"

#include "tty/tones.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quillfen::tty {
namespace {

constexpr double kCentreHz = (kMarkHz + kSpaceHz) / 2.0; // 1600 Hz, midway between the tones
constexpr double kBasebandHz = 1000.0;
// The decimation filter passes +-380 Hz round the centre (both tones moved by a line up to
// kOffsetHz, a sender's own error and the keying's sidebands) and stops from 620 Hz, whose alias lands
// outside +-380 Hz at the lowest output rate.
constexpr double kPassHz = 380.0, kStopHz = 620.0;

// One spectrum grid, 10 Hz apart, covers both tones moved together by up to kOffsetHz (a line's
// frequency offset) and each of them kRefineHz further on its own (a sender 3 % off moves them apart).
constexpr double kOffsetHz = 170.0, kRefineHz = 30.0, kBinStepHz = 10.0;
constexpr int kOffsetBins = static_cast<int>(kOffsetHz / kBinStepHz);
constexpr int kRefineBins = static_cast<int>(kRefineHz / kBinStepHz);
constexpr double kGridLowHz = kMarkHz - kOffsetHz - kRefineHz;
constexpr int kMarkBin = kOffsetBins + kRefineBins;
constexpr int kToneGapBins = static_cast<int>((kSpaceHz - kMarkHz) / kBinStepHz);
constexpr int kGridBins = kMarkBin + kToneGapBins + kOffsetBins + kRefineBins + 1;
// The grid padded to a multiple of eight, so that its loop needs no remainder and vectorises.
constexpr std::size_t kTwiddleBins = static_cast<std::size_t>(kGridBins + 7) / 8 * 8;
// Noise bins between the tones as found, at least 150 Hz (three bin widths) from either.
constexpr int kNoiseBins[] = {15, kToneGapBins / 2, kToneGapBins - 16};
// A spectrum every 32 ms; the tones are placed by the spectra averaged over 0.6 s, this on either side.
constexpr double kBlockSeconds = 0.032, kAverageHalfSpanSeconds = 0.3;
// A line that slopes between the tones makes one louder: past this much (in power: more than a flat
// line's mark-heavy characters show), the louder tone is brought down to the other's level so every
// bit is judged against each tone's own level. Only with both tones this far over the noise.
constexpr double kLevelSlack = 2.0, kTonePresent = 2.0;
// The mean of the quieter half of exponentially distributed values, in units of their mean:
// (1 - (1 + ln 2) / 2) / (1 / 2).
constexpr double kQuietHalfMean = 0.30685;
// The most a tone's spectrum over the span may stand over the noise floor (in power).
constexpr double kMostOverFloor = 100.0;

std::complex<double> rotation(double hz, double rate)
{
    return std::polar(1.0, 2.0 * std::numbers::pi * hz / rate);
}

// The recursion's modulus drifts by rounding; pull it back to 1 (a first-order Newton step).
void renormalise(std::complex<double>& z)
{
    z *= 1.5 - 0.5 * std::norm(z);
}

// The noise floor never counts as less than this (per sample): digital silence must not divide by 0.
constexpr double kLeastNoise = 1e-30;

// Input samples dropped at once: rarely enough that erasing the front of the buffer costs little.
constexpr std::int64_t kDropInputSamples = 65536;

// Written out: std::complex's operator* guards against infinities and does not vectorise.
inline std::complex<float> mul(std::complex<float> a, std::complex<float> b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

inline float norm(std::complex<float> a)
{
    return a.real() * a.real() + a.imag() * a.imag();
}

} // namespace

Baseband::Baseband(double sampleRate)
    : m_factor(std::max(1, static_cast<int>(sampleRate / kBasebandHz))),
      m_oscStep(rotation(-kCentreHz * m_factor, sampleRate))
{
    m_outputRate = sampleRate / m_factor;
    // Hamming window: transition about 3.3 / taps of the rate, stopband below -50 dB.
    const int taps = static_cast<int>(std::ceil(3.3 * sampleRate / (kStopHz - kPassHz))) | 1;
    m_half = taps / 2;
    const double cutoff = 0.5 * (kPassHz + kStopHz) / sampleRate;
    const double w = 2.0 * std::numbers::pi * kCentreHz / sampleRate;
    std::vector<double> h(static_cast<std::size_t>(taps));
    double sum = 0.0;
    for (int i = 0; i < taps; ++i) {
        const double k = i - m_half;
        const double sinc =
            k == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * k) / (std::numbers::pi * k);
        h[static_cast<std::size_t>(i)] =
            sinc * (0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / (taps - 1)));
        sum += h[static_cast<std::size_t>(i)];
    }
    // y[k] = e^{-jw kR} * sum_t x[kR - H + t] h[t] e^{jw (H - t)}: the mixing moves into the taps.
    for (int t = 0; t < taps; ++t) {
        const double v = h[static_cast<std::size_t>(t)] / sum;
        m_re.push_back(static_cast<float>(v * std::cos(w * (m_half - t))));
        m_im.push_back(static_cast<float>(v * std::sin(w * (m_half - t))));
    }
    m_base = -m_half;
    m_input.assign(static_cast<std::size_t>(m_half), 0.0F);
}

void Baseband::push(std::span<const float> in, std::vector<std::complex<float>>& out)
{
    m_input.insert(m_input.end(), in.begin(), in.end());
    m_inputs += static_cast<std::int64_t>(in.size());
    emitReady(out, m_inputs - 1 - m_half);
}

void Baseband::finish(std::vector<std::complex<float>>& out)
{
    m_input.insert(m_input.end(), static_cast<std::size_t>(m_half), 0.0F);
    emitReady(out, m_inputs - 1);
}

void Baseband::emitReady(std::vector<std::complex<float>>& out, std::int64_t lastCentre)
{
    const std::size_t taps = m_re.size();
    for (; m_next * m_factor <= lastCentre; ++m_next) {
        const float* x = m_input.data() + (m_next * m_factor - m_half - m_base);
        // Four partial sums keep several multiply-adds in flight.
        float r[4] = {}, q[4] = {};
        std::size_t i = 0;
        for (; i + 4 <= taps; i += 4) {
            for (std::size_t j = 0; j < 4; ++j) {
                r[j] += m_re[i + j] * x[i + j];
                q[j] += m_im[i + j] * x[i + j];
            }
        }
        for (; i < taps; ++i) {
            r[0] += m_re[i] * x[i];
            q[0] += m_im[i] * x[i];
        }
        const std::complex<double> y(r[0] + r[1] + r[2] + r[3], q[0] + q[1] + q[2] + q[3]);
        out.emplace_back(y * m_osc);
        m_osc *= m_oscStep;
        if ((m_next & 63) == 63)
            renormalise(m_osc);
    }
    // Drop input no later output needs, in large steps so the copying stays cheap.
    const std::int64_t drop = m_next * m_factor - m_half - m_base;
    if (drop > kDropInputSamples) {
        m_input.erase(m_input.begin(), m_input.begin() + drop);
        m_base += drop;
    }
}

ToneBank::ToneBank(double rate, std::vector<BaudPlan> plans)
    : m_plans(std::move(plans)), m_rate(rate),
      m_block(std::max(8, static_cast<int>(std::lround(kBlockSeconds * rate)))),
      m_halfBlocks(static_cast<int>(std::lround(kAverageHalfSpanSeconds * rate / m_block)))
{
    m_window = 0;
    for (const BaudPlan& p : m_plans)
        m_window = std::max(m_window, p.window);
    for (int i = 0; i < kGridBins; ++i)
        m_binHz.push_back(kGridLowHz + i * kBinStepHz);
    // X = sum_k z[n - k] e^{jwk}: the same magnitude as the filter matched to the bin's tone.
    m_twiddleRe.assign(static_cast<std::size_t>(m_window) * kTwiddleBins, 0.0F);
    m_twiddleIm.assign(m_twiddleRe.size(), 0.0F);
    for (std::size_t b = 0; b < m_binHz.size(); ++b) {
        const std::complex<double> step = rotation(m_binHz[b] - kCentreHz, rate);
        std::complex<double> t = 1.0;
        for (std::size_t k = 0; k < static_cast<std::size_t>(m_window); ++k, t *= step) {
            const std::complex<float> f(t);
            m_twiddleRe[k * kTwiddleBins + b] = f.real();
            m_twiddleIm[k * kTwiddleBins + b] = f.imag();
        }
    }
    // The filters for block j run once the spectra up to block j + halfBlocks exist, and reach back
    // one window before the block.
    const std::size_t needed =
        (static_cast<std::size_t>(m_halfBlocks) + 2) * static_cast<std::size_t>(m_block) +
        static_cast<std::size_t>(m_window) + 1;
    std::size_t ring = 1;
    while (ring < needed)
        ring <<= 1;
    m_ring.assign(ring, {});
    m_ringMask = ring - 1;
    m_spectra.assign((2 * static_cast<std::size_t>(m_halfBlocks) + 2) * m_binHz.size(), 0.0F);
    m_smoothed.assign(m_binHz.size(), 0.0);
}

void ToneBank::push(std::span<const std::complex<float>> in, std::vector<std::vector<ToneFeature>>& out)
{
    for (const std::complex<float> z : in) {
        m_ring[static_cast<std::size_t>(m_count) & m_ringMask] = z;
        if (++m_count % m_block != 0)
            continue;
        analyseBlock(m_analysed++);
        if (m_analysed - 1 - m_filtered >= m_halfBlocks)
            filterBlock(m_filtered++, out);
    }
}

void ToneBank::finish(std::vector<std::vector<ToneFeature>>& out)
{
    // A last, partial block: spectrum over whatever came, features for the samples that exist.
    if (m_count % m_block != 0)
        analyseBlock(m_analysed++);
    while (m_filtered < m_analysed)
        filterBlock(m_filtered++, out);
}

void ToneBank::analyseBlock(std::int64_t block)
{
    const std::int64_t last = std::min((block + 1) * m_block, m_count) - 1;
    const std::size_t bins = m_binHz.size();
    float* spectrum = &m_spectra[static_cast<std::size_t>(block % (2 * m_halfBlocks + 2)) * bins];
    std::array<float, kTwiddleBins> re{}, im{};
    for (int k = 0; k < m_window && last - k >= 0; ++k) {
        const std::complex<float> z = sample(last - k);
        const float* tr = &m_twiddleRe[static_cast<std::size_t>(k) * kTwiddleBins];
        const float* ti = &m_twiddleIm[static_cast<std::size_t>(k) * kTwiddleBins];
        for (std::size_t b = 0; b < kTwiddleBins; ++b) {
            re[b] += z.real() * tr[b] - z.imag() * ti[b];
            im[b] += z.real() * ti[b] + z.imag() * tr[b];
        }
    }
    for (std::size_t b = 0; b < bins; ++b)
        spectrum[b] = re[b] * re[b] + im[b] * im[b];
}

void ToneBank::slideSpan(std::int64_t block)
{
    // The averaging span becomes [block - half, block + half], clipped to the blocks that exist.
    const std::size_t bins = m_binHz.size();
    const auto slots = 2 * static_cast<std::int64_t>(m_halfBlocks) + 2;
    const auto spectrum = [&](std::int64_t b) {
        return &m_spectra[static_cast<std::size_t>(b % slots) * bins];
    };
    const std::int64_t first = std::max<std::int64_t>(0, block - m_halfBlocks);
    const std::int64_t end = std::min(block + m_halfBlocks + 1, m_analysed);
    for (; m_spanEnd < end; ++m_spanEnd) {
        const float* s = spectrum(m_spanEnd);
        for (std::size_t b = 0; b < bins; ++b)
            m_smoothed[b] += s[b];
    }
    for (; m_spanFirst < first; ++m_spanFirst) {
        const float* s = spectrum(m_spanFirst);
        for (std::size_t b = 0; b < bins; ++b)
            m_smoothed[b] -= s[b];
    }
}

ToneBank::Tones ToneBank::findTones() const
{
    // A line moves both tones by the same offset: the pair is placed first by their summed spectra,
    // then each tone round there on its own.
    const auto s = [this](int bin) { return m_smoothed[static_cast<std::size_t>(bin)]; };
    int offset = 0;
    double best = -1.0;
    for (int i = -kOffsetBins; i <= kOffsetBins; ++i) {
        const double sum = s(kMarkBin + i) + s(kMarkBin + kToneGapBins + i);
        if (sum > best) {
            best = sum;
            offset = i;
        }
    }
    Tones t;
    for (std::size_t k = 0; k < 2; ++k) {
        const int centre = kMarkBin + offset + static_cast<int>(k) * kToneGapBins;
        int peak = centre;
        for (int b = centre - kRefineBins; b <= centre + kRefineBins; ++b)
            if (s(b) > s(peak))
                peak = b;
        // Refined by a parabola through the peak and its neighbours.
        double shift = 0.0;
        if (peak > 0 && peak < kGridBins - 1) {
            const double a = s(peak - 1), b = s(peak), c = s(peak + 1), d = a - 2 * b + c;
            if (d < 0)
                shift = std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
        }
        t.bin[k] = peak;
        t.hz[k] = m_binHz[static_cast<std::size_t>(peak)] + shift * kBinStepHz;
    }
    return t;
}

double ToneBank::noisePerBin(const Tones& t) const
{
    // Two views of the noise bins between the tones, summed over the span like the tones' bins. The
    // median of their means: a stray tone in one of them does not count, but speech passing through
    // (louder than the tones, now and then) raises it. The quieter half of all their spectra: speech
    // does not reach it, but silence between a caller's words pulls it down, and noise then makes
    // frames. The floor is their geometric mean. (Noise alone is exponential in each bin, whose
    // quieter half averages kQuietHalfMean of its mean.)
    const std::size_t bins = m_binHz.size();
    const auto slots = 2 * static_cast<std::int64_t>(m_halfBlocks) + 2;
    const auto blocks = static_cast<double>(m_spanEnd - m_spanFirst);
    std::vector<float>& v = m_noiseValues;
    v.clear();
    double means[std::size(kNoiseBins)];
    for (std::size_t i = 0; i < std::size(kNoiseBins); ++i) {
        const int noiseBin = t.bin[0] + kNoiseBins[i];
        const auto bin = static_cast<std::size_t>(noiseBin);
        means[i] = m_smoothed[bin];
        for (std::int64_t b = m_spanFirst; b < m_spanEnd; ++b)
            v.push_back(m_spectra[static_cast<std::size_t>(b % slots) * bins + bin]);
    }
    std::sort(std::begin(means), std::end(means));
    const auto half = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), half, v.end());
    double quiet = 0.0;
    for (auto i = v.begin(); i != half; ++i)
        quiet += *i;
    if (half != v.begin())
        quiet *= blocks / static_cast<double>(half - v.begin()) / kQuietHalfMean;
    // Where the line falls digitally silent between characters the floor is the tones' own leakage,
    // and no feature may stand further than kMostOverFloor over it.
    const double loudest = std::max(m_smoothed[static_cast<std::size_t>(t.bin[0])],
                                    m_smoothed[static_cast<std::size_t>(t.bin[1])]);
    return std::max(std::sqrt(quiet * means[std::size(means) / 2]), loudest / kMostOverFloor);
}

void ToneBank::filterBlock(std::int64_t block, std::vector<std::vector<ToneFeature>>& out)
{
    slideSpan(block);
    const Tones t = findTones();
    const double noiseBin = noisePerBin(t);
    // Per sample of window, so each plan can scale it to its own window.
    const double noise =
        std::max(noiseBin / static_cast<double>(m_spanEnd - m_spanFirst) / m_window, kLeastNoise);
    // Each tone's power over the span above the noise: the louder one is brought down to the other.
    double gain[2] = {1.0, 1.0};
    const double power[2] = {m_smoothed[static_cast<std::size_t>(t.bin[0])] - noiseBin,
                             m_smoothed[static_cast<std::size_t>(t.bin[1])] - noiseBin};
    if (std::min(power[0], power[1]) > kTonePresent * noiseBin) {
        const std::size_t loud = power[0] > power[1] ? 0 : 1;
        const double ratio = power[loud] / power[1 - loud];
        if (ratio > kLevelSlack)
            gain[loud] = kLevelSlack / ratio;
    }
    const std::int64_t from = block * m_block, to = std::min((block + 1) * m_block, m_count);
    for (std::size_t p = 0; p < m_plans.size(); ++p)
        runFilters(m_plans[p].window, t.hz, gain, noise, from, to, out[p]);
}

void ToneBank::runFilters(int w, const double (&hz)[2], const double (&gain)[2], double noisePerSample,
                          std::int64_t from, std::int64_t to, std::vector<ToneFeature>& out) const
{
    const float scale[2] = {static_cast<float>(gain[0] / (noisePerSample * w)),
                            static_cast<float>(gain[1] / (noisePerSample * w))};
    // Sliding DFTs X_n = e^{jw} X_{n-1} + z[n] - z[n-W] e^{jwW}, restarted exactly at each block,
    // where the frequency may change and before rounding can build up.
    std::complex<float> step[2], tail[2], x[2];
    for (std::size_t t = 0; t < 2; ++t) {
        const std::complex<double> r = rotation(hz[t] - kCentreHz, m_rate);
        step[t] = std::complex<float>(r);
        tail[t] = std::complex<float>(std::pow(r, w));
        std::complex<double> sum = 0.0, tw = 1.0;
        for (int k = 0; k < w && from - k >= 0; ++k, tw *= r)
            sum += std::complex<double>(sample(from - k)) * tw;
        x[t] = std::complex<float>(sum);
    }
    out.push_back({norm(x[0]) * scale[0], norm(x[1]) * scale[1]});
    for (std::int64_t n = from + 1; n < to; ++n) {
        const std::complex<float> z = sample(n);
        const std::complex<float> old = n - w >= 0 ? sample(n - w) : std::complex<float>();
        for (std::size_t t = 0; t < 2; ++t)
            x[t] = mul(step[t], x[t]) + z - mul(old, tail[t]);
        out.push_back({norm(x[0]) * scale[0], norm(x[1]) * scale[1]});
    }
}

} // namespace quillfen::tty
