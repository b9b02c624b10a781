#include "conversion/spoken_part.h"

#include "conversion/recording_report.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sndfile.h>
#include <soxr.h>
#include <span>
#include <vector>

namespace quillfen {
namespace {

// A greeting is seconds long; a recording of an hour is a wrong file, and would be read whole.
constexpr double kMaxSpokenSeconds = 600.0;

struct SndfileCloser
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

QString libsndfileSays(SNDFILE* file)
{
    return QString::fromLocal8Bit(sf_strerror(file));
}

Sndfile openRecording(const QString& path, SF_INFO& info)
{
    const QFileInfo file(path);
    if (!file.exists())
        throw AppError::make(AppError::FileNotFound, path);
    if (!file.isFile())
        throw AppError::make(AppError::BadFileName, path, QStringLiteral("not a file"));
    const std::string name = QFile::encodeName(path).toStdString();
    tty::describeHeaderless(name, info);
    Sndfile opened(sf_open(name.c_str(), SFM_READ, &info));
    if (!opened)
        throw AppError::make(
            AppError::BadFileName, path,
            QStringLiteral("not a recording that can be read: %1").arg(libsndfileSays(nullptr)));
    if (info.channels < 1 || info.samplerate < 1)
        throw AppError::make(AppError::BadFileName, path, QStringLiteral("no audio in it"));
    if (double(info.frames) > kMaxSpokenSeconds * info.samplerate)
        throw AppError::make(AppError::Overflow, path,
                             QStringLiteral("longer than %1 minutes").arg(kMaxSpokenSeconds / 60));
    return opened;
}

int subtypeOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Ulaw:
        return SF_FORMAT_ULAW;
    case Encoding::Alaw:
        return SF_FORMAT_ALAW;
    case Encoding::Pcm16:
        break;
    }
    return SF_FORMAT_PCM_16;
}

// Mixes a recording down and resamples it as it is read, block by block, so that only the result is
// held whole (a minute of 48 kHz stereo would be 23 MB read at once, and faulting that in costs more
// than resampling it).
class Downmixer
{
public:
    Downmixer(int channels, int fromRate, int toRate)
        : m_channels(static_cast<std::size_t>(std::max(channels, 1))), m_ratio(double(toRate) / fromRate)
    {
        if (fromRate == toRate)
            return;
        // soxr's high quality: a 20-bit linear-phase filter, its pass band 91 % of the lower Nyquist
        // rate. Its FFT-based filtering costs a tenth of a time-domain sinc of far less quality, so a
        // 10 s part costs less than the greeting it goes with.
        soxr_error_t error = nullptr;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        m_state = soxr_create(fromRate, toRate, 1, &error, nullptr, &quality, &runtime);
        if (error != nullptr) {
            soxr_delete(m_state);
            m_state = nullptr;
            throw AppError(AppError::InvalidProcedureCall, QString::fromUtf8(error));
        }
    }
    ~Downmixer() { soxr_delete(m_state); }
    Downmixer(const Downmixer&) = delete;
    Downmixer& operator=(const Downmixer&) = delete;

    void reserve(double frames) { m_out.reserve(static_cast<std::size_t>(frames * m_ratio) + 64); }

    void push(std::span<const float> interleaved)
    {
        m_mono.resize(interleaved.size() / m_channels);
        for (std::size_t i = 0; i < m_mono.size(); ++i) {
            float sum = 0.0F;
            for (std::size_t c = 0; c < m_channels; ++c)
                sum += interleaved[i * m_channels + c];
            m_mono[i] = sum / float(m_channels);
        }
        if (m_state)
            resample(false);
        else
            m_out.insert(m_out.end(), m_mono.begin(), m_mono.end());
    }

    std::vector<float> finish()
    {
        if (m_state)
            resample(true);
        return std::move(m_out);
    }

private:
    void resample(bool last)
    {
        // The end of the input is told by no input at all; the filter then gives what it holds.
        const float* in = last ? nullptr : m_mono.data();
        std::size_t left = last ? 0 : m_mono.size();
        for (;;) {
            const std::size_t at = m_out.size();
            const auto room = static_cast<std::size_t>(double(left) * m_ratio) + 256;
            m_out.resize(at + room);
            std::size_t used = 0;
            std::size_t made = 0;
            if (const soxr_error_t error =
                    soxr_process(m_state, in, left, &used, m_out.data() + at, room, &made))
                throw AppError(AppError::InvalidProcedureCall, QString::fromUtf8(error));
            m_out.resize(at + made);
            if (in) {
                in += used;
                left -= used;
            }
            if (last ? made == 0 : left == 0)
                return;
        }
    }

    std::size_t m_channels;
    double m_ratio;
    soxr_t m_state = nullptr;
    std::vector<float> m_mono;
    std::vector<float> m_out;
};

// To the tones' peak; silence stays silence.
void scaleToLevel(std::vector<float>& samples, int levelTenths)
{
    float peak = 0.0F;
    for (const float v : samples)
        peak = std::max(peak, std::abs(v));
    if (peak == 0.0F)
        return;
    const float gain = float(std::pow(10.0, levelTenths / 200.0)) / peak;
    for (float& v : samples)
        v *= gain;
}

} // namespace

void checkRecording(const QString& path)
{
    SF_INFO info{};
    openRecording(path, info);
}

std::vector<float> readSpokenPart(const QString& recording, const OutputFormat& format)
{
    SF_INFO info{};
    const Sndfile in = openRecording(recording, info);
    Downmixer downmixer(info.channels, info.samplerate, format.sampleRate);
    downmixer.reserve(double(info.frames));
    constexpr sf_count_t kBlockFrames = 8192;
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames * info.channels));
    for (sf_count_t read = 0; (read = sf_readf_float(in.get(), block.data(), kBlockFrames)) > 0;)
        downmixer.push(std::span<const float>(block.data(), static_cast<std::size_t>(read * info.channels)));
    if (sf_error(in.get()) != SF_ERR_NO_ERROR)
        throw AppError::make(AppError::DeviceIoError, recording, libsndfileSays(in.get()));
    std::vector<float> voice = downmixer.finish();
    scaleToLevel(voice, format.levelTenths);
    return voice;
}

std::int64_t writeSpokenPart(std::vector<float> voice, SpokenPlace place, const OutputFormat& format,
                             const QString& into)
{
    const auto pause = static_cast<std::size_t>(std::lround(kSpokenPauseSeconds * format.sampleRate));
    voice.insert(place == SpokenPlace::BeforeTones ? voice.end() : voice.begin(), pause, 0.0F);

    SF_INFO outInfo{0, format.sampleRate, 1, SF_FORMAT_WAV | subtypeOf(format.encoding), 0, 0};
    const Sndfile out(sf_open(QFile::encodeName(into).constData(), SFM_WRITE, &outInfo));
    if (!out)
        throw AppError::make(AppError::PathFileAccessError, into, libsndfileSays(nullptr));
    sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const auto frames = static_cast<sf_count_t>(voice.size());
    if (sf_writef_float(out.get(), voice.data(), frames) != frames)
        throw AppError::make(AppError::DeviceIoError, into, libsndfileSays(out.get()));
    return frames;
}

QStringList spokenPartFilePatterns()
{
    // What the decoder reads is what libsndfile reads.
    return recordingFilePatterns();
}

} // namespace quillfen
