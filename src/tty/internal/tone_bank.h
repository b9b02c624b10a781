#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace quillfen::tty {

// A Baudot rate the decoder listens for.
struct BaudPlan
{
    double baud;
    double bitSamples; // one bit at the baseband rate, fractional
    int window;        // the matched filter: one bit, rounded
};

// Mixes the input down to complex baseband around the midpoint of the two tones and decimates it by
// an integer factor to 1.0-1.33 kHz. Everything after this runs at that rate, so the cost per second
// of audio barely depends on the input rate.
class Baseband
{
public:
    explicit Baseband(double sampleRate);

    double outputRate() const { return m_outputRate; }

    // Appends the baseband samples the new input completes. Output k is centred on input k * factor.
    void push(std::span<const float> in, std::vector<std::complex<float>>& out);
    // Appends the outputs still owed, up to the one centred on the last input sample.
    void finish(std::vector<std::complex<float>>& out);

private:
    void emitReady(std::vector<std::complex<float>>& out, std::int64_t lastCentre);

    double m_outputRate;
    int m_factor;
    int m_half;                    // taps on each side of the centre
    std::vector<float> m_re, m_im; // low-pass taps shifted to the tones' midpoint: mixing comes free
    std::vector<float> m_input;
    std::int64_t m_base; // input index of m_input[0]; negative at first: silence before
    std::int64_t m_inputs = 0;
    std::int64_t m_next = 0; // next output index
    std::complex<double> m_osc{1.0, 0.0}, m_oscStep;
};

// Energy of each tone over one bit, normalised by the local noise floor so that noise alone averages
// about 1. Feature n belongs to the bit-long window that ends at baseband sample n.
struct ToneFeature
{
    float mark = 0.0F;
    float space = 0.0F;
};

// Matched filters for the two tones, for each baud plan. Every block of about 32 ms a spectrum over one
// bit is taken on a 10 Hz grid across +-4 % of each tone and beside them; averaged over the surrounding
// 0.6 s (0.3 s either side), its peaks say where the sender's tones really are (a sender 3 % off would rotate
// a fixed filter's phase by more than a cycle within a bit), and its bins between the tones give the noise
// floor. The per-sample filters then run at those frequencies.
class ToneBank
{
public:
    ToneBank(double rate, std::vector<BaudPlan> plans);

    // Features for plan p are appended to out[p], in order, from index 0, lagging the input by the
    // averaging half-span.
    void push(std::span<const std::complex<float>> in, std::vector<std::vector<ToneFeature>>& out);
    void finish(std::vector<std::vector<ToneFeature>>& out);

private:
    void analyseBlock(std::int64_t block);
    void filterBlock(std::int64_t block, std::vector<std::vector<ToneFeature>>& out);
    void slideSpan(std::int64_t block);
    // Where the sender's tones are: their grid bins and their frequencies, mark first.
    struct Tones
    {
        int bin[2];
        double hz[2];
    };
    Tones findTones() const;
    double noisePerBin(const Tones& t) const;
    void runFilters(int window, const double (&hz)[2], const double (&gain)[2], double noisePerSample,
                    std::int64_t from, std::int64_t to, std::vector<ToneFeature>& out) const;
    std::complex<float> sample(std::int64_t n) const
    {
        return m_ring[static_cast<std::size_t>(n) & m_ringMask];
    }

    std::vector<BaudPlan> m_plans;
    double m_rate;
    int m_block;      // samples per spectrum
    int m_halfBlocks; // averaging half-span in blocks
    int m_window;     // spectrum window: the longest plan's bit
    std::vector<double> m_binHz;
    // [window][bin], real and imaginary apart and the bins padded to kTwiddleBins, so that a sample
    // meets every bin in one straight, vectorisable loop.
    std::vector<float> m_twiddleRe, m_twiddleIm;
    std::vector<std::complex<float>> m_ring; // recent baseband samples
    std::size_t m_ringMask = 0;
    std::vector<float> m_spectra;                // [block ring][bin]
    std::vector<double> m_smoothed;              // [bin]: spectra summed over the blocks in the span
    mutable std::vector<float> m_noiseValues;    // scratch for the noise floor
    std::int64_t m_spanFirst = 0, m_spanEnd = 0; // blocks [first, end) are in m_smoothed
    std::int64_t m_count = 0;                    // baseband samples in
    std::int64_t m_analysed = 0;                 // blocks with a spectrum
    std::int64_t m_filtered = 0;                 // blocks turned into features
};

} // namespace quillfen::tty
