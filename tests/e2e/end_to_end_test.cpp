// Text through the real run, the real wavcat and the generated prompt sets, in every output format,
// and back through the decoder: what a text telephone would print. The command line as a user runs
// it, and the standard output against what it has always been.
#include "conversion/prompt_sets.h"
#include "program_runs.h"
#include "support/wav_files.h"

#include <QCryptographicHash>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <sndfile.h>
#include <sys/stat.h>
#include <vector>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

// Everything below `dir`, hidden entries too, relative to it.
QStringList entriesBelow(const QString& dir)
{
    QStringList all;
    for (const auto& entry : folderSnapshot(dir))
        all << entry.first;
    return all;
}

// A WAV as its header says; a headerless file as its name says, told to libsndfile.
test::Sound readAudio(const QString& path, int rawFormat = 0, int rawRate = 0)
{
    const auto sound = test::readSound(QFile::encodeName(path).toStdString(), rawFormat, rawRate);
    EXPECT_TRUE(sound) << path.toStdString() << ": " << sf_strerror(nullptr);
    return sound.value_or(test::Sound{});
}

class EndToEnd : public ProgramRun
{
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

    // From a pipe: lines become spaces, the trailing newline is not part of the text.
    EXPECT_EQ(cli({"-o", wav}, "call me\nat 5\n").exitCode, 0);
    EXPECT_EQ(decode(wav), QStringLiteral("CALL ME AT 5"));

    // A relative output path is taken from where the user is; after -- all is text.
    r = cli({"-o", "rel.wav", "--", "-5"}, {}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(decode(dir.filePath("rel.wav")), QStringLiteral("-5"));

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

    // File names too, where the decoder prints them.
    const QString quiet = dir.filePath("quiet\x1b]0;TITLE\x07.wav");
    ASSERT_TRUE(QFile::copy(kProgramDir + "/smallsilence.wav", quiet));
    const Ran decoded = cli({"--decode", quiet, dir.filePath("x.wav")});
    EXPECT_TRUE(decoded.out.contains("quiet\\x1b]0;TITLE\\x07.wav:\n")) << decoded.out.toStdString();
    EXPECT_TRUE(decoded.err.contains("no TTY text found in " + dir.path() + "/quiet\\x1b]0;TITLE\\x07.wav"))
        << decoded.err.toStdString();
    for (const QString& printed : {decoded.out, decoded.err})
        EXPECT_FALSE(printed.contains(QChar('\x1b')) || printed.contains(QChar('\x07')));
}

// What a refused set leaves alone is message_set_run_test's; here the program's answer.
TEST(CommandLine, aMessageSetIsWrittenAndListed_orRefusedWithStatusTwo)
{
    QTemporaryDir dir, cache;
    ASSERT_TRUE(writeFile(dir.filePath("set.csv"), "name,text\ngreeting,Hello GA\nclosed,Closed\n"));
    ASSERT_TRUE(writeFile(dir.filePath("bad.csv"), "name,text\ngreeting,Hello\ngreeting,Again\n"));
    const Ran made =
        cli({"--batch", "set.csv", "--system", "3cx", "-o", "out"}, {}, dir.path(), cache.path());
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(made.out, "greeting.wav: HELLO GA\nclosed.wav: CLOSED\n"
                        "2 messages, 2 files written and checked in out; see manifest.csv\n");
    EXPECT_EQ(entriesBelow(dir.filePath("out")), (QStringList{"closed.wav", "greeting.wav", "manifest.csv"}));
    const Ran refused =
        cli({"--batch", "bad.csv", "--system", "3cx", "-o", "out"}, {}, dir.path(), cache.path());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err,
              "quillfen-cli: " + dir.filePath("bad.csv") + " line 3: the name \"greeting\" is used twice\n");
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
        // The parser's refusals are tested in-process; this shows that the program stops at one.
        {{"--level", "3", "-o", fresh + ".wav", "HI"}, 2, "from -30 to 0"},
        {{"-o", kept}, 1, "You must first enter some text"},
        {{"HI", "-o", dir.filePath("missing/x.wav")}, 1, "no WAV file written"},
        {{"-o", kept}, 1, "40000 characters", QByteArray(40000, 'A')},
        {{"-o", kept, "日本語", "\u00e9"}, 1, "nothing in the text can be sent"},
        {{"--decode", kept}, 2, "kept.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Ran r = cli(c.args, c.input, {}, cache.path());
        EXPECT_EQ(r.exitCode, c.exit);
        EXPECT_TRUE(r.err.startsWith("quillfen-cli: ") && r.err.contains(QString::fromUtf8(c.says)) &&
                    r.err.count('\n') == 1)
            << r.err.toStdString();
    }
    // The prompt generator alike: an option whose value is missing is an error, never a crash.
    for (const char* option : {"--encoding", "--rate", "--level"}) {
        const Ran r = runProgram(QDir(kProgramDir).filePath("ttyprompts"), {fresh, option});
        EXPECT_EQ(r.exitCode, 2) << option;
        EXPECT_TRUE(r.err.startsWith(QString("ttyprompts: ") + option + " needs a value"))
            << r.err.toStdString();
    }
    EXPECT_EQ(fileBytes(kept), QByteArray("keep me"));
    EXPECT_EQ(entriesBelow(dir.path()), QStringList{"kept.wav"});
    EXPECT_EQ(entriesBelow(cache.path()), QStringList{});
}

