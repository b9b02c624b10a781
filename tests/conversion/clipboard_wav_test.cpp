// The clipboard's WAV image of an output: a WAV as it is, a headerless file in a header that
// libsndfile, like any program that pastes audio, reads as the same samples.
#include "conversion/clipboard_wav.h"
#include "platform/app_error.h"
#include "support/wav_files.h"

#include <QTemporaryFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace quillfen;

TEST(ClipboardWav, headerlessSamplesGetAHeaderOfTheirFormat_aWavStaysAsItIs)
{
    QByteArray samples;
    for (int i = 0; i < 301; ++i) // odd: the data chunk needs its pad byte
        samples.append(char(i * 37));
    const struct
    {
        const char* name;
        int format;
        int rate;
        int frames;
    } cases[] = {
        {"/x/g.ulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 301},
        {"g.UL", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 301},
        {"g.alaw", SF_FORMAT_WAV | SF_FORMAT_ALAW, 8000, 301},
        {"g.sln", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 150},
        {"g.sln16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 150},
        {"g.Sln48", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray wav = clipboardWavImage(c.name, samples);
        EXPECT_EQ(wav.size() % 2, 0);
        // Fields libsndfile ignores but other readers go by: byte rate, block align, bits.
        const int width = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 2 : 1;
        ASSERT_GT(wav.size(), 36);
        EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 28), quint32(c.rate * width));
        EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 32), width);
        EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 8 * width);
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        file.write(wav);
        file.close();
        const std::string path = QFile::encodeName(file.fileName()).toStdString();
        const auto sound = test::readSound(path);
        ASSERT_TRUE(sound) << sf_strerror(nullptr);
        EXPECT_EQ(std::tuple(sound->format, sound->rate, sound->channels, sound->frames()),
                  std::tuple(c.format, c.rate, 1, sf_count_t{c.frames}));
        EXPECT_EQ(QByteArray::fromStdString(test::storedBytes(path)), samples.left(c.frames * width));
    }
    for (const char* name : {"g.wav", "g.sln.WAV", "g", "g.raw"})
        EXPECT_EQ(clipboardWavImage(name, samples), samples) << name;
}
