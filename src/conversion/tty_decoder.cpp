#include "conversion/tty_decoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <memory>
#include <numbers>
#include <sndfile.h>
#include <stdexcept>

namespace quillfen::tty {
namespace {

constexpr double kMarkHz = 1400.0;
constexpr double kSpaceHz = 1800.0;
constexpr double kBitSeconds = 0.022; // 45.45 baud
// Below this the space tone would fold over; nothing to decode.
constexpr double kMinSampleRate = 4000.0;
// A tone weaker than about -50 dBFS is no carrier, so dither and hiss stay silent.
constexpr double kMinAmplitude = 0.00316;
// Share of the window's energy the two tone bins must hold at the start and stop bit. White noise
// puts about 4/window there, a clean carrier about 1, and one 5 % off still over 0.6.
constexpr double kMinPurity = 0.35;
// Spacing of the flanking bins, relative to the tone.
constexpr double kFlank = 0.025;

constexpr unsigned kLtrs = 0b11111;
constexpr unsigned kFigs = 0b11011;
constexpr unsigned kSpace = 0b00100;
constexpr unsigned kLineFeed = 0b00010;

struct CodeEntry
{
    unsigned code;
    char letter;
    char figure; // '\0': prints nothing (the bell)
};

constexpr CodeEntry kCodes[] = {
    {0b00011, 'A', '-'}, {0b11001, 'B', '?'}, {0b01110, 'C', ':'}, {0b01001, 'D', '$'},  {0b00001, 'E', '3'},
    {0b01101, 'F', '!'}, {0b11010, 'G', '&'}, {0b10100, 'H', '#'}, {0b00110, 'I', '8'},  {0b01011, 'J', '\''},
    {0b01111, 'K', '('}, {0b10010, 'L', ')'}, {0b11100, 'M', '.'}, {0b01100, 'N', ','},  {0b11000, 'O', '9'},
    {0b10110, 'P', '0'}, {0b10111, 'Q', '1'}, {0b01010, 'R', '4'}, {0b00101, 'S', '\0'}, {0b10000, 'T', '5'},
    {0b00111, 'U', '7'}, {0b11110, 'V', ';'}, {0b10011, 'W', '2'}, {0b11101, 'X', '/'},  {0b10101, 'Y', '6'},
    {0b10001, 'Z', '"'},
};

struct ShiftTables
{
    std::array<char, 32> letters{};
    std::array<char, 32> figures{};
};

constexpr ShiftTables makeShiftTables()
{
    ShiftTables t;
    for (const auto& e : kCodes) {
        t.letters[e.code] = e.letter;
        t.figures[e.code] = e.figure;
    }
    return t;
}

constexpr ShiftTables kTables = makeShiftTables();

// Pulls up to `max` mono samples into `out`; 0 means the input has ended.
using SampleSource = std::function<std::size_t(float* out, std::size_t max)>;

struct ToneFeature
{
    float mark = 0.0F; // amplitude of each tone in the window, full scale = 1
    float space = 0.0F;
    float purity = 0.0F; // share of the window's energy in the two tones

    bool isMark() const { return mark > space && mark >= kMinAmplitude; }
    bool isSpace() const { return space > mark && space >= kMinAmplitude; }
    bool hasCarrier() const { return std::max(mark, space) >= kMinAmplitude; }
    bool isClean() const { return purity >= kMinPurity; }
};

// Sliding single-bin DFTs of the mark and space tones plus the window energy, one result per
// sample, O(1) each. Each tone is also heard a little below and above its nominal frequency, so
// a sender a few per cent off still looks clean to the purity test. Results are computed on demand
// and kept for `history` samples so the frame reader may look ahead and the hunt may then step
// back behind a rejected frame.
class ToneAnalyser
{
public:
    ToneAnalyser(double sampleRate, int window, std::size_t history, SampleSource source)
        : m_window(static_cast<std::size_t>(window)), m_history(history), m_source(std::move(source)),
          m_ring(m_window, 0.0), m_features(history)
    {
        const std::array<double, kBins> hz{kMarkHz * (1 - kFlank),  kMarkHz,  kMarkHz * (1 + kFlank),
                                           kSpaceHz * (1 - kFlank), kSpaceHz, kSpaceHz * (1 + kFlank)};
        m_twiddles.resize(kBins * m_window);
        for (std::size_t b = 0; b < kBins; ++b) {
            const double w = 2.0 * std::numbers::pi * hz[b] / sampleRate;
            m_stepRe[b] = std::cos(w);
            m_stepIm[b] = std::sin(w);
            m_tailRe[b] = std::cos(w * window);
            m_tailIm[b] = std::sin(w * window);
            for (std::size_t m = 0; m < m_window; ++m)
                m_twiddles[b * m_window + m] = {std::cos(w * m), std::sin(w * m)};
        }
    }

    // The window ending at sample n; samples before the input count as silence. nullptr when the
    // input ends before n.
    const ToneFeature* at(std::int64_t n)
    {
        if (n < 0)
            return &m_silent;
        while (m_computed <= n) {
            if (!advance())
                return nullptr;
        }
        if (m_computed - n > static_cast<std::int64_t>(m_history))
            throw std::logic_error("tone history too short");
        return &m_features[static_cast<std::size_t>(n) % m_history];
    }

private:
    static constexpr std::size_t kBins = 6; // mark and its flanks, then space and its flanks

