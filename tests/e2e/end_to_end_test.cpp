// Text through the real run, the real wavcat and the generated prompt set, and back through the
// decoder: what a text telephone would print.
#include "conversion/conversion_run.h"
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace quillfen;
using quillfen::testing::LineCollector;
using quillfen::testing::RecordingMessages;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

QString decode(const QString& path)
{
    return QString::fromStdString(tty::decodeFile(QFile::encodeName(path).toStdString()).text);
}

// The run's one report line.
QString errorLine(const QStringList& lines)
{
    const QStringList errors = lines.filter(QRegularExpression("^\\(error\\):"));
    return errors.size() == 1 ? errors.first() : QString();
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
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    // The text, and what a text telephone prints from the WAV.
    const std::pair<QString, QString> cases[] = {
        {"HI 5", "HI 5"},
        {"(555) 123-4567", "(555) 123-4567"},
        {"The quick brown fox jumps over the lazy dog 0123456789 ,?:.'#$-()!\"",
         "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ,?:.'#$-()!\""},
        {"a~b~~5", "AB5"}, // a blank is idle carrier: nothing is printed for it
        {"hi* there @ 5% & more", "HI THERE  5  MORE"},
        {"line one\r\nline two\r\n", "LINE ONE LINE TWO "},
        {QStringLiteral("nul") + QChar(u'\0') + QStringLiteral("\x01\x1b") + emoji + QStringLiteral("ok"),
         "NULOK"},
        {"5", "5"},
        {"   ", "   "},
    };
    for (const auto& [text, printed] : cases) {
        SCOPED_TRACE(text.toStdString());
        const QString path = out.filePath("out.wav");
        ASSERT_EQ(run.cmdConstructWavFromString_Click(text, path), RunOutcome::Completed)
            << diag.lines.join('|').toStdString();
        EXPECT_EQ(decode(path), printed);
        ASSERT_GE(diag.lines.size(), 4);
        QString newText = diag.lines.at(diag.lines.size() - 3);
        ASSERT_TRUE(newText.startsWith("New Text="));
        EXPECT_EQ(newText.mid(9).remove(QLatin1Char('~')), printed);
        EXPECT_EQ(diag.lines.at(diag.lines.size() - 2),
                  QStringLiteral("Converstion from text to TTY WAV file complete"));
    }
}

TEST_F(EndToEnd, failedRunLeavesAnEarlierOutputAsItWas)
{
    const QByteArray earlier("an earlier recording, kept");
    const QString missingDir = out.filePath("no such dir/out.wav");
    EXPECT_EQ(run.cmdConstructWavFromString_Click("HI", missingDir), RunOutcome::Failed);
    EXPECT_TRUE(errorLine(diag.lines).startsWith("(error):75 (wavcat: "));
    EXPECT_TRUE(errorLine(diag.lines).contains("no such dir"));
    EXPECT_FALSE(QFileInfo::exists(out.filePath("no such dir")));

    // A prompt set with a file missing: wavcat names it, and the old output survives.
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV"}, QDir::Files)) {
        if (name != "h.wav") {
            ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name)));
        }
    }
    ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath("wavcat"), programDir.filePath("wavcat")));
    const QString target = out.filePath("kept.wav");
    writeFile(target, earlier);
    ConversionRun partial(diag, programDir.path());
    EXPECT_EQ(partial.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
    EXPECT_TRUE(errorLine(diag.lines).contains("h.wav")) << diag.lines.join('|').toStdString();
    EXPECT_EQ(contents(target), earlier);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.wav"});

    // A read-only earlier file is made writable for wavcat, and read-only again when it failed.
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(partial.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
    const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser; // depend on who runs the test
    EXPECT_EQ(QFile::permissions(target) & ~userBits, QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_EQ(contents(target), earlier);
}

TEST_F(EndToEnd, existingReadOnlyOutputIsReplacedAfterItsBitIsCleared)
{
    const QString target = out.filePath("ro.wav");
    writeFile(target, "old");
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(run.cmdConstructWavFromString_Click("OK", target), RunOutcome::Completed);
    EXPECT_EQ(decode(target), QStringLiteral("OK"));
}

TEST_F(EndToEnd, readOnlyDirectoryIsRefusedEvenForRoot)
{
    ASSERT_TRUE(QDir(out.path()).mkdir("locked"));
    const QString locked = out.filePath("locked");
    writeFile(locked + "/old.wav", "old");
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_EQ(run.cmdConstructWavFromString_Click("HI", locked + "/old.wav"), RunOutcome::Failed);
    EXPECT_EQ(run.cmdConstructWavFromString_Click("HI", locked + "/new.wav"), RunOutcome::Failed);
    EXPECT_TRUE(errorLine(diag.lines).startsWith("(error):75 (wavcat: "))
        << diag.lines.join('|').toStdString();
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{"old.wav"});
    EXPECT_EQ(contents(locked + "/old.wav"), QByteArray("old"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(EndToEnd, clipboardHookGetsTheFinishedFile)
{
    QByteArray seen;
    run.setCompletedHook([&](const QString& path) { seen = contents(path); });
    const QString target = out.filePath("clip.wav");
    ASSERT_EQ(run.cmdConstructWavFromString_Click("GA", target), RunOutcome::Completed);
    EXPECT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen, contents(target));
    EXPECT_TRUE(seen.startsWith("RIFF"));
}

namespace {

struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliResult cli(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(QDir(kProgramDir).filePath("quillfen-cli"), args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(CommandLine, convertsArgumentsAndStandardInputAndDecodesThem)
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

    // From a pipe: lines become spaces, the trailing newline is not part of the text.
    r = cli({"-o", wav}, "call me\nat 5\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(cli({"--decode", wav}).out, QStringLiteral("CALL ME AT 5\n"));

    // A relative output path is taken from where the user is, not from the program directory.
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QDir(kProgramDir).filePath("quillfen-cli"), {"--", "-5", "-o"});
    p.waitForFinished(60000);
    EXPECT_NE(p.exitCode(), 0); // "-o" after -- is text, so no output was named
    p.start(QDir(kProgramDir).filePath("quillfen-cli"), {"-o", "rel.wav", "--", "-5"});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(decode(dir.filePath("rel.wav")), QStringLiteral("-5"));
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
        {{"HI", "-o"}, {}, 2, "-o needs a file name"},
        {{"HI", "-o", ""}, {}, 2, "output file name is empty"},
        {{"--bogus", "-o", kept}, {}, 2, "unknown option --bogus"},
        {{"-o", kept}, {}, 1, "You must first enter some text"},
        {{"HI", "-o", dir.filePath("missing/x.wav")}, {}, 1, "no WAV file written"},
        {{"-o", kept}, QByteArray(40000, 'A'), 1, "40000 characters"},
        {{"--decode", dir.filePath("absent.wav")}, {}, 1, "absent.wav"},
        {{"--decode", kept}, {}, 1, "kept.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = cli(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exit);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("quillfen-cli: "));
    }
    EXPECT_EQ(contents(kept), QByteArray("keep me"));
}

TEST(CommandLine, helpAndVersion)
{
    CliResult r = cli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("--decode"));
    r = cli({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("quillfen-cli 1.0.6\n"));
}
