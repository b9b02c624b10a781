// The conversion run against a stand-in wavcat that records exactly what it was given.
#include "conversion/conversion_run.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

// Records its arguments NUL-separated in args.bin and the output's mode in mode.txt, then writes
// the last argument (refusing one that is not a regular file, as the real one does), or complains
// when FAKE_WAVCAT is "fail", or claims success without a file when it is "nofile".
const char* const kFakeWavcat = R"SH(#!/bin/sh
printf '%s\0' "$@" > args.bin
for out in "$@"; do :; done
stat -c %a "$out" > mode.txt 2>/dev/null
if [ -e "$out" ] && [ ! -f "$out" ]; then echo "wavcat: cannot write '$out': not a regular file" >&2; exit 1; fi
if [ "$FAKE_WAVCAT" = fail ]; then echo "wavcat: cannot write '$out': Permission denied" >&2; exit 1; fi
[ "$FAKE_WAVCAT" = nofile ] || printf 'RIFF' > "$out"
)SH";

class ConversionRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeFile(dir.filePath("wavcat"), kFakeWavcat));
        QFile::setPermissions(dir.filePath("wavcat"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        run.setCompletedHook([this](const QString& path) { completed << path; });
    }
    void TearDown() override { qunsetenv("FAKE_WAVCAT"); }

    QStringList recordedArguments() const
    {
        QStringList out;
        for (const QByteArray& p : fileBytes(dir.filePath("args.bin")).split('\0'))
            out << QString::fromUtf8(p);
        out.removeLast(); // after the final NUL
        return out;
    }

    QTemporaryDir dir;
    LineCollector diag;
    RecordingMessages messages;
    ConversionRun run{diag, dir.path()};
    QStringList completed;
};

} // namespace

TEST_F(ConversionRunTest, completedRunLogsTextsAndHandsTheFileOn)
{
    const QString out = dir.filePath("hi.wav");
    const QStringList prompts =
        QString("smallsilence.wav LTRS.wav h.wav i.wav space.wav FIGS.WAV 5.wav LTRS.WAV").split(' ');
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi 5", out), RunOutcome::Completed);
    EXPECT_EQ(diag.lines, (QStringList{"Original String=HI 5", "New Text=HI 5",
                                       "Converstion from text to TTY WAV file complete", ""}));
    EXPECT_EQ(recordedArguments(), prompts + QStringList{out});
    EXPECT_EQ(run.WavcatCommand(), "wavcat " + prompts.join(' ') + " \"" + out + "\" ");
    EXPECT_EQ(completed, QStringList{out});
}

TEST_F(ConversionRunTest, outputPathIsOneArgumentWhateverItHolds)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("with space"));
    const QString paths[] = {dir.filePath("with space/my \"best\" 'tty' $HOME *.wav"), "-leading-dash.wav",
                             ""};
    for (const QString& out : paths) {
        SCOPED_TRACE(out.toStdString());
        EXPECT_EQ(run.cmdConstructWavFromString_Click("A", out),
                  out.isEmpty() ? RunOutcome::Failed : RunOutcome::Completed);
        EXPECT_EQ(recordedArguments(), (QStringList{"smallsilence.wav", "LTRS.wav", "a.wav", out}));
        EXPECT_TRUE(run.WavcatCommand().endsWith(" \"" + out + "\" "));
    }
    // A relative path is taken in the program directory, where wavcat runs.
    EXPECT_TRUE(QFile::exists(dir.filePath("-leading-dash.wav")));
}

