#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace quillfen {

class AudioOut;

// Plays a finished output file through the default audio device; the device module is loaded on
// the first play.
class OutputPlayer final : public QObject
{
    Q_OBJECT
public:
    // `moduleDir` holds the audio module (the program directory).
    explicit OutputPlayer(QString moduleDir, QObject* parent = nullptr);
    ~OutputPlayer() override;

    // Starts playing `path` from its beginning, stopping whatever played before. False, after a
    // message box that says why, when the file is missing or unreadable or there is no device.
    bool play(const QString& path);
    void stop();
    bool isPlaying() const { return m_playing; }

signals:
    // Playing ended: the file played to its end, stop() was called, or the device went away.
    void stopped();

private:
    bool loadAudioOut();

    QString m_moduleDir;
    std::unique_ptr<AudioOut> m_out;
    bool m_playing = false;
};

} // namespace quillfen
