// Every output format through the real run, the real wavcat and generator, and back through the
// decoder; the standard output against what it has always been.
#include "conversion/conversion_run.h"
#include "conversion/prompt_sets.h"
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <sndfile.h>
#include <sys/stat.h>
#include <vector>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

// Everything below `dir`, hidden entries too, relative to it.
QStringList entriesBelow(const QString& dir)
{
    QStringList all;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << QDir(dir).relativeFilePath(it.next());
    all.sort();
    return all;
}

struct Audio
{
    int format = 0; // libsndfile's major and minor format as read
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
};

// A WAV as its header says; a headerless file as its name says, told to libsndfile.
Audio readAudio(const QString& path, int rawFormat = 0, int rawRate = 0)
{
    SF_INFO info{0, rawRate, 1, rawFormat, 0, 0};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) {
        ADD_FAILURE() << path.toStdString() << ": " << sf_strerror(nullptr);
        return {};
    }
    Audio audio{info.format, info.samplerate, info.channels,
                std::vector<float>(static_cast<std::size_t>(info.frames * info.channels))};
    sf_read_float(f, audio.samples.data(), static_cast<sf_count_t>(audio.samples.size()));
    sf_close(f);
    return audio;
}

class OutputFormats : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path())); }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }

    QTemporaryDir out, cache;
    LineCollector diag;
    RecordingMessages boxes;
    ConversionRun run{diag, kProgramDir};
};

} // namespace

