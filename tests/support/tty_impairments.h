#pragma once

// What telephone lines do to TTY tones, for the decoder's tests and bench: a slope between the tones
// (twist), tones moved in frequency, a talker over them, an echo, a speech codec once or twice on the
// way and packets lost. One
// recording per impairment and seed, the same for every decoder that hears it.

#include "codecs/codec.h"
#include "support/tty_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillfen::test {

// How a talker's voice spreads over the band. Everyday: harmonics falling 6 dB an octave through a
// first formant at 300-800 Hz and a second at 900-2300 Hz, so that most of the power lies below the
// tones, as in speech at large, and unvoiced syllables that hiss across the tones and above them. On the
// tones: harmonics falling 3 dB an octave and one formant somewhere in 1.1-2.1 kHz lifting those nearest the
// tones, a talker at his worst for TTY.
enum class Voice { Everyday, OnTheTones };
// An everyday voice's share of unvoiced syllables, and their hiss against the breath noise.
inline constexpr double kFricatives = 0.3, kHiss = 150;

// Voiced speech: syllables of 120-350 ms with pauses between, each on a gliding pitch of 90-250 Hz
// whose harmonics sweep through the tones' band, over breath noise. `rms` over the whole of it.
inline std::vector<float> talker(double seconds, double rate, double rms, unsigned seed,
                                 Voice voice = Voice::OnTheTones)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<double> v(static_cast<std::size_t>(seconds * rate));
    std::normal_distribution<double> breath(0, 0.05);
    const auto peak = [](double hz, double centre, double width) {
        const double detune = (hz - centre) / width;
        return 1 / (1 + detune * detune);
    };
    double phase = 0;
    for (std::size_t i = 0; i < v.size();) {
        const auto length = static_cast<std::size_t>((0.12 + 0.23 * u(gen)) * rate);
        const auto pause = static_cast<std::size_t>((0.03 + 0.2 * u(gen)) * rate);
        const double from = 90 + 160 * u(gen), to = from * (0.7 + 0.6 * u(gen));
        const double formant = 1100 + 1000 * u(gen);
        double first = 0, second = 0;
        if (voice == Voice::Everyday) {
            first = 300 + 500 * u(gen);
            second = 900 + 1400 * u(gen);
            if (u(gen) < kFricatives) {
                // Hiss through a resonance at 2-3.4 kHz, as "sh" puts it in a telephone's band.
                const double centre = 2000 + 1400 * u(gen), r = 0.9;
                const double a1 = 2 * r * std::cos(2 * std::numbers::pi * centre / rate), a2 = -r * r;
                double y1 = 0, y2 = 0;
                for (std::size_t k = 0; k < length && i < v.size(); ++k, ++i) {
                    const double y = (1 - r) * breath(gen) * kHiss + a1 * y1 + a2 * y2;
                    y2 = std::exchange(y1, y);
                    v[i] =
                        std::sin(std::numbers::pi * static_cast<double>(k) / static_cast<double>(length)) * y;
                }
                i += pause;
                continue;
            }
        }
        for (std::size_t k = 0; k < length && i < v.size(); ++k, ++i) {
            const double t = static_cast<double>(k) / static_cast<double>(length);
            const double pitch = from + (to - from) * t;
            phase += 2 * std::numbers::pi * pitch / rate;
            double x = 0;
            for (int h = 1; h * pitch < 3600; ++h) {
                const double hz = h * pitch;
                x += std::sin(h * phase) *
                     (voice == Voice::OnTheTones
                          ? (1 + 3 * peak(hz, formant, 150)) / std::sqrt(h)
                          : (1 + 4 * peak(hz, first, 100) + 2 * peak(hz, second, 120)) / h);
            }
            v[i] = std::sin(std::numbers::pi * t) * (x + breath(gen));
        }
        i += pause;
    }
    double power = 0;
    for (double x : v)
        power += x * x;
    const double scale = rms / std::sqrt(std::max(power / static_cast<double>(v.size()), 1e-12));
    std::vector<float> out(v.size());
    std::transform(v.begin(), v.end(), out.begin(), [&](double x) { return static_cast<float>(x * scale); });
    return out;
}

