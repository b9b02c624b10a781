// The AudioOut module: Qt Multimedia's audio sink on the default device (PulseAudio, or PipeWire's
// server for it). Nothing else of the program is linked in: it shares no state with it.
#include "mainwindow/audio_out.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

namespace quillfen {
namespace {

class QtAudioOut final : public AudioOut
{
public:
    ~QtAudioOut() override
    {
        // Before the buffer it reads from goes.
        if (m_sink) {
            m_sink->disconnect();
            m_sink->stop();
            delete m_sink;
        }
    }

    bool hasDevice() override { return !QMediaDevices::defaultAudioOutput().isNull(); }

    bool start(const QByteArray& pcm, int sampleRate, int channels, std::function<void()> finished) override
    {
        stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(channels);
        format.setSampleFormat(QAudioFormat::Int16);
        m_pcm = pcm;
        m_buffer.setBuffer(&m_pcm);
        m_buffer.open(QIODevice::ReadOnly);
        m_finished = std::move(finished);
        m_sink = new QAudioSink(device, format);
        QAudioSink* sink = m_sink;
        QObject::connect(sink, &QAudioSink::stateChanged, &m_context, [this, sink](QAudio::State state) {
            // Idle: every sample has been handed over. Stopped by itself: the device went away.
            if (state != QAudio::IdleState && state != QAudio::StoppedState)
                return;
            QMetaObject::invokeMethod(
                &m_context,
                [this, sink] {
                    if (m_sink != sink)
                        return;
                    const std::function<void()> finished = m_finished;
                    stop();
                    if (finished)
                        finished();
                },
                Qt::QueuedConnection);
        });
        sink->start(&m_buffer);
        if (sink->error() != QAudio::NoError) {
            stop();
            return false;
        }
        return true;
    }

    void stop() override
    {
        if (!m_sink)
            return;
        QAudioSink* sink = m_sink;
        m_sink = nullptr;
        m_finished = {};
        sink->disconnect();
        sink->stop();
        sink->deleteLater();
        m_buffer.close();
    }

private:
    QObject m_context; // what queued calls run in, gone with this object
    QAudioSink* m_sink = nullptr;
    QByteArray m_pcm;
    QBuffer m_buffer;
    std::function<void()> m_finished;
};

} // namespace
} // namespace quillfen

extern "C" Q_DECL_EXPORT quillfen::AudioOut* quillfenCreateAudioOut()
{
    return new quillfen::QtAudioOut;
}
