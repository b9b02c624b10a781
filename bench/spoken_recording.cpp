// Writes a voice-like recording for the spoken-part bench: a gliding fundamental near 150 Hz with
// formant-shaped harmonics in syllables, in the container its name asks for (.wav, .flac, .ogg).
// Usage: spoken_recording OUT SECONDS RATE CHANNELS
#include "support/wav_files.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: spoken_recording OUT SECONDS RATE CHANNELS\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    const double seconds = std::atof(argv[2]);
    const int rate = std::atoi(argv[3]), channels = std::atoi(argv[4]);
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    if (out.ends_with(".flac"))
        format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (out.ends_with(".ogg"))
        format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    constexpr double pi = std::numbers::pi;
    quillfen::test::Sound sound{format, rate, channels, {}};
    const auto frames = static_cast<long>(seconds * rate);
    for (long i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double f0 = 150.0 + 25.0 * std::sin(2 * pi * 0.7 * t);
        const double phase = 2 * pi * (150.0 * t - 25.0 / (2 * pi * 0.7) * std::cos(2 * pi * 0.7 * t));
        double v = 0.0;
        for (int k = 1; k * 175.0 < 3000.0; ++k) {
            const double f = k * f0;
            v += (1.0 + 2.0 * std::exp(-std::pow((f - 700.0) / 200.0, 2))) / k * std::sin(k * phase);
        }
        const double syllable = std::sin(pi * 4.0 * t);
        for (int c = 0; c < channels; ++c)
            sound.samples.push_back(0.2 * syllable * syllable * v);
    }
    return quillfen::test::writeSound(out, sound) ? 0 : 1;
}