    bool nextSample(double& x)
    {
        if (m_bufferPos == m_bufferLen) {
            m_bufferLen = m_source(m_buffer.data(), m_buffer.size());
            m_bufferPos = 0;
            if (m_bufferLen == 0)
                return false;
        }
        x = m_buffer[m_bufferPos++];
        return true;
    }

    // Y(n) = sum over m < W of x[n-m] e^{jwm} = x[n] + e^{jw} Y(n-1) - x[n-W] e^{jwW}
    bool advance()
    {
        double x = 0.0;
        if (!nextSample(x))
            return false;
        const auto n = static_cast<std::uint64_t>(m_computed);
        const std::size_t slot = n % m_window;
        const double old = m_ring[slot];
        m_ring[slot] = x;
        for (std::size_t b = 0; b < kBins; ++b) {
            const double re = x + m_stepRe[b] * m_sumRe[b] - m_stepIm[b] * m_sumIm[b] - old * m_tailRe[b];
            const double im = m_stepRe[b] * m_sumIm[b] + m_stepIm[b] * m_sumRe[b] - old * m_tailIm[b];
            m_sumRe[b] = re;
            m_sumIm[b] = im;
        }
        m_energy += x * x - old * old;
        // The recursion drifts by rounding over millions of samples; start it afresh now and then.
        if ((n & 0x3FFFU) == 0x3FFFU)
            resum(slot);

        std::array<double, kBins> power;
        for (std::size_t b = 0; b < kBins; ++b)
            power[b] = m_sumRe[b] * m_sumRe[b] + m_sumIm[b] * m_sumIm[b];
        const double markPower = std::max({power[0], power[1], power[2]});
        const double spacePower = std::max({power[3], power[4], power[5]});
        const double scale = 2.0 / static_cast<double>(m_window);
        ToneFeature& f = m_features[n % m_history];
        f.mark = static_cast<float>(std::sqrt(markPower) * scale);
        f.space = static_cast<float>(std::sqrt(spacePower) * scale);
        f.purity = m_energy > 1e-12 ? static_cast<float>((markPower + spacePower) * scale / m_energy) : 0.0F;
        ++m_computed;
        return true;
    }

    void resum(std::size_t newest)
    {
        m_energy = 0.0;
        for (double v : m_ring)
            m_energy += v * v;
        for (std::size_t b = 0; b < kBins; ++b) {
            std::complex<double> sum;
            const std::complex<double>* twiddle = &m_twiddles[b * m_window];
            for (std::size_t m = 0; m < m_window; ++m)
                sum += m_ring[(newest + m_window - m) % m_window] * twiddle[m];
            m_sumRe[b] = sum.real();
            m_sumIm[b] = sum.imag();
        }
    }

    std::size_t m_window;
    std::size_t m_history;
    SampleSource m_source;
    std::array<double, kBins> m_stepRe{}, m_stepIm{}, m_tailRe{}, m_tailIm{}, m_sumRe{}, m_sumIm{};
    std::vector<std::complex<double>> m_twiddles; // e^{jwm} per bin, for resum
    std::vector<double> m_ring;                   // the window's samples
    double m_energy = 0.0;
    std::vector<ToneFeature> m_features;
    std::int64_t m_computed = 0;
    std::array<float, 4096> m_buffer{};
    std::size_t m_bufferLen = 0;
    std::size_t m_bufferPos = 0;
    ToneFeature m_silent;
};

class Printer
{
public:
    explicit Printer(DecodedText& out) : m_out(out) {}

    void accept(unsigned code)
    {
        ++m_out.characters;
        switch (code) {
        case kLtrs:
            m_figures = false;
            return;
        case kFigs:
            m_figures = true;
            return;
        case kSpace:
            // Unshift on space: senders that assume it do not repeat LTRS after a space.
            m_out.text += ' ';
            m_figures = false;
            return;
        case kLineFeed:
            m_out.text += '\n';
            return;
        default:
            break; // 00000 and carriage return have no table entry and print nothing
        }
        if (const char c = (m_figures ? kTables.figures : kTables.letters)[code])
            m_out.text += c;
    }

private:
    DecodedText& m_out;
    bool m_figures = false;
};

class FrameDecoder
{
public:
    FrameDecoder(double sampleRate, SampleSource source)
        : m_bit(sampleRate * kBitSeconds),
          // Half a bit: centred on a bit it stays inside it even a quarter bit off, and its bins are
          // wide enough that the flanks cover a sender a few per cent off frequency.
          m_window(std::max(8, static_cast<int>(std::lround(m_bit / 2.0)))),
          m_tones(sampleRate, m_window,
                  static_cast<std::size_t>(std::ceil(8.0 * m_bit)) + 4 * static_cast<std::size_t>(m_window),
                  std::move(source))
    {
    }

