// The encoded output names and the codec check through the real quillfen-cli, wavcat and prompt
// sets: each file as its format has it, the warning for codecs that damage tones, the file read back
// and decoded; what the check prints for each message and codec, and the files it leaves as they were.
#include "conversion/encoded_output.h"
#include "program_runs.h"
#include "support/wav_files.h"

#include <sndfile.h>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

// The rest of the first line that starts with `lead`; empty when there is none.
QString checkLine(const QString& stdoutText, const QString& lead)
{
    for (const QString& line : stdoutText.split('\n'))
        if (line.startsWith(lead))
            return line.mid(lead.size());
    return {};
}

class EncodedOutputCli : public ProgramRun
{
};

class CodecCheckCli : public ProgramRun
{
};

} // namespace

TEST_F(EncodedOutputCli, eachEncodedNameGetsItsFormat_readBackItPrintsTheText)
{
    const QString text = "PLEASE CALL 555-0142 GA";
    for (const char* reference : {"ref.sln", "ref.sln16", "ref.ulaw", "ref.alaw"})
        ASSERT_EQ(cliInOut({"-o", reference, text}).exitCode, 0) << reference;
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
        const Ran r = cliInOut({"-o", c.name, text});
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
            EXPECT_EQ(printed.toStdString(), text.toStdString());
        }
        // --decode reads it as it was written.
        const Ran readBack = cliInOut({"--decode", c.name});
        EXPECT_EQ(readBack.out.trimmed(), printed);
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

TEST_F(CodecCheckCli, checkOfOneMessage_gsmDamagesIt_g711AndG722DoNot_andTheFileStaysAsWritten)
{
    const QString text = "QUICK FOX 12 JUMPS 34 OVER 56 LAZY 78 DOGS 90";
    ASSERT_EQ(cliInOut({"-o", "plain.ulaw", text}).exitCode, 0);
    const Ran r = cliInOut({"--check-codec", "gsm,g722", "-o", "checked.ulaw", text});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The check writes nothing and changes nothing: the same bytes as without it, nothing else left.
    EXPECT_EQ(fileBytes(out.filePath("checked.ulaw")), fileBytes(out.filePath("plain.ulaw")));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"checked.ulaw", "plain.ulaw"}));
    // The G.711 file itself prints the text.
    EXPECT_EQ(decode(out.filePath("checked.ulaw")), text);

    const QString clean = "character error rate 0.0 %; prints \"" + text + "\"";
    EXPECT_EQ(checkLine(r.out, "clean: ").toStdString(), clean.toStdString()) << r.out.toStdString();
    EXPECT_EQ(checkLine(r.out, "g722: ").toStdString(), clean.toStdString());
    const QString gsm = checkLine(r.out, "gsm: ");
    ASSERT_TRUE(gsm.startsWith("character error rate ")) << r.out.toStdString();
    EXPECT_NE(gsm, clean);
    EXPECT_TRUE(r.err.contains("warning: through gsm it prints")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("g722"));
}

TEST_F(CodecCheckCli, checkOfASetPrintsEachMessageAndCodec_andTheSetIsByteForByteTheSame)
{
    ASSERT_TRUE(writeFile(out.filePath("set.csv"), "name,text\r\nhours,Open 9 to 5\r\nbye,Thanks GA SK\r\n"));
    ASSERT_EQ(cliInOut({"--batch", "set.csv", "--system", "asterisk", "-o", "plain"}).exitCode, 0);
    const Ran r =
        cliInOut({"--batch", "set.csv", "--system", "asterisk", "--check-codec", "g722", "-o", "checked"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto plain = folderSnapshot(out.filePath("plain")),
               checked = folderSnapshot(out.filePath("checked"));
    EXPECT_EQ(plain.size(), 11U); // five files a message and the manifest
    EXPECT_EQ(checked, plain);
    for (const auto& [name, printed] : {std::pair{"hours", "OPEN 9 TO 5"}, std::pair{"bye", "THANKS GA SK"}})
        for (const char* codec : {"clean", "g722"})
            EXPECT_EQ(checkLine(r.out, QString("%1, %2: ").arg(name, codec)).toStdString(),
                      QString("character error rate 0.0 %; prints \"%1\"").arg(printed).toStdString())
                << r.out.toStdString();
    EXPECT_EQ(r.err.toStdString(), "");
}