TEST_F(EndToEnd, everyFormatHasItsHeaderAndRateAndLevelAndDecodesToTheText)
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
        {{Encoding::Pcm16, 16000, 0}, "p16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000},
        {{Encoding::Pcm16, 22050, -300}, "p22.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050},
        {{Encoding::Ulaw, 48000, -61}, "u48", SF_FORMAT_WAV | SF_FORMAT_ULAW, 48000},
        {{Encoding::Alaw, 22050, -150}, "g.UL", ulaw, 8000},
        {{Encoding::Pcm16, 8000, -30}, "g.al", alaw, 8000},
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
        const test::Sound audio = readAudio(path, headerless ? c.format : 0, c.rate);
        EXPECT_EQ(std::tuple(audio.format, audio.rate, audio.channels), std::tuple(c.format, c.rate, 1));
        const std::vector<float> samples(audio.samples.begin(), audio.samples.end());
        EXPECT_EQ(quillfen::tty::decodeSamples(samples, audio.rate).text, "HI 5");
        // The decoder reads every file as the writer made it, headerless ones by their name.
        EXPECT_EQ(decode(path), "HI 5");
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
              (QStringList{"alaw_8000Hz_-20.0dBFS", "alaw_8000Hz_-3.0dBFS", "pcm16_16000Hz_-6.0dBFS",
                           "pcm16_16000Hz_0.0dBFS", "pcm16_22050Hz_-30.0dBFS", "pcm16_48000Hz_-10.0dBFS",
                           "ulaw_48000Hz_-6.1dBFS", "ulaw_8000Hz_-10.0dBFS", "ulaw_8000Hz_-15.0dBFS"}));
    // The prompts and their manifest.
    for (const QString& set : sets)
        EXPECT_EQ(QDir(root + "/" + set).entryList(QDir::Files | QDir::Hidden).size(), 58)
            << set.toStdString();
}

TEST_F(EndToEnd, theStandardOutputIsByteForByteWhatItWas_andSlnIsItsAudioAlone)
{
    const QString text = "Hi, call (555) 123-4567 ~ GA!";
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, out.filePath("std.wav")), RunOutcome::Completed);
    const QByteArray wav = fileBytes(out.filePath("std.wav"));
    EXPECT_EQ(QCryptographicHash::hash(wav, QCryptographicHash::Sha256).toHex(),
              "ce778f4c64d6d37fe496e772937a1e826ccf7e2aec93dc6f621d1dfa123db29a");
    ASSERT_EQ(run.cmdConstructWavFromString_Click(text, out.filePath("std.sln")), RunOutcome::Completed);
    EXPECT_EQ(fileBytes(out.filePath("std.sln")), wav.mid(44));
    // The standard set needs no cache.
    EXPECT_EQ(entriesBelow(cache.path()), QStringList{});
}

