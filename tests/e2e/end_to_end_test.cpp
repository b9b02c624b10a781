// Text through the real run, the real wavcat and the generated prompt set, and back through the
// decoder: what a text telephone would print. The command line as a user runs it.
#include "conversion/conversion_run.h"
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

QString decode(const QString& path)
{
    return QString::fromStdString(tty::decodeFile(QFile::encodeName(path).toStdString()).text);
}

Ran cli(const QStringList& args, const QByteArray& input = {}, const QString& workDir = {},
        const QString& cacheHome = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!cacheHome.isEmpty())
        env.insert("XDG_CACHE_HOME", cacheHome);
    return runProgram(QDir(kProgramDir).filePath("quillfen-cli"), args, input, workDir, env);
}

class EndToEnd : public ::testing::Test
{
protected:
    QTemporaryDir out;
    LineCollector diag;
    RecordingMessages boxes;
    ConversionRun run{diag, kProgramDir};
};

} // namespace

TEST_F(EndToEnd, decodedAudioCarriesTheNewText)
{
    const std::pair<QString, QString> cases[] = {
        {"The quick brown fox jumps over the lazy dog 0123456789 ,?:.'#$-()!\"",
         "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ,?:.'#$-()!\""},
        {QStringLiteral("nul") + QChar(u'\0') + QString::fromUtf8("\x01\xF0\x9F\x98\x80ok"), "NULOK"},
    };
    for (const auto& [text, printed] : cases) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ(run.cmdConstructWavFromString_Click(text, out.filePath("out.wav")), RunOutcome::Completed);
        EXPECT_EQ(decode(out.filePath("out.wav")), printed);
        EXPECT_EQ(diag.lines.at(diag.lines.size() - 3), "New Text=" + printed);
    }
}

TEST_F(EndToEnd, aPromptCutShortFailsTheRunAndLeavesAnEarlierOutputAsItWas)
{
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV", "wavcat"}, QDir::Files))
        QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name));
    const QString h = programDir.filePath("h.wav"), target = out.filePath("kept.wav");
    ASSERT_TRUE(QFile::resize(h, QFileInfo(h).size() - 100));
    const QByteArray earlier("an earlier recording, kept");
    ASSERT_TRUE(writeFile(target, earlier));
    // Read-only, too: made writable for wavcat, and read-only again when it failed.
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));
    ConversionRun partial(diag, programDir.path());
    EXPECT_EQ(partial.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
    EXPECT_TRUE(diag.lines.at(2).startsWith("(error):75 (wavcat: ") && diag.lines.at(2).contains("h.wav"))
        << diag.lines.at(2).toStdString();
    EXPECT_EQ(fileBytes(target), earlier);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.wav"});
    const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser; // depend on who runs the test
    EXPECT_EQ(QFile::permissions(target) & ~userBits, QFile::ReadOwner | QFile::ReadGroup);
}

