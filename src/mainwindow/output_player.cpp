#include "mainwindow/output_player.h"

#include "conversion/playback_audio.h"
#include "localization/string_table.h"
#include "mainwindow/audio_out.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"

#include <QDir>
#include <QLibrary>

namespace quillfen {

OutputPlayer::OutputPlayer(QString moduleDir, QObject* parent)
    : QObject(parent), m_moduleDir(std::move(moduleDir))
{
}

OutputPlayer::~OutputPlayer() = default;

bool OutputPlayer::loadAudioOut()
{
    // Never unloaded: the object it made lives on in m_out.
    QLibrary module(QDir(m_moduleDir).filePath(QString::fromLatin1(kAudioOutModule)));
    const auto create = reinterpret_cast<CreateAudioOut>(module.resolve(kCreateAudioOut));
    if (!create) {
        messages().show(myLoadResString(IDS_PLAY_CANNOT_READ).arg(module.errorString()), MessageButtons::Ok,
                        {});
        return false;
    }
    m_out.reset(create());
    return true;
}

bool OutputPlayer::play(const QString& path)
{
    stop();
    if (path.isEmpty() || !FileExists(path)) {
        messages().show(myLoadResString(IDS_PLAY_NO_OUTPUT_FILE).arg(path), MessageButtons::Ok, {});
        return false;
    }
    if (!m_out && !loadAudioOut())
        return false;
    if (!m_out->hasDevice()) {
        messages().show(myLoadResString(IDS_PLAY_NO_DEVICE), MessageButtons::Ok, {});
        return false;
    }
    PlaybackAudio audio;
    try {
        audio = readPlaybackAudio(path);
    } catch (const AppError& e) {
        messages().show(myLoadResString(IDS_PLAY_CANNOT_READ).arg(e.description), MessageButtons::Ok, {});
        return false;
    }
    const QByteArray pcm(reinterpret_cast<const char*>(audio.samples.data()),
                         qsizetype(audio.samples.size() * sizeof(std::int16_t)));
    m_playing = m_out->start(pcm, audio.sampleRate, audio.channels, [this] {
        m_playing = false;
        emit stopped();
    });
    if (!m_playing)
        messages().show(myLoadResString(IDS_PLAY_NO_DEVICE), MessageButtons::Ok, {});
    return m_playing;
}

void OutputPlayer::stop()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_out->stop();
    emit stopped();
}

} // namespace quillfen