    DecodedText run()
    {
        DecodedText result;
        Printer printer(result);
        bool inSpace = false;
        for (std::int64_t n = 0;; ++n) {
            const ToneFeature* f = m_tones.at(n);
            if (!f)
                break;
            const bool space = f->isSpace();
            const bool edge = space && !inSpace;
            inSpace = space;
            if (!edge)
                continue;

            const Frame frame = readFrame(locateEdge(n));
            if (frame.outcome == Outcome::Truncated)
                break;
            if (frame.outcome == Outcome::Rejected)
                ++result.framingErrors;
            if (frame.outcome != Outcome::Accepted)
                continue; // hunt on from just after this edge
            printer.accept(frame.code);
            // Resume at the stop bit: the next start bit may follow as soon as one stop bit ends.
            n = frame.stopSample;
            inSpace = false;
        }
        return result;
    }

private:
    enum class Outcome { Accepted, NoStartBit, Rejected, Truncated };
    struct Frame
    {
        Outcome outcome;
        unsigned code = 0;
        std::int64_t stopSample = 0;
    };

    // A window ending at the returned sample lies half in the start bit. Hunting triggers on the
    // first space-dominated window; after silence that comes early, as soon as the tone clears the
    // noise floor, so take the point where the space tone reaches half its full strength.
    std::int64_t locateEdge(std::int64_t trigger)
    {
        const ToneFeature* full = m_tones.at(trigger + m_window);
        if (!full)
            return trigger;
        const float half = 0.5F * full->space;
        std::int64_t e = trigger;
        if (m_tones.at(e)->space < half) {
            while (e < trigger + m_window && m_tones.at(e)->space < half)
                ++e;
        } else {
            while (e > trigger - m_window) {
                const ToneFeature* before = m_tones.at(e - 1);
                if (before->space < half || before->space <= before->mark)
                    break;
                --e;
            }
        }
        return e;
    }

    Frame readFrame(std::int64_t edge)
    {
        // Window end for the centre of bit i (0 = start bit, 6 = first stop bit).
        auto bitSample = [&](int i) { return edge + std::llround((i + 0.5) * m_bit); };

        const ToneFeature* start = m_tones.at(bitSample(0));
        if (!start)
            return {Outcome::Truncated};
        if (!start->isSpace() || !start->isClean())
            return {Outcome::NoStartBit};

        unsigned code = 0;
        for (int i = 0; i < 5; ++i) {
            const ToneFeature* f = m_tones.at(bitSample(i + 1));
            if (!f)
                return {Outcome::Truncated};
            if (!f->hasCarrier())
                return {Outcome::Rejected};
            if (f->mark > f->space)
                code |= 1U << i;
        }

        const std::int64_t stopSample = bitSample(6);
        const ToneFeature* stop = m_tones.at(stopSample);
        if (!stop)
            return {Outcome::Truncated};
        if (!stop->isMark() || !stop->isClean())
            return {Outcome::Rejected};
        return {Outcome::Accepted, code, stopSample};
    }

    double m_bit;
    int m_window;
    ToneAnalyser m_tones;
};

DecodedText decodeSource(double sampleRate, SampleSource source)
{
    if (!std::isfinite(sampleRate) || sampleRate < kMinSampleRate)
        return {};
    return FrameDecoder(sampleRate, std::move(source)).run();
}

} // namespace

DecodedText decodeSamples(const std::vector<float>& samples, double sampleRate)
{
    std::size_t pos = 0;
    return decodeSource(sampleRate, [&](float* out, std::size_t max) {
        const std::size_t count = std::min(max, samples.size() - pos);
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(pos), count, out);
        pos += count;
        return count;
    });
}

DecodedText decodeFile(const std::string& path)
{
    SF_INFO info{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open(path.c_str(), SFM_READ, &info), sf_close);
    if (!file)
        throw std::runtime_error("cannot read audio file '" + path + "': " + sf_strerror(nullptr));
    if (info.channels < 1)
        throw std::runtime_error("cannot read audio file '" + path + "': no channels");
    // The buffers follow the rate; a header claiming an absurd one must not claim the memory too.
    if (info.samplerate > 768000)
        throw std::runtime_error("cannot read audio file '" + path + "': sample rate " +
                                 std::to_string(info.samplerate) + " Hz is not a recording's");

    // Streamed in blocks, so a long recording is never held in memory whole.
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> block;
    return decodeSource(info.samplerate, [&](float* out, std::size_t max) -> std::size_t {
        block.resize(max * channels);
        const sf_count_t got = sf_readf_float(file.get(), block.data(), static_cast<sf_count_t>(max));
        if (got < 0 || sf_error(file.get()) != SF_ERR_NO_ERROR)
            throw std::runtime_error("cannot read audio file '" + path + "': " + sf_strerror(file.get()));
        const auto frames = static_cast<std::size_t>(got);
        for (std::size_t i = 0; i < frames; ++i) {
            float sum = 0.0F;
            for (std::size_t c = 0; c < channels; ++c)
                sum += block[i * channels + c];
            out[i] = sum / static_cast<float>(channels);
        }
        return frames;
    });
}

} // namespace quillfen::tty