// Encodes and decodes with a codec `passes` times, as a call through two networks does.
inline void throughCodec(std::vector<float>& x, codecs::Codec codec, int passes)
{
    std::vector<std::int16_t> pcm(x.size());
    std::transform(x.begin(), x.end(), pcm.begin(), [](float v) {
        return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0F, 32767.0F / 32768) * 32768));
    });
    for (int p = 0; p < passes; ++p)
        pcm = codecs::roundTrip(codec, pcm);
    std::transform(pcm.begin(), pcm.end(), x.begin(), [](std::int16_t v) { return v / 32768.0F; });
}

struct LineImpairment
{
    const char* name;
    Sender sender{};                                            // twist and offset live here
    double speechDb = -std::numeric_limits<double>::infinity(); // a talker's power over the tones'
    int gsmPasses = 0;
    Voice voice = Voice::OnTheTones;
    double echoDb = -std::numeric_limits<double>::infinity(); // an echo's level against the signal
    double echoMs = 0;
    double lostPackets = 0; // share of 20 ms packets lost, as silence (no concealment)
};

// A copy of the signal `ms` later at `db` against it, as a hybrid or a far end returns it.
inline void addEcho(std::vector<float>& x, double db, double ms, double rate)
{
    const auto delay = static_cast<std::size_t>(ms * rate / 1000);
    const auto gain = static_cast<float>(std::pow(10, db / 20));
    for (std::size_t i = x.size(); i-- > delay;)
        x[i] += gain * x[i - delay];
}

// Packets of 20 ms dropped at random, each with probability `share`, and played as silence.
inline void losePackets(std::vector<float>& x, double share, double rate, unsigned seed)
{
    std::mt19937 gen(seed);
    std::bernoulli_distribution lost(share);
    const auto packet = static_cast<std::size_t>(0.02 * rate);
    for (std::size_t i = 0; i < x.size(); i += packet)
        if (lost(gen))
            std::fill(x.begin() + static_cast<std::ptrdiff_t>(i),
                      x.begin() + static_cast<std::ptrdiff_t>(std::min(i + packet, x.size())), 0.0F);
}

// 8 kHz: half a second of silence, the text (FIGS again after spaces), white noise `snrDb` under the
// mark tone across the band, then the talker and the codec; at most kMostPeak at the loudest.
inline constexpr float kMostPeak = 0.9F;
inline std::vector<float> impairedRecording(const std::string& text, const LineImpairment& line, double snrDb,
                                            unsigned seed)
{
    Line l(8000);
    l.silence(0.5);
    l.message(text, line.sender, ShiftHabit::AgainAfterSpace);
    const double toneRms = line.sender.amplitude / std::sqrt(2.0);
    if (std::isfinite(line.speechDb)) {
        const std::vector<float> speech =
            talker(static_cast<double>(l.samples.size()) / l.rate, l.rate,
                   toneRms * std::pow(10, line.speechDb / 20), seed + 1, line.voice);
        for (std::size_t i = 0; i < l.samples.size(); ++i)
            l.samples[i] += speech[i];
    }
    addNoise(l.samples, toneRms * std::pow(10, -snrDb / 20), seed);
    // Recorded without clipping: a loud talker turns the level down.
    float peak = 0;
    for (float v : l.samples)
        peak = std::max(peak, std::abs(v));
    if (peak > kMostPeak)
        for (float& v : l.samples)
            v *= kMostPeak / peak;
    if (std::isfinite(line.echoDb))
        addEcho(l.samples, line.echoDb, line.echoMs, l.rate);
    if (line.gsmPasses > 0)
        throughCodec(l.samples, codecs::Codec::Gsm, line.gsmPasses);
    if (line.lostPackets > 0)
        losePackets(l.samples, line.lostPackets, l.rate, seed + 2);
    return l.samples;
}

} // namespace quillfen::test
