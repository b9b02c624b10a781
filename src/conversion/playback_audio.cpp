#include "conversion/playback_audio.h"

#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "platform/files.h"

#include <QFile>

#include <algorithm>
#include <memory>
#include <sndfile.h>

namespace quillfen {
namespace {

struct SndfileCloser
{
    void operator()(SNDFILE* f) const { sf_close(f); }
};

AppError readError(const QString& path, AppError::Number number, const QString& why)
{
    return AppError::make(number, path + QStringLiteral(": ") + why);
}

// A file longer than this is no output of ours (32,767 characters at 48 kHz are well below it).
constexpr sf_count_t kMaxSamples = sf_count_t(1) << 30;

} // namespace

PlaybackAudio readPlaybackAudio(const QString& path)
{
    const std::string name = QFile::encodeName(path).toStdString();
    SF_INFO info{};
    tty::describeHeaderless(name, info);
    const int fd = openRegularFileForReading(name);
    const std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(fd, SFM_READ, &info, SF_TRUE));
    if (!file) {
        closeDescriptor(fd); // libsndfile takes the descriptor only when it opens the file
        throw readError(path, AppError::BadFileName,
                        QStringLiteral("not an audio file that can be read (%1)")
                            .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (info.channels < 1 || info.samplerate < 1)
        throw readError(path, AppError::BadFileName, QStringLiteral("the file has no audio channels"));
    if (info.frames * info.channels > kMaxSamples)
        throw readError(path, AppError::Overflow, QStringLiteral("the file is too long to play"));

    PlaybackAudio audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.samples.resize(std::size_t(info.frames * info.channels));
    const sf_count_t got = sf_readf_short(file.get(), audio.samples.data(), info.frames);
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        throw readError(
            path, AppError::DeviceIoError,
            QStringLiteral("reading failed (%1)").arg(QString::fromLocal8Bit(sf_strerror(file.get()))));
    audio.samples.resize(std::size_t(std::max<sf_count_t>(0, got) * info.channels));
    return audio;
}

} // namespace quillfen
