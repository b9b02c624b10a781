// The decoder on files: libsndfile reads them, the platform opens them, errors are the program's.
#include "conversion/tty_decoder.h"

#include "platform/app_error.h"
#include "platform/files.h"
#include "tty/headerless_audio.h"

#include <QString>

#include <memory>
#include <sndfile.h>
#include <vector>

namespace quillfen::tty {
namespace {

// Samples handed to the decoder at a time: a long recording is never held whole.
constexpr std::size_t kBlockFrames = 8192;

QString rateProblem(double rate)
{
    if (isDecodableRate(rate))
        return {};
    return QStringLiteral("the sample rate is %1 Hz; recordings from 8000 to 192000 Hz can be decoded")
        .arg(rate, 0, 'f', 0);
}

struct SndfileCloser
{
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using Recording = std::unique_ptr<SNDFILE, SndfileCloser>;

AppError fileError(const std::string& path, AppError::Number number, const QString& why)
{
    return AppError::make(number, QString::fromLocal8Bit(path.c_str()) + QStringLiteral(": ") + why);
}

// Opens a recording the decoder can take, or throws why not.
Recording openRecording(const std::string& path, SF_INFO& info)
{
    describeHeaderless(path, info);
    const int fd = openRegularFileForReading(path);
    Recording file(sf_open_fd(fd, SFM_READ, &info, SF_TRUE));
    if (!file) {
        // libsndfile closes the descriptor only on success.
        closeDescriptor(fd);
        throw fileError(path, AppError::BadFileName,
                        QStringLiteral("not an audio file that can be read (%1)")
                            .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (info.channels < 1)
        throw fileError(path, AppError::BadFileName, QStringLiteral("the file has no audio channels"));
    if (const QString problem = rateProblem(info.samplerate); !problem.isEmpty())
        throw fileError(path, AppError::InvalidProcedureCall, problem);
    return file;
}

// Every block of the file, each channel to its own decoder.
void streamInto(Decoder& decoder, SNDFILE* file, const std::string& path, int channels)
{
    const auto count = static_cast<std::size_t>(channels);
    std::vector<float> interleaved(kBlockFrames * count), mono(kBlockFrames);
    for (;;) {
        const sf_count_t got =
            sf_readf_float(file, interleaved.data(), static_cast<sf_count_t>(kBlockFrames));
        if (sf_error(file) != SF_ERR_NO_ERROR)
            throw fileError(
                path, AppError::DeviceIoError,
                QStringLiteral("reading failed (%1)").arg(QString::fromLocal8Bit(sf_strerror(file))));
        if (got <= 0)
            return;
        const auto frames = static_cast<std::size_t>(got);
        for (std::size_t c = 0; c < count; ++c) {
            for (std::size_t i = 0; i < frames; ++i)
                mono[i] = interleaved[i * count + c];
            decoder.push(static_cast<int>(c), std::span<const float>(mono.data(), frames));
        }
    }
}

} // namespace

void describeHeaderless(const std::string& path, SF_INFO& info)
{
    const auto headerless = headerlessFormatOf(path);
    if (!headerless)
        return;
    info.samplerate = headerless->sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_RAW | (headerless->encoding == SampleEncoding::Ulaw   ? SF_FORMAT_ULAW
                                   : headerless->encoding == SampleEncoding::Alaw ? SF_FORMAT_ALAW
                                                                                  : SF_FORMAT_PCM_16);
}

DecodedText decodeSamples(std::span<const float> samples, double sampleRate, const DecodeOptions& options)
{
    if (const QString problem = rateProblem(sampleRate); !problem.isEmpty())
        throw AppError::make(AppError::InvalidProcedureCall, problem);
    Decoder decoder(sampleRate, 1, options);
    for (std::size_t i = 0; i < samples.size(); i += kBlockFrames)
        decoder.push(0, samples.subspan(i, std::min(kBlockFrames, samples.size() - i)));
    return decoder.finish();
}

DecodedText decodeFile(const std::string& path, const DecodeOptions& options)
{
    SF_INFO info{};
    const Recording file = openRecording(path, info);
    Decoder decoder(info.samplerate, info.channels, options);
    streamInto(decoder, file.get(), path, info.channels);
    return decoder.finish();
}

} // namespace quillfen::tty