TEST_F(EndToEnd, aSetIsMadeOnce_andOneThatCannotBeMadeLeavesNothing)
{
    // The real generator, behind one that counts its runs.
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV", "wavcat"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name)));
    const QString generator = programDir.filePath("ttyprompts");
    ASSERT_TRUE(writeFile(generator, "#!/bin/sh\necho >> \"$0.runs\"\nexec '" +
                                         QFile::encodeName(QDir(kProgramDir).filePath("ttyprompts")) +
                                         "' \"$@\"\n"));
    QFile::setPermissions(generator, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ConversionRun counted(diag, programDir.path());
    counted.setOutputFormat({Encoding::Ulaw, 8000, -100});
    for (const char* output : {"1.wav", "2.wav"})
        ASSERT_EQ(counted.cmdConstructWavFromString_Click("A", out.filePath(output)), RunOutcome::Completed);
    EXPECT_EQ(fileBytes(generator + ".runs"), QByteArray("\n")) << "the set was made again";

    // A generator that writes part of a set and fails: the run says why, and neither a set nor
    // its parts are left, nor is an earlier output touched.
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
    EXPECT_EQ(counted.cmdConstructWavFromString_Click("A", out.filePath("1.wav")), RunOutcome::Failed);
    EXPECT_TRUE(diag.lines.at(1).startsWith("(error):75 (") && diag.lines.at(1).contains("blocked/quillfen"))
        << diag.lines.join('\n').toStdString();
    EXPECT_EQ(fileBytes(out.filePath("1.wav")), earlier);
}

// A set in the cache is joined only while it is what was made: any damage, or a set that is not the
// user's own, is moved aside and made again, and the output is what an untouched set gives.
TEST_F(EndToEnd, aDamagedOrForeignPromptSetIsMadeAgainAndTheOutputIsRight)
{
    run.setOutputFormat({Encoding::Ulaw, 8000, -100});
    ASSERT_EQ(run.cmdConstructWavFromString_Click("HI", out.filePath("good.wav")), RunOutcome::Completed);
    const QByteArray good = fileBytes(out.filePath("good.wav"));
    const QString root = defaultPromptCache(), set = root + "/ulaw_8000Hz_-10.0dBFS";
    const auto in = [&](const char* name) { return QDir(set).filePath(name); };
    const struct
    {
        const char* what;
        std::function<bool()> damage;
        bool asRootOnly = false;
    } cases[] = {
        {"a prompt missing", [&] { return QFile::remove(in("h.wav")); }},
        {"two prompts swapped",
         [&] {
             return QFile::rename(in("h.wav"), in("x")) && QFile::rename(in("i.wav"), in("h.wav")) &&
                    QFile::rename(in("x"), in("i.wav"));
         }},
        {"a prompt of another format",
         [&] { return QFile::remove(in("h.wav")) && QFile::copy(kProgramDir + "/h.wav", in("h.wav")); }},
        {"the manifest missing", [&] { return QFile::remove(in("set.manifest")); }},
        {"a prompt rewritten after a run found the set sound, its size and time kept",
         [&] {
             QFile prompt(in("h.wav"));
             const QDateTime modified = QFileInfo(prompt).lastModified();
             QByteArray bytes = fileBytes(prompt.fileName());
             bytes.back() = char(bytes.back() ^ 0x55);
             return run.cmdConstructWavFromString_Click("HI", out.filePath("out.wav")) ==
                        RunOutcome::Completed &&
                    prompt.open(QIODevice::ReadWrite) && prompt.write(bytes) == bytes.size() &&
                    prompt.flush() && prompt.setFileTime(modified, QFileDevice::FileModificationTime);
         }},
        {"a prompt others may write",
         [&] { return ::chmod(QFile::encodeName(in("h.wav")).constData(), 0666) == 0; }},
        {"a link to a copy in place of the set",
         [&] { return QDir(set).rename(set, root + "/copy") && QFile::link(root + "/copy", set); }},
        {"another user's set", [&] { return ::chown(QFile::encodeName(set).constData(), 65534, 65534) == 0; },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asRootOnly && ::geteuid() != 0)
            continue;
        ASSERT_TRUE(c.damage());
        ASSERT_EQ(run.cmdConstructWavFromString_Click("HI", out.filePath("out.wav")), RunOutcome::Completed)
            << diag.lines.join('\n').toStdString();
        EXPECT_EQ(fileBytes(out.filePath("out.wav")), good);
        EXPECT_TRUE(QFileInfo(set).isDir() && !QFileInfo(set).isSymLink());
        QFile::remove(root + "/copy");
        QDir(root + "/copy").removeRecursively();
        EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"ulaw_8000Hz_-10.0dBFS"});
    }
}

// However a run is ended, nothing it made stays behind once the next run has ended: neither a half
// made prompt set nor a log of its children.
TEST_F(EndToEnd, killedRunsLeaveNothingBehindOnceTheNextRunHasEnded)
{
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CACHE_HOME", cache.path());
    env.insert("TMPDIR", tmp.path());
    const QStringList args{"--rate", "16000", "-o", out.filePath("k.wav"), QString(2000, QLatin1Char('E'))};
    for (int delayMs = 0; delayMs < 60; delayMs += 3) {
        QDir(defaultPromptCache() + "/pcm16_16000Hz_-10.0dBFS").removeRecursively();
        QProcess p;
        p.setProcessEnvironment(env);
        // A group of its own, so that the kill takes the children it started with it.
        p.setChildProcessModifier([] { ::setpgid(0, 0); });
        p.start(QDir(kProgramDir).filePath("quillfen-cli"), args);
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(delayMs));
        ::kill(-static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished();
    }
    EXPECT_EQ(cli(args, {}, {}, cache.path()).exitCode, 0);
    EXPECT_EQ(QDir(defaultPromptCache()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"pcm16_16000Hz_-10.0dBFS"});
    EXPECT_EQ(entriesBelow(tmp.path()), QStringList{});
}

TEST_F(EndToEnd, twoRunsAtOnceShareOneWholeSet)
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