TEST_F(OutputFormats, everyFormatHasItsHeaderAndRateAndLevelAndDecodesToTheText)
{
    constexpr int ulaw = SF_FORMAT_RAW | SF_FORMAT_ULAW, alaw = SF_FORMAT_RAW | SF_FORMAT_ALAW,
                  sln = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    const struct
    {
        OutputFormat asked;
        const char* name;
        int format; // as libsndfile reads it; a raw one for a file without a header
        int rate;
    } cases[] = {
        {{Encoding::Ulaw, 8000, -100}, "u.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000},
        {{Encoding::Alaw, 8000, -200}, "a.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, 8000},
        {{Encoding::Pcm16, 11025, -100}, "p11.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025},
        {{Encoding::Pcm16, 16000, 0}, "p16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000},
        {{Encoding::Pcm16, 22050, -300}, "p22.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050},
        {{Encoding::Pcm16, 44100, -100}, "p44.WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
        {{Encoding::Ulaw, 48000, -61}, "u48", SF_FORMAT_WAV | SF_FORMAT_ULAW, 48000},
        {{Encoding::Pcm16, 8000, -100}, "g.ulaw", ulaw, 8000},
        {{Encoding::Alaw, 22050, -150}, "g.UL", ulaw, 8000},
        {{Encoding::Pcm16, 8000, -100}, "g.alaw", alaw, 8000},
        {{Encoding::Pcm16, 8000, -30}, "g.al", alaw, 8000},
        {{Encoding::Ulaw, 8000, -100}, "g.sln", sln, 8000},
        {{Encoding::Pcm16, 8000, -60}, "g.Sln16", sln, 16000},
        {{Encoding::Pcm16, 8000, -100}, "g.sln48", sln, 48000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = out.filePath(c.name);
        run.setOutputFormat(c.asked);
        ASSERT_EQ(run.cmdConstructWavFromString_Click("Hi 5", path), RunOutcome::Completed)
            << diag.lines.join('\n').toStdString();
        const bool headerless = (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW;
        EXPECT_EQ(fileBytes(path).startsWith("RIFF"), !headerless);
        const Audio audio = readAudio(path, headerless ? c.format : 0, c.rate);
        EXPECT_EQ(audio.format, c.format);
        EXPECT_EQ(audio.rate, c.rate);
        EXPECT_EQ(audio.channels, 1);
        EXPECT_EQ(quillfen::tty::decodeSamples(audio.samples, audio.rate).text, "HI 5");
        // µ-law and A-law steps are a few per cent wide near the peak.
        const double peak = std::pow(10.0, c.asked.levelTenths / 200.0);
        const auto [low, high] = std::minmax_element(audio.samples.begin(), audio.samples.end());
        EXPECT_NEAR(std::max(-*low, *high), peak,
                    peak * ((c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 0.005 : 0.05));
    }
    // Made once each, whole, and nothing else beside them.
    const QString root = defaultPromptCache();
    EXPECT_TRUE(root.startsWith(cache.path() + "/quillfen/"));
    QStringList sets = QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(sets,
              (QStringList{"alaw_8000Hz_-10.0dBFS", "alaw_8000Hz_-20.0dBFS", "alaw_8000Hz_-3.0dBFS",
                           "pcm16_11025Hz_-10.0dBFS", "pcm16_16000Hz_-6.0dBFS", "pcm16_16000Hz_0.0dBFS",
                           "pcm16_22050Hz_-30.0dBFS", "pcm16_44100Hz_-10.0dBFS", "pcm16_48000Hz_-10.0dBFS",
                           "ulaw_48000Hz_-6.1dBFS", "ulaw_8000Hz_-10.0dBFS", "ulaw_8000Hz_-15.0dBFS"}));
    for (const QString& set : sets)
        EXPECT_EQ(QDir(root + "/" + set).entryList(QDir::Files | QDir::Hidden).size(), 57)
            << set.toStdString();
}

TEST_F(OutputFormats, theStandardOutputIsByteForByteWhatItWas_andSlnIsItsAudioAlone)
{
    const QString text = "Hi, call (555) 123-4567 ~ GA!";
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, out.filePath("std.wav")), RunOutcome::Completed);
    const QByteArray wav = fileBytes(out.filePath("std.wav"));
    EXPECT_EQ(QCryptographicHash::hash(wav, QCryptographicHash::Sha256).toHex(),
              "ce778f4c64d6d37fe496e772937a1e826ccf7e2aec93dc6f621d1dfa123db29a");
    EXPECT_EQ(diag.lines, (QStringList{"Original String=HI, CALL (555) 123-4567 ~ GA!",
                                       "New Text=HI, CALL (555) 123-4567 ~ GA!",
                                       "Converstion from text to TTY WAV file complete", ""}));
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, out.filePath("std.sln")), RunOutcome::Completed);
    EXPECT_EQ(fileBytes(out.filePath("std.sln")), wav.mid(44));
    // The standard set needs no cache.
    EXPECT_EQ(entriesBelow(cache.path()), QStringList{});
}

TEST_F(OutputFormats, aSetIsMadeOnce_andOneThatCannotBeMadeLeavesNothing)
{
    const OutputFormat ulaw{Encoding::Ulaw, 8000, -100};
    run.setOutputFormat(ulaw);
    ASSERT_EQ(run.cmdConstructWavFromString_Click("A", out.filePath("1.wav")), RunOutcome::Completed);
    const QString set = defaultPromptCache() + "/ulaw_8000Hz_-10.0dBFS";
    struct stat first = {};
    ASSERT_EQ(::stat(QFile::encodeName(set + "/a.wav").constData(), &first), 0);
    ASSERT_EQ(run.cmdConstructWavFromString_Click("A", out.filePath("2.wav")), RunOutcome::Completed);
    struct stat second = {};
    ASSERT_EQ(::stat(QFile::encodeName(set + "/a.wav").constData(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino) << "the set was made again";

    // A generator that writes part of a set and fails: the run says why, and neither a set nor
    // its parts are left, nor is an earlier output touched.
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV", "wavcat"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name)));
    const QString generator = programDir.filePath("ttyprompts");
    ASSERT_TRUE(writeFile(generator, "#!/bin/sh\nfor d; do :; done\ntouch \"$d/a.wav\"\n"
                                     "echo 'ttyprompts: no room' >&2\nexit 1\n"));
    QFile::setPermissions(generator, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray earlier = fileBytes(out.filePath("1.wav"));
    ConversionRun broken(diag, programDir.path());
    broken.setOutputFormat({Encoding::Alaw, 8000, -100});
    const QStringList before = entriesBelow(cache.path());
    EXPECT_EQ(broken.cmdConstructWavFromString_Click("A", out.filePath("1.wav")), RunOutcome::Failed);
    EXPECT_TRUE(
        diag.lines.contains("(error):75 (ttyprompts: no room) in procedure cmdConstructWavFromString_Click "
                            "of Form frmMain"))
        << diag.lines.join('\n').toStdString();
    EXPECT_FALSE(diag.lines.contains("Converstion from text to TTY WAV file complete"));
    EXPECT_EQ(entriesBelow(cache.path()), before);
    EXPECT_EQ(fileBytes(out.filePath("1.wav")), earlier);

    // A cache that cannot be made (a file in its place, which stops root too) fails the run the same way.
    ASSERT_TRUE(writeFile(cache.filePath("blocked"), {}));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.filePath("blocked")));
    EXPECT_EQ(run.cmdConstructWavFromString_Click("A", out.filePath("1.wav")), RunOutcome::Failed);
    EXPECT_TRUE(diag.lines.at(1).startsWith("(error):75 (") && diag.lines.at(1).contains("blocked/quillfen"))
        << diag.lines.join('\n').toStdString();
    EXPECT_EQ(fileBytes(out.filePath("1.wav")), earlier);
}

TEST_F(OutputFormats, twoRunsAtOnceShareOneWholeSet)
{
    QProcess a, b;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CACHE_HOME", cache.path());
    for (QProcess* p : {&a, &b}) {
        p->setProcessEnvironment(env);
        p->start(QDir(kProgramDir).filePath("quillfen-cli"),
                 {"--rate", "48000", "-o", out.filePath(p == &a ? "a.wav" : "b.wav"), "HI"});
    }
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const QString root = defaultPromptCache();
    EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"pcm16_48000Hz_-10.0dBFS"});
    EXPECT_EQ(fileBytes(out.filePath("a.wav")), fileBytes(out.filePath("b.wav")));
}
