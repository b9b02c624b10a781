// The encoded output names through the real quillfen-cli, wavcat and prompt sets: each file as its
// format has it, the warning for codecs that damage tones, and the file read back and decoded.
#include "conversion/encoded_output.h"
#include "conversion/tty_decoder.h"
#include "support/wav_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sndfile.h>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);
const QString kText = QStringLiteral("PLEASE CALL 555-0142 GA");

class EncodedOutputCli : public ::testing::Test
{
protected:
    Ran cli(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", cache.path());
        return runProgram(QDir(kProgramDir).filePath("quillfen-cli"), args, {}, out.path(), env);
    }

    QTemporaryDir out, cache;
};

} // namespace

TEST_F(EncodedOutputCli, eachEncodedNameGetsItsFormat_readBackItPrintsTheText)
{
    for (const char* reference : {"ref.sln", "ref.sln16", "ref.ulaw", "ref.alaw"})
        ASSERT_EQ(cli({"-o", reference, kText}).exitCode, 0) << reference;
    const qsizetype samples = QFileInfo(out.filePath("ref.sln")).size() / 2;
    const auto frames = [&](qsizetype per) { return (samples + per - 1) / per; };
    const struct
    {
        const char* name;
        qsizetype bytes;
        const char* sameAs; // the file of wavcat's own whose bytes (after any header) it holds
        bool warned;
    } cases[] = {
        {"msg.gsm", 33 * frames(160), nullptr, true},
        {"msg.g729", 10 * frames(80), nullptr, true},
        {"msg.g722", samples, nullptr, false},
        {"msg.wav16", 44 + QFileInfo(out.filePath("ref.sln16")).size(), "ref.sln16", false},
        {"msg.PCMU", samples, "ref.ulaw", false},
        {"msg.pcma", samples, "ref.alaw", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = out.filePath(c.name);
        // An earlier file is replaced whole.
        ASSERT_TRUE(writeFile(path, "an earlier file"));
        const Ran r = cli({"-o", c.name, kText});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray bytes = fileBytes(path);
        EXPECT_EQ(bytes.size(), c.bytes);
        const auto kind = encodedKindOf(path);
        ASSERT_TRUE(kind);
        EXPECT_EQ(bytes.startsWith("RIFF"), !kind->headerless);
        if (c.sameAs) {
            EXPECT_EQ(bytes.right(bytes.size() - (kind->headerless ? 0 : 44)),
                      fileBytes(out.filePath(c.sameAs)));
        }
        EXPECT_EQ(r.err.contains(kind->label + " damages TTY tones"), c.warned) << r.err.toStdString();
        const auto [audio, rate] = readEncodedAudio(*kind, path);
        EXPECT_EQ(rate, kind->codec ? 8000.0 : double(kind->sampleRate));
        if (kind->codec) {
            const codecs::CodecInfo& info = codecs::codecInfo(*kind->codec);
            EXPECT_EQ(qsizetype(audio.size()),
                      frames(qsizetype(info.unitSamples)) * qsizetype(info.unitSamples));
        }
        const QString printed = QString::fromStdString(tty::decodeSamples(audio, rate).text);
        // A codec that damages tones may print something else, and then says so.
        if (!c.warned || !r.err.contains("read back")) {
            EXPECT_EQ(printed.toStdString(), kText.toStdString());
        }
        // --decode reads it as it was written.
        const Ran decoded = cli({"--decode", c.name});
        EXPECT_EQ(decoded.out.trimmed(), printed);
    }
    // A 16 kHz WAV as libsndfile reads it.
    const auto wav16 = test::readSound(out.filePath("msg.wav16").toStdString());
    ASSERT_TRUE(wav16);
    EXPECT_EQ(wav16->rate, 16000);
    EXPECT_EQ(wav16->format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // Nothing of the joins is left beside the outputs.
    for (const QString& entry :
         QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        EXPECT_FALSE(entry.startsWith('.')) << entry.toStdString();
}
