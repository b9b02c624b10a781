// The AudioOut module: Qt Multimedia's audio sink on the default device (PulseAudio, or PipeWire's
// server for it). Nothing else of the program is linked in: it shares no state with it.
#include "mainwindow/audio_out.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>

namespace quillfen {
namespace {

// What the device may still hold when the sink has handed everything over: what was handed over
// ahead of the time played so far, and at least the sink's own buffer.
int heldMilliseconds(const QAudioSink& sink)
{
    const qint64 ahead = sink.processedUSecs() - sink.elapsedUSecs();
    const qint64 buffer = sink.format().durationForBytes(int(sink.bufferSize()));
    return int(std::max(ahead, buffer) / 1000) + 50;
}

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
            // Stopped by itself: the device went away. Idle: every sample has been handed over, but
            // what the device holds has yet to be heard, and stopping now would cut off the last
            // character; so the end comes once that much more time has passed.
            int wait = 0;
            if (state == QAudio::IdleState)
                wait = heldMilliseconds(*sink);
            else if (state != QAudio::StoppedState)
                return;
            QTimer::singleShot(wait, &m_context, [this, sink] {
                if (m_sink != sink)
                    return;
                const std::function<void()> finished = m_finished;
                stop();
                if (finished)
                    finished();
            });
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