TEST_F(ConversionRunTest, secondRunStartsAFreshCommandOverAReadOnlyOutput)
{
    const QString out = dir.filePath("out.wav");
    run.cmdConstructWavFromString_Click("5", out);
    ASSERT_TRUE(QFile::setPermissions(out, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(run.cmdConstructWavFromString_Click("\r\n", out), RunOutcome::Completed);
    // CR LF became one space, and nothing of the first run is left.
    EXPECT_EQ(recordedArguments(), (QStringList{"smallsilence.wav", "LTRS.wav", "space.wav", out}));
    EXPECT_EQ(run.WavcatCommand(), "wavcat smallsilence.wav LTRS.wav space.wav \"" + out + "\" ");
    EXPECT_EQ(diag.lines.first(), QStringLiteral("Original String=\r\n"));
    // As wavcat found it: only the read-only bit went.
    EXPECT_EQ(fileBytes(dir.filePath("mode.txt")).trimmed(), QByteArray("644"));
}

TEST_F(ConversionRunTest, aFailedOrMissingWavcatIsReportedInPlaceOfCompletion)
{
    const QString out = dir.filePath("x.wav"),
                  closing = ") in procedure cmdConstructWavFromString_Click of Form frmMain";
    qputenv("FAKE_WAVCAT", "fail");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi", out), RunOutcome::Failed);
    EXPECT_EQ(
        diag.lines,
        (QStringList{"Original String=HI", "New Text=HI",
                     "(error):75 (wavcat: cannot write '" + out + "': Permission denied" + closing, ""}));
    // Success claimed without a file is a failure too.
    qputenv("FAKE_WAVCAT", "nofile");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi", out), RunOutcome::Failed);
    EXPECT_TRUE(diag.lines.at(2).startsWith("(error):75 (wavcat did not create "))
        << diag.lines.at(2).toStdString();
    // An earlier file that a failed run did not replace keeps its permissions, read-only or not.
    qputenv("FAKE_WAVCAT", "fail");
    for (const mode_t mode : {mode_t(0444), mode_t(0644)}) {
        ASSERT_TRUE(writeFile(out, "earlier") && ::chmod(QFile::encodeName(out).constData(), mode) == 0);
        EXPECT_EQ(run.cmdConstructWavFromString_Click("hi", out), RunOutcome::Failed);
        struct stat st = {};
        ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
        QFile::remove(out);
    }

    QFile::remove(dir.filePath("wavcat"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.filePath("nowhere")));
    const RunOutcome outcome = run.cmdConstructWavFromString_Click("hi", out);
    qputenv("PATH", path);
    EXPECT_EQ(outcome, RunOutcome::Failed);
    ASSERT_EQ(diag.lines.size(), 4);
    EXPECT_TRUE(diag.lines[1].startsWith("(error):53 (File not found: wavcat") &&
                diag.lines[1].endsWith(closing));
    EXPECT_TRUE(completed.isEmpty());
}

TEST_F(ConversionRunTest, emptyTextOrTextBeyond32767CharactersIsRefusedBeforeWavcat)
{
    EXPECT_EQ(run.cmdConstructWavFromString_Click("", dir.filePath("x.wav")), RunOutcome::EmptyText);
    EXPECT_EQ(messages.texts,
              QStringList{"You must first enter some text to convert into TTY/TDD WAV format."});
    EXPECT_EQ(diag.clears, 0);
    EXPECT_EQ(run.cmdConstructWavFromString_Click(QString(32768, 'E'), dir.filePath("x.wav")),
              RunOutcome::Failed);
    ASSERT_EQ(diag.lines.size(), 3);
    EXPECT_TRUE(diag.lines[1].startsWith("(error):6 (the text has 32768 characters"));
    EXPECT_FALSE(QFile::exists(dir.filePath("args.bin")));

    // The limit itself converts, and a CR LF pair counts as the one space it becomes.
    const QString atLimit = QString(32766, 'E') + "\r\n";
    EXPECT_EQ(run.cmdConstructWavFromString_Click(atLimit, dir.filePath("x.wav")), RunOutcome::Completed);
    EXPECT_EQ(recordedArguments().size(), 32767 + 3);
}

TEST_F(ConversionRunTest, anOutputThatIsAPromptOrNoFileIsRefusedBeforeWavcat)
{
    const QByteArray prompt("the prompt for A");
    ASSERT_TRUE(writeFile(dir.filePath("a.wav"), prompt));
    ASSERT_EQ(::link(QFile::encodeName(dir.filePath("a.wav")).constData(),
                     QFile::encodeName(dir.filePath("b.wav")).constData()),
              0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.wav")).constData(), 0644), 0);
    const std::pair<QString, QString> cases[] = {
        {"a.wav", "the same file as the input a.wav"}, // relative: in the program directory
        {dir.filePath("b.wav"), "the same file as the input a.wav"},
        {dir.filePath("fifo.wav"), "not a regular file"},
    };
    for (const auto& [output, why] : cases) {
        EXPECT_EQ(run.cmdConstructWavFromString_Click("A", output), RunOutcome::Failed);
        EXPECT_EQ(diag.lines,
                  (QStringList{"Original String=A", "New Text=A",
                               "(error):75 (Path/File access error: " + output + " (" + why +
                                   ")) in procedure cmdConstructWavFromString_Click of Form frmMain",
                               ""}));
        EXPECT_FALSE(QFile::exists(dir.filePath("args.bin"))) << "wavcat was started";
    }
    EXPECT_EQ(fileBytes(dir.filePath("a.wav")), prompt);
    EXPECT_FALSE(QFileInfo(dir.filePath("fifo.wav")).isFile());
}