TEST(CommandLine, convertsArgumentsAndStandardInputAndAnswersHelpAndVersion)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath("hi.wav");
    Ran r = cli({"HI", "5", "-o", wav});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Original String=HI 5\nNew Text=HI 5\n"
                                    "Converstion from text to TTY WAV file complete\n\n"));
    EXPECT_TRUE(r.err.isEmpty());
    r = cli({"--decode", wav});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("HI 5\n"));

    // Several files: each text under its name; a file without text is named on standard error and
    // only fails the run when no file had text.
    const QString idle = dir.filePath("idle.wav");
    ASSERT_EQ(cli({"~", "-o", idle}).exitCode, 0);
    r = cli({"--decode", "--timestamps", wav, idle});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, wav + ":\n[00:00.2] HI 5\n\n" + idle + ":\n");
    EXPECT_EQ(r.err, "quillfen-cli: no TTY text found in " + idle + "\n");
    r = cli({"--decode", idle});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QString());
    r = cli({"--decode", "--baud", "45.45", "--unshift-on-space", wav});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("HI 5\n"));

    // From a pipe: lines become spaces, the trailing newline is not part of the text.
    EXPECT_EQ(cli({"-o", wav}, "call me\nat 5\n").exitCode, 0);
    EXPECT_EQ(decode(wav), QStringLiteral("CALL ME AT 5"));

    // A relative output path is taken from where the user is; after -- all is text. Options that
    // agree with a headerless name are fine.
    r = cli({"-o", "rel.wav", "--", "-5"}, {}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(decode(dir.filePath("rel.wav")), QStringLiteral("-5"));
    r = cli({"--encoding", "ulaw", "--rate", "8000", "--level", "-12", "-o", "x.ul", "HI"}, {}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    EXPECT_TRUE(cli({"--help"}).out.contains("--decode"));
    EXPECT_EQ(cli({"--version"}).out, QStringLiteral("quillfen-cli 1.0.6\n"));
}

TEST(CommandLine, controlCharactersAreEchoedAsEscapes)
{
    QTemporaryDir dir;
    const Ran r = cli({"-o", dir.filePath("x.wav")}, QByteArray("a\x1b[2Jb\0c\rd\x7f", 11));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Original String=A\\x1b[2JB\\x00C\\x0dD\\x7f\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("    '\\x1b'character not supported")) << r.out.toStdString();
    for (const char c : {'\x1b', '\0', '\r', '\x7f'})
        EXPECT_FALSE(r.out.contains(QChar(c))) << int(c);
}

// Nothing is written, the earlier file included, and no prompt set is made.
TEST(CommandLine, errorsAreOneClearLineAndANonZeroExitAndTouchNothing)
{
    QTemporaryDir dir, cache;
    const QString kept = dir.filePath("kept.wav"), fresh = dir.filePath("fresh");
    ASSERT_TRUE(writeFile(kept, "keep me"));
    const struct
    {
        QStringList args;
        int exit;
        const char* says;
        QByteArray input = {};
    } cases[] = {
        {{"HI"}, 2, "no output file"},
        {{"HI", "-o", ""}, 2, "output file name is empty"},
        {{"--bogus", "-o", kept}, 2, "unknown option --bogus"},
        {{"-o", kept}, 1, "You must first enter some text"},
        {{"HI", "-o", dir.filePath("missing/x.wav")}, 1, "no WAV file written"},
        {{"-o", kept}, 1, "40000 characters", QByteArray(40000, 'A')},
        {{"--decode", kept}, 2, "kept.wav"},
        {{"--decode", dir.path()}, 2, "is a directory"},
        {{"--decode"}, 2, "at least one file"},
        {{"--decode", "--baud", "47", kept}, 2, "45.45 or 50"},
        {{"--decode", "-o", kept, kept}, 2, "leave out -o"},
        {{"--timestamps", "-o", kept, "HI"}, 2, "--timestamps goes with --decode"},
        {{"--encoding", "mulaw", "-o", kept, "HI"}, 2, "--encoding takes pcm16, ulaw or alaw, not 'mulaw'"},
        {{"--rate", "9600", "-o", fresh + ".wav", "HI"},
         2,
         "--rate takes 8000, 11025, 16000, 22050, 44100 or 48000, not '9600'"},
        {{"--level", "-31", "-o", kept, "HI"}, 2, "--level takes a number of dBFS from -30 to 0, not '-31'"},
        {{"--level", "3", "-o", fresh + ".wav", "HI"}, 2, "from -30 to 0"},
        {{"--level", "loud", "-o", kept, "HI"}, 2, "from -30 to 0"},
        // A headerless name says its own encoding and rate; a contradicting option is refused.
        {{"--encoding", "pcm16", "-o", fresh + ".ulaw", "HI"}, 2, "headerless"},
        {{"--rate", "8000", "-o", fresh + ".SLN16", "HI"}, 2, "headerless"},
        {{"--encoding", "ulaw", "-o", fresh + ".al", "HI"}, 2, "headerless"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Ran r = cli(c.args, c.input, {}, cache.path());
        EXPECT_EQ(r.exitCode, c.exit);
        EXPECT_TRUE(r.err.startsWith("quillfen-cli: ") && r.err.contains(QString::fromUtf8(c.says)) &&
                    r.err.count('\n') == 1)
            << r.err.toStdString();
    }
    EXPECT_EQ(fileBytes(kept), QByteArray("keep me"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"kept.wav"});
    EXPECT_EQ(QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{});
}
