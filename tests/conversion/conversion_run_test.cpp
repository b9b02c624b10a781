// The conversion run against a stand-in wavcat that records exactly what it was given.
#include "conversion/conversion_run.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillfen;
using quillfen::testing::LineCollector;
using quillfen::testing::RecordingMessages;

namespace {

// Records its arguments NUL-separated in args.bin (in its working directory), then behaves as the
// FAKE_WAVCAT variable says: "ok" writes a small file to the last argument, "fail" complains,
// "nofile" succeeds without writing. It also notes whether the output was writable when it started.
const char* const kFakeWavcat = R"SH(#!/bin/sh
printf '%s\0' "$@" > args.bin
for out in "$@"; do :; done
if [ -e "$out" ] && [ ! -w "$out" ] && [ "$(id -u)" != 0 ]; then echo readonly > state.txt; fi
stat -c %a "$out" > mode.txt 2>/dev/null
case "${FAKE_WAVCAT:-ok}" in
  fail) echo "wavcat: cannot write '$out': Permission denied" >&2; exit 1 ;;
  nofile) exit 0 ;;
  *) printf 'RIFF' > "$out" || exit 1 ;;
esac
)SH";

class ConversionRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile script(dir.filePath("wavcat"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(kFakeWavcat);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("FAKE_WAVCAT", "ok");
        run.setCompletedHook([this](const QString& path) { completed << path; });
    }
    void TearDown() override { qunsetenv("FAKE_WAVCAT"); }

    QStringList recordedArguments() const
    {
        QFile f(dir.filePath("args.bin"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> parts = f.readAll().split('\0');
        parts.removeLast(); // after the final NUL
        QStringList out;
        for (const QByteArray& p : parts)
            out << QString::fromUtf8(p);
        return out;
    }

    QTemporaryDir dir;
    LineCollector diag;
    RecordingMessages messages;
    ConversionRun run{diag, dir.path()};
    QStringList completed;
};

const QStringList kHi5Prompts{"smallsilence.wav", "LTRS.wav", "h.wav", "i.wav",
                              "space.wav",        "FIGS.WAV", "5.wav", "LTRS.WAV"};

} // namespace

TEST_F(ConversionRunTest, completedRunLogsTextsAndHandsTheFileOn)
{
    const QString out = dir.filePath("hi.wav");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi 5", out), RunOutcome::Completed);
    EXPECT_EQ(diag.lines, (QStringList{"Original String=HI 5", "New Text=HI 5",
                                       "Converstion from text to TTY WAV file complete", ""}));
    EXPECT_EQ(diag.clears, 1);
    EXPECT_EQ(recordedArguments(), kHi5Prompts + QStringList{out});
    EXPECT_EQ(run.WavcatCommand(), QStringLiteral("wavcat ") + kHi5Prompts.join(' ') + " \"" + out + "\" ");
    EXPECT_EQ(run.FirstFile(), 0);
    EXPECT_EQ(run.ShiftState(), 1);
    EXPECT_EQ(completed, QStringList{out});
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(ConversionRunTest, outputPathIsOneArgumentWhateverItHolds)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("with space"));
    const QStringList paths{dir.filePath("with space/my \"best\" 'tty' $HOME *.wav"), "-leading-dash.wav",
                            dir.filePath("--help")};
    for (const QString& out : paths) {
        SCOPED_TRACE(out.toStdString());
        EXPECT_EQ(run.cmdConstructWavFromString_Click("A", out), RunOutcome::Completed);
        EXPECT_EQ(recordedArguments(), (QStringList{"smallsilence.wav", "LTRS.wav", "a.wav", out}));
        EXPECT_TRUE(run.WavcatCommand().endsWith("\"" + out + "\" "));
        // A relative path is taken in the program directory, as wavcat runs there.
        EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(out)));
    }
}

TEST_F(ConversionRunTest, emptyOutputPathIsAnEmptyQuotedArgumentAndFails)
{
    qputenv("FAKE_WAVCAT", "fail");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("A", ""), RunOutcome::Failed);
    EXPECT_TRUE(run.WavcatCommand().endsWith(" \"\" "));
    EXPECT_EQ(recordedArguments(), (QStringList{"smallsilence.wav", "LTRS.wav", "a.wav", ""}));
    EXPECT_TRUE(completed.isEmpty());
}

TEST_F(ConversionRunTest, emptyTextOnlyShowsTheMessage)
{
    diag.DiagOutput("earlier run");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("", dir.filePath("x.wav")), RunOutcome::EmptyText);
    EXPECT_EQ(messages.texts,
              QStringList{"You must first enter some text to convert into TTY/TDD WAV format."});
    EXPECT_EQ(messages.titles, QStringList{QString()});
    EXPECT_EQ(diag.lines, QStringList{"earlier run"});
    EXPECT_FALSE(QFile::exists(dir.filePath("args.bin")));
}

