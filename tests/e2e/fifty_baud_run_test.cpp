// 50-baud output through the real run, the generator and wavcat, read back by the decoder held at
// 50 baud and left to detect the rate; its prompt sets kept apart from the 45.45-baud ones.
#include "conversion/prompt_sets.h"
#include "program_runs.h"

using namespace quillfen;
using namespace quillfen::testing;

namespace {

class FiftyBaudRun : public ProgramRun
{
};

} // namespace

TEST_F(FiftyBaudRun, everyEncodingDecodesAtFiftyBaud_heldOrDetected)
{
    const std::pair<OutputFormat, const char*> formats[] = {
        {{Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, "a.wav"},
        {{Encoding::Ulaw, 8000, -100, LineBaud::Baud50}, "b.wav"},
        {{Encoding::Alaw, 16000, -200, LineBaud::Baud50}, "c.wav"},
        {{Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, "d.ulaw"}, // headerless: the name fixes µ-law
    };
    for (const auto& [format, name] : formats) {
        SCOPED_TRACE(name);
        run.setOutputFormat(format);
        const QString path = out.filePath(name);
        ASSERT_EQ(run.cmdConstructWavFromString_Click("HELLO 50, ARE YOU THERE?", path),
                  RunOutcome::Completed)
            << diag.lines.join('\n').toStdString();
        const tty::DecodedText held = decoded(path, {.baud = tty::BaudRate::Baud50});
        EXPECT_EQ(held.text, "HELLO 50, ARE YOU THERE?");
        EXPECT_EQ(held.framingErrors, 0);
        const tty::DecodedText detected = decoded(path);
        EXPECT_EQ(detected.text, "HELLO 50, ARE YOU THERE?");
        ASSERT_EQ(detected.bursts.size(), 1u);
        EXPECT_DOUBLE_EQ(detected.bursts[0].baud, 50.0);
    }
}

TEST_F(FiftyBaudRun, theTwoSpeedsHaveSetsOfTheirOwn_andNeitherIsTakenForTheOther)
{
    const QString root = defaultPromptCache();
    OutputFormat format{Encoding::Ulaw, 8000, -100};
    const QString slow = promptSetDirectory(format, kProgramDir, root);
    format.baud = LineBaud::Baud50;
    const QString fast = promptSetDirectory(format, kProgramDir, root);
    EXPECT_NE(slow, fast);
    EXPECT_EQ(QDir(fast).dirName(), "ulaw_8000Hz_-10.0dBFS_50Bd");
    EXPECT_NE(fileBytes(QDir(slow).filePath("e.wav")), fileBytes(QDir(fast).filePath("e.wav")));

    // The standard format at 50 baud is not the program directory's set.
    EXPECT_NE(promptSetDirectory({Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, kProgramDir, root),
              kProgramDir);

    // A 45.45-baud set put where the 50-baud one belongs is not joined: the set is made again.
    ASSERT_TRUE(QDir(fast).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(fast));
    for (const QString& entry : QDir(slow).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(slow).filePath(entry), QDir(fast).filePath(entry)));
    run.setOutputFormat(format);
    const QString path = out.filePath("x.wav");
    ASSERT_EQ(run.cmdConstructWavFromString_Click("QUICK", path), RunOutcome::Completed);
    EXPECT_EQ(decoded(path, {.baud = tty::BaudRate::Baud50}).text, "QUICK");
    EXPECT_NE(fileBytes(QDir(fast).filePath("q.wav")), fileBytes(QDir(slow).filePath("q.wav")));
}

TEST_F(FiftyBaudRun, theCommandLineSendsFiftyBaudWhenAsked)
{
    const QString path = out.filePath("cli.wav");
    const Ran r = cliInOut({"--baud", "50", "-o", path, "GA 50"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const tty::DecodedText d = decoded(path);
    EXPECT_EQ(d.text, "GA 50");
    ASSERT_FALSE(d.bursts.empty());
    EXPECT_DOUBLE_EQ(d.bursts[0].baud, 50.0);
}
