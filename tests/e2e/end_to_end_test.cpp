// Text through the real run, the real wavcat and the generated prompt set, and back through the
// decoder: what a text telephone would print.
#include "conversion/conversion_run.h"
#include "conversion/recording_report.h"
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <sys/stat.h>

using namespace quillfen;
using quillfen::testing::LineCollector;
using quillfen::testing::RecordingMessages;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

QString decode(const QString& path)
{
    return QString::fromStdString(tty::decodeFile(QFile::encodeName(path).toStdString()).text);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
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
        {"HI 5", "HI 5"},
        {"The quick brown fox jumps over the lazy dog 0123456789 ,?:.'#$-()!\"",
         "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ,?:.'#$-()!\""},
        {"a~b~~5", "AB5"}, // a blank is idle carrier: nothing is printed for it
        {"hi* there @ 5% & more", "HI THERE  5  MORE"},
        {"line one\r\nline two\r\n", "LINE ONE LINE TWO "},
        {QStringLiteral("nul") + QChar(u'\0') + QString::fromUtf8("\x01\xF0\x9F\x98\x80ok"), "NULOK"},
    };
    for (const auto& [text, printed] : cases) {
        SCOPED_TRACE(text.toStdString());
        const QString path = out.filePath("out.wav");
        ASSERT_EQ(run.cmdConstructWavFromString_Click(text, path), RunOutcome::Completed);
        EXPECT_EQ(decode(path), printed);
        EXPECT_EQ(QString(diag.lines.at(diag.lines.size() - 3)).remove('~'), "New Text=" + printed);
    }
}

TEST_F(EndToEnd, failedRunLeavesAnEarlierOutputAsItWas)
{
    // A prompt set with h.wav missing, cut short inside its audio, or a FIFO that nobody writes to:
    // wavcat names it, and the old output survives.
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV", "wavcat"}, QDir::Files))
        QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name));
    const QString h = programDir.filePath("h.wav");
    const std::function<void()> breakH[] = {
        [&] { QFile::remove(h); },
        [&] { QFile::resize(h, QFileInfo(h).size() - 100); },
        [&] { QFile::remove(h) && ::mkfifo(QFile::encodeName(h).constData(), 0644); },
    };
    const QByteArray earlier("an earlier recording, kept");
    const QString target = out.filePath("kept.wav");
    writeFile(target, earlier);
    ConversionRun partial(diag, programDir.path());
    for (const auto& damage : breakH) {
        QFile::remove(h);
        ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath("h.wav"), h));
        damage();
        EXPECT_EQ(partial.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
        EXPECT_TRUE(diag.lines.at(2).startsWith("(error):75 (wavcat: ") && diag.lines.at(2).contains("h.wav"))
            << diag.lines.at(2).toStdString();
        EXPECT_EQ(contents(target), earlier);
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.wav"});
    }

    // A read-only earlier file is made writable for wavcat, and read-only again when it failed.
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(partial.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
    const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser; // depend on who runs the test
    EXPECT_EQ(QFile::permissions(target) & ~userBits, QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_EQ(contents(target), earlier);
}

TEST_F(EndToEnd, readOnlyDirectoryIsRefusedEvenForRoot)
{
    const QString locked = out.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    writeFile(locked + "/old.wav", "old");
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    for (const QString name : {"/old.wav", "/new.wav"}) {
        EXPECT_EQ(run.cmdConstructWavFromString_Click("HI", locked + name), RunOutcome::Failed);
        EXPECT_TRUE(diag.lines.at(2).startsWith("(error):75 (wavcat: "));
    }
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{"old.wav"});
    EXPECT_EQ(contents(locked + "/old.wav"), QByteArray("old"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {

struct CliResult
{
    int exitCode = -1;
    QString out, err;
};

CliResult cli(const QStringList& args, const QByteArray& input = {}, const QString& workDir = {})
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(QDir(kProgramDir).filePath("quillfen-cli"), args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(CommandLine, convertsArgumentsAndStandardInputAndAnswersHelpAndVersion)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath("hi.wav");
    CliResult r = cli({"HI", "5", "-o", wav});
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

    // A relative output path is taken from where the user is; after -- all is text.
    r = cli({"-o", "rel.wav", "--", "-5"}, {}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(decode(dir.filePath("rel.wav")), QStringLiteral("-5"));

    EXPECT_TRUE(cli({"--help"}).out.contains("--decode"));
    EXPECT_EQ(cli({"--version"}).out, QStringLiteral("quillfen-cli 1.0.6\n"));
}

TEST(CommandLine, errorsAreOneClearLineAndANonZeroExit)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath("kept.wav");
    writeFile(kept, "keep me");
    const struct
    {
        QStringList args;
        QByteArray input;
        int exit;
        const char* says;
    } cases[] = {
        {{"HI"}, {}, 2, "no output file"},
        {{"HI", "-o", ""}, {}, 2, "output file name is empty"},
        {{"--bogus", "-o", kept}, {}, 2, "unknown option --bogus"},
        {{"-o", kept}, {}, 1, "You must first enter some text"},
        {{"HI", "-o", dir.filePath("missing/x.wav")}, {}, 1, "no WAV file written"},
        {{"-o", kept}, QByteArray(40000, 'A'), 1, "40000 characters"},
        {{"--decode", kept}, {}, 2, "kept.wav"},
        {{"--decode", dir.path()}, {}, 2, "is a directory"},
        {{"--decode"}, {}, 2, "at least one file"},
        {{"--decode", "--baud", "47", kept}, {}, 2, "45.45 or 50"},
        {{"--decode", "-o", kept, kept}, {}, 2, "leave out -o"},
        {{"--timestamps", "-o", kept, "HI"}, {}, 2, "--timestamps goes with --decode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = cli(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exit);
        EXPECT_TRUE(r.err.startsWith("quillfen-cli: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says)));
        EXPECT_EQ(r.err.count('\n'), 1);
    }
    EXPECT_EQ(contents(kept), QByteArray("keep me"));
}

TEST_F(EndToEnd, decodedRecordingsAreReportedUnderTheirNames)
{
    const QString wav = out.filePath("hi.wav"), idle = out.filePath("idle.wav"), missing = out.filePath("gone.wav");
    ASSERT_EQ(run.cmdConstructWavFromString_Click("HI 5", wav), RunOutcome::Completed);
    ASSERT_EQ(run.cmdConstructWavFromString_Click("~", idle), RunOutcome::Completed);
    LineCollector report;
    reportDecodedRecordings({wav, idle, missing}, report);
    EXPECT_EQ(report.lines,
              (QStringList{"TTY text decoded from " + wav + ":", "[00:00.2] HI 5", "",
                           "TTY text decoded from " + idle + ":", "No TTY text found in " + idle, "",
                           "TTY text decoded from " + missing + ":",
                           "(error):53 (File not found: " + missing +
                               ": no such file) in procedure mnuDecodeRecording_Click of Form frmMain",
                           ""}));
    EXPECT_TRUE(isRecordingFileName("/x/Message.WAV"));
    EXPECT_FALSE(isRecordingFileName("/x/notes.txt"));
}