TEST_F(ConversionRunTest, lineBreaksBecomeSpacesButShowInTheOriginal)
{
    EXPECT_EQ(run.cmdConstructWavFromString_Click("\r\n", dir.filePath("x.wav")), RunOutcome::Completed);
    EXPECT_EQ(recordedArguments(),
              (QStringList{"smallsilence.wav", "LTRS.wav", "space.wav", dir.filePath("x.wav")}));
    EXPECT_EQ(diag.lines.first(), QStringLiteral("Original String=\r\n"));

    // A lone line feed is not a line break of the box: it is skipped.
    run.cmdConstructWavFromString_Click("a\nb", dir.filePath("x.wav"));
    EXPECT_EQ(diag.lines.mid(0, 2),
              (QStringList{"Original String=A\nB",
                           "    '\n'character not supported by Boudot protocol!  Skipped."}));
}

TEST_F(ConversionRunTest, secondRunStartsAFreshCommand)
{
    run.cmdConstructWavFromString_Click("5", dir.filePath("one.wav"));
    run.cmdConstructWavFromString_Click("ab", dir.filePath("two.wav"));
    EXPECT_EQ(run.WavcatCommand(),
              "wavcat smallsilence.wav LTRS.wav a.wav b.wav \"" + dir.filePath("two.wav") + "\" ");
    EXPECT_EQ(diag.clears, 2);
    EXPECT_EQ(diag.lines.first(), QStringLiteral("Original String=AB"));
}

TEST_F(ConversionRunTest, readOnlyOutputLosesOnlyItsReadOnlyBit)
{
    const QString ro = dir.filePath("ro.wav");
    const QString rw = dir.filePath("rw.wav");
    for (const QString& p : {ro, rw}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(ro).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(rw).constData(), 0640), 0);

    EXPECT_EQ(run.cmdConstructWavFromString_Click("a", ro), RunOutcome::Completed);
    QFile mode(dir.filePath("mode.txt"));
    ASSERT_TRUE(mode.open(QIODevice::ReadOnly));
    EXPECT_EQ(mode.readAll().trimmed(), QByteArray("644")); // as wavcat found it
    EXPECT_FALSE(QFile::exists(dir.filePath("state.txt")));

    EXPECT_EQ(run.cmdConstructWavFromString_Click("a", rw), RunOutcome::Completed);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(rw).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ConversionRunTest, failedWavcatIsReportedNotCompleted)
{
    qputenv("FAKE_WAVCAT", "fail");
    const QString out = dir.filePath("x.wav");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi", out), RunOutcome::Failed);
    // The report stands where the completion line would.
    EXPECT_EQ(
        diag.lines,
        (QStringList{"Original String=HI", "New Text=HI",
                     "(error):75 (wavcat: cannot write '" + out +
                         "': Permission denied) in procedure cmdConstructWavFromString_Click of Form frmMain",
                     ""}));
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_FALSE(run.failure().isEmpty());

    // Success claimed without a file is a failure too.
    qputenv("FAKE_WAVCAT", "nofile");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("hi", out), RunOutcome::Failed);
    EXPECT_TRUE(diag.lines.at(2).startsWith("(error):75 (wavcat did not create "));
}

TEST_F(ConversionRunTest, missingWavcatGivesTheErrorLineInPlaceOfCompletion)
{
    QFile::remove(dir.filePath("wavcat"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.filePath("nowhere")));
    const RunOutcome outcome = run.cmdConstructWavFromString_Click("hi", dir.filePath("x.wav"));
    qputenv("PATH", path);

    EXPECT_EQ(outcome, RunOutcome::Failed);
    ASSERT_EQ(diag.lines.size(), 4);
    EXPECT_EQ(diag.lines[0], QStringLiteral("Original String=HI"));
    EXPECT_TRUE(diag.lines[1].startsWith("(error):53 (File not found: wavcat"));
    EXPECT_TRUE(diag.lines[1].endsWith(") in procedure cmdConstructWavFromString_Click of Form frmMain"));
    EXPECT_EQ(diag.lines[2], QStringLiteral("New Text=HI"));
    EXPECT_EQ(diag.lines[3], QString());
    EXPECT_FALSE(QFile::exists(dir.filePath("x.wav")));
}

TEST_F(ConversionRunTest, textBeyond32767CharactersIsRefusedBeforeWavcat)
{
    const QString tooLong(32768, QLatin1Char('E'));
    EXPECT_EQ(run.cmdConstructWavFromString_Click(tooLong, dir.filePath("x.wav")), RunOutcome::Failed);
    ASSERT_EQ(diag.lines.size(), 3);
    EXPECT_TRUE(diag.lines[1].startsWith("(error):6 (the text has 32768 characters"));
    EXPECT_FALSE(QFile::exists(dir.filePath("args.bin")));
    EXPECT_TRUE(run.WavcatCommand().isEmpty()); // nothing of an earlier run either

    // The limit itself converts, and a CR LF pair counts as the one space it becomes.
    QString atLimit(32766, QLatin1Char('E'));
    atLimit += QStringLiteral("\r\n");
    EXPECT_EQ(run.cmdConstructWavFromString_Click(atLimit, dir.filePath("x.wav")), RunOutcome::Completed);
    EXPECT_EQ(recordedArguments().size(), 32767 + 3);
}
