// Turns any file the program writes into an 8 kHz 16-bit mono WAV for the peers' receivers, which
// read neither headerless files nor G.722 and take 8 kHz only: a WAV by its header, a headerless
// file by its name, an encoded one through its codec, 16 kHz halved through the codecs' low-pass.
//
// Usage: peer_wav IN OUT.wav
#include "codecs/resampler.h"
#include "conversion/encoded_output.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sndfile.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::pair<std::vector<float>, double> readAny(const std::string& path)
{
    const QString name = QString::fromStdString(path);
    if (const auto kind = quillfen::encodedKindOf(name))
        return quillfen::readEncodedAudio(*kind, name);
    SF_INFO info{};
    quillfen::tty::describeHeaderless(path, info);
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file || info.channels != 1)
        throw std::runtime_error(path + ": not a mono file libsndfile reads");
    std::vector<float> samples(static_cast<std::size_t>(info.frames));
    sf_read_float(file, samples.data(), info.frames);
    sf_close(file);
    return {std::move(samples), double(info.samplerate)};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: peer_wav IN OUT.wav\n");
        return 2;
    }
    try {
        const auto [audio, rate] = readAny(argv[1]);
        std::vector<std::int16_t> pcm(audio.size());
        for (std::size_t i = 0; i < audio.size(); ++i)
            pcm[i] = static_cast<std::int16_t>(
                std::lround(std::clamp(audio[i], -1.0F, 32767.0F / 32768.0F) * 32768.0F));
        if (rate == 16000.0) {
            std::vector<std::int16_t> halved;
            pcm.resize(pcm.size() & ~std::size_t{1});
            quillfen::codecs::Resampler2x().downsample(pcm, halved);
            pcm = std::move(halved);
        } else if (rate != 8000.0) {
            std::fprintf(stderr, "peer_wav: %s: %.0f Hz; only 8000 and 16000 are taken\n", argv[1], rate);
            return 1;
        }
        SF_INFO info{0, 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
        SNDFILE* out = sf_open(argv[2], SFM_WRITE, &info);
        if (!out || sf_write_short(out, pcm.data(), sf_count_t(pcm.size())) != sf_count_t(pcm.size())) {
            std::fprintf(stderr, "peer_wav: %s: %s\n", argv[2], sf_strerror(out));
            return 1;
        }
        sf_close(out);
        return 0;
    } catch (const quillfen::AppError& e) {
        std::fprintf(stderr, "peer_wav: %s\n", e.description.toUtf8().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "peer_wav: %s\n", e.what());
    }
    return 1;
}
