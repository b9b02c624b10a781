// Runs the real wavcat on WAV files made here with libsndfile.
#include "support/wav_files.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Result = quillfen::testing::Ran;
using Wav = quillfen::test::Sound; // samples as libsndfile normalises them

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

Wav readWav(const QString& path)
{
    const auto wav = quillfen::test::readSound(native(path));
    EXPECT_TRUE(wav) << path.toStdString() << ": " << sf_strerror(nullptr);
    return wav.value_or(Wav{});
}

class Wavcat : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Content at full resolution, so that a join through too narrow a sample type shows.
    Wav make(const QString& name, const Wav& shape, int frames, double seed)
    {
        Wav wav = shape;
        wav.samples.resize(static_cast<std::size_t>(frames * shape.channels));
        for (std::size_t i = 0; i < wav.samples.size(); ++i)
            wav.samples[i] = 0.9 * std::sin(0.377 * static_cast<double>(i) + seed);
        EXPECT_TRUE(quillfen::test::writeSound(native(path(name)), wav)) << sf_strerror(nullptr);
        return readWav(path(name));
    }

    // `inChild` runs in wavcat's process before it starts: limits and signal dispositions.
    Result run(const QStringList& args, const std::function<void()>& inChild = {},
               const QString& program = QStringLiteral(WAVCAT_PROGRAM))
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        if (inChild)
            process.setChildProcessModifier(inChild);
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    std::map<QString, QByteArray> files() const { return quillfen::testing::folderSnapshot(m_dir.path()); }

    // A refused run: status 1, one line on stderr naming the file and saying why, and nothing on
    // disk changed.
    void expectRefused(const QStringList& args, const QString& named, const char* says = "")
    {
        const auto before = files();
        const Result result = run(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains("'" + named + "'") && result.err.contains(says) &&
                    result.err.count('\n') == 1)
            << args.join(' ').toStdString() << ": " << result.err.toStdString();
        EXPECT_TRUE(files() == before) << "files changed after: " << result.err.toStdString();
    }

    QTemporaryDir m_dir;
};

// Names that look like options are files when there are two arguments or more.
TEST_F(Wavcat, joinsInOrderWithRepeats_exactSamplesInFirstFormat)
{
    const Wav shapes[] = {{SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2, {}},
                          {SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 22050, 1, {}}};
    for (const Wav& shape : shapes) {
        SCOPED_TRACE(shape.format);
        const Wav a = make("-x.wav", shape, 5, 0.0);
        const Wav b = make("--help", shape, 3, 1.0);
        const Wav empty = make("empty.wav", shape, 0, 0.0);
        const Result result = run({"-x.wav", "--help", "-x.wav", "empty.wav", "--help", "-out.wav"});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        const Wav out = readWav(path("-out.wav"));
        EXPECT_EQ(std::tuple(out.format, out.rate, out.channels),
                  std::tuple(SF_FORMAT_WAV | (shape.format & SF_FORMAT_SUBMASK), shape.rate, shape.channels));
        std::vector<double> expected;
        for (const Wav* part : {&a, &b, &a, &empty, &b})
            expected.insert(expected.end(), part->samples.begin(), part->samples.end());
        EXPECT_EQ(out.samples, expected);
    }
    ASSERT_EQ(run({"--help", "--version"}).exitCode, 0);
    EXPECT_EQ(readWav(path("--version")).samples.size(), 3u);
}

// The audio data as stored, without decoding: what a lossless join must carry over.
QByteArray storedBytes(const QString& path)
{
    const std::string bytes = quillfen::test::storedBytes(native(path));
    EXPECT_FALSE(bytes.empty()) << path.toStdString();
    return QByteArray::fromStdString(bytes);
}

TEST_F(Wavcat, companding_lawsAreCopiedByteForByte_headerlessOutputsFollowTheExtension)
{
    // Every byte value: both of µ-law's zeros (0x7F, 0xFF) included, which decoding would merge.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    for (const auto& [name, format, bytes] : {std::tuple{"u1.wav", SF_FORMAT_ULAW, all},
                                              {"u2.wav", SF_FORMAT_ULAW, QByteArray("\x7f\xff\x00", 3)},
                                              {"a1.wav", SF_FORMAT_ALAW, all},
                                              {"a2.wav", SF_FORMAT_ALAW, QByteArray("\xd5\x55\x2a")}}) {
        ASSERT_TRUE(quillfen::test::writeStoredBytes(native(path(name)), {.format = SF_FORMAT_WAV | format},
                                                     bytes.toStdString()));
    }
    make("p8.wav", {}, 50, 0.0);
    make("p8b.wav", {}, 7, 1.0);
    make("p16.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, {}}, 30, 2.0);
    make("p48.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, {}}, 30, 3.0);
    const QByteArray u =
        storedBytes(path("u1.wav")) + storedBytes(path("u2.wav")) + storedBytes(path("u1.wav"));
    const QByteArray a =
        storedBytes(path("a1.wav")) + storedBytes(path("a2.wav")) + storedBytes(path("a1.wav"));
    ASSERT_EQ(u.size(), 256 + 3 + 256);

    const struct
    {
        QStringList inputs;
        const char* output;
        int wavFormat; // 0: headerless, the file is the audio bytes alone
        QByteArray audio;
    } cases[] = {
        {{"u1.wav", "u2.wav", "u1.wav"}, "out.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, u},
        {{"a1.wav", "a2.wav", "a1.wav"}, "out.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, a},
        {{"u1.wav", "u2.wav", "u1.wav"}, "out.ulaw", 0, u},
        {{"u1.wav", "u2.wav", "u1.wav"}, "OUT.Ul", 0, u},
        {{"a1.wav", "a2.wav", "a1.wav"}, "out.al", 0, a},
        {{"p8.wav", "p8b.wav"}, "out.sln", 0, storedBytes(path("p8.wav")) + storedBytes(path("p8b.wav"))},
        {{"p16.wav", "p16.wav"}, "out.sln16", 0, storedBytes(path("p16.wav")).repeated(2)},
        {{"p48.wav"}, "out.SLN48", 0, storedBytes(path("p48.wav"))},
        // Only ASCII letters fold: with a long s this is no .sln name, so a WAV file, as the program
        // decides too.
        {{"p8.wav", "p8b.wav"},
         "out.\u017fln",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16,
         storedBytes(path("p8.wav")) + storedBytes(path("p8b.wav"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const Result result = run(QStringList(c.inputs) << c.output);
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(c.wavFormat ? readWav(path(c.output)).format : 0, c.wavFormat);
        QFile out(path(c.output));
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        EXPECT_EQ(c.wavFormat ? storedBytes(path(c.output)) : out.readAll(), c.audio);
        out.remove();
    }

    // A headerless file cannot say what it holds, so its inputs must be just that already.
    make("stereo.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, {}}, 4, 0.0);
    make("out.ulaw", {}, 9, 5.0); // an earlier output, kept on refusal
    for (const auto& [input, output, what] :
         {std::tuple{"p8.wav", "out.ulaw", "not 'U-Law'"}, std::tuple{"u1.wav", "out.alaw", "not 'A-Law'"},
          std::tuple{"a1.wav", "new.sln", "not 'Signed 16 bit PCM'"},
          std::tuple{"p8.wav", "new.sln16", "16000 Hz"}, std::tuple{"p16.wav", "new.sln", "8000 Hz"},
          std::tuple{"stereo.wav", "new.sln", "2 channels"}}) {
        expectRefused({input, output}, input, what);
    }
    expectRefused({"u1.wav", "missing.wav", "out.ulaw"}, "missing.wav");
}

TEST_F(Wavcat, replacedOutputKeepsItsPermissionsAndLinksStayLinks)
{
    const auto privateFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    const Wav a = make("a.wav", {}, 4, 0.0);
    make("out.wav", {}, 100, 3.0);
    ASSERT_TRUE(QFile::setPermissions(path("out.wav"), privateFile));
    Result result = run({"a.wav", "out.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readWav(path("out.wav")).samples, a.samples);
    EXPECT_EQ(QFile::permissions(path("out.wav")), privateFile);
    // Writing through a link replaces the file it names and keeps the link.
    ASSERT_TRUE(QFile::link("out.wav", path("link.wav")));
    make("b.wav", {}, 6, 1.0);
    result = run({"b.wav", "link.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(path("link.wav")).isSymLink());
    EXPECT_EQ(readWav(path("out.wav")).samples.size(), 6u);
    EXPECT_EQ(files().size(), 4u) << "temporary left behind";
}

TEST_F(Wavcat, fortyThousandArguments_readEachFileOnceWithFewDescriptors)
{
    std::vector<Wav> prompts;
    for (int i = 0; i < 100; ++i)
        prompts.push_back(make(QString("p%1.wav").arg(i), {}, 8, i));
    QStringList args;
    std::vector<double> expected;
    for (int i = 0; i < 40000; ++i) {
        const int pick = (i * 37 + i / 100) % 100;
        args << QString("p%1.wav").arg(pick);
        const std::vector<double>& part = prompts[static_cast<std::size_t>(pick)].samples;
        expected.insert(expected.end(), part.begin(), part.end());
    }
    // Far fewer descriptors than distinct inputs: inputs must be closed as soon as they are read.
    const Result result = run(args << "out.wav", [] {
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readWav(path("out.wav")).samples, expected);
}

// The write fails half way: ended by SIGXFSZ, which nothing can catch, as by kill -9, or with EFBIG
// when that signal is ignored.
TEST_F(Wavcat, aWriteEndedHalfWay_leavesTheEarlierOutputAndNoTemporary)
{
    make("long.wav", {}, 100000, 1.0);
    make("out.wav", {}, 9, 5.0);
    const auto before = files();
    for (const bool killed : {true, false}) {
        const Result result = run({"long.wav", "out.wav"}, [killed] {
            const rlimit small{64 * 1024, 64 * 1024}, none{0, 0};
            ::setrlimit(RLIMIT_FSIZE, &small);
            ::setrlimit(RLIMIT_CORE, &none);
            ::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
        });
        EXPECT_EQ(result.exitCode, killed ? -1 : 1) << result.err.toStdString();
        EXPECT_TRUE(files() == before) << (killed ? "killed" : "failed");
    }
}

TEST_F(Wavcat, badInputsAndOutputs_failNamingTheFileAndChangeNothing)
{
    make("a.wav", {}, 4, 0.0);
    make("out.wav", {}, 9, 5.0);
    make("rate.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, {}}, 4, 0.0);
    make("wide.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 8000, 1, {}}, 4, 0.0);
    make("stereo.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, {}}, 2, 0.0);
    for (const auto& [file, what] :
         {std::pair{"rate.wav", "sample rate"}, std::pair{"wide.wav", "sample format"},
          std::pair{"stereo.wav", "2 channels, not 1 channel"}})
        expectRefused({"a.wav", "a.wav", file, "a.wav", "out.wav"}, file, what);

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.wav")).constData(), 0644), 0); // nobody writes to it
    for (const auto& [name, size] : {std::pair{"truncated.wav", 30}, std::pair{"empty.wav", 0}})
        ASSERT_TRUE(QFile::copy(path("a.wav"), path(name)) && QFile::resize(path(name), size));
    // Cut inside the audio data, which libsndfile alone reads as a shorter file; an RF64 file's
    // length is in its ds64 chunk.
    make("long.wav", {}, 100, 2.0);
    make("long.aiff", {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, {}}, 100, 2.0);
    make("long.rf64", {SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 8000, 1, {}}, 100, 2.0);
    for (const auto& [name, by] :
         {std::pair{"long.wav", 7}, std::pair{"long.aiff", 7}, std::pair{"long.rf64", 7},
          std::pair{"long.wav", 2}, std::pair{"long.wav", 1}}) {
        const QString cut = QString("cut%1-").arg(by) + name;
        ASSERT_TRUE(QFile::copy(path(name), path(cut)) &&
                    QFile::resize(path(cut), QFileInfo(path(name)).size() - by));
    }
    for (const char* bad :
         {"missing.wav", "truncated.wav", "empty.wav", "folder.wav", "fifo.wav", "cut7-long.wav",
          "cut7-long.aiff", "cut7-long.rf64", "cut2-long.wav", "cut1-long.wav"}) {
        SCOPED_TRACE(bad);
        expectRefused({"a.wav", bad, "a.wav", "out.wav"}, bad);
        expectRefused({bad, "a.wav", "new.wav"}, bad);
    }

    expectRefused({"a.wav", "nodir/out.wav"}, "nodir/out.wav");
    // Read-only means without the owner's write permission, for root too.
    make("readonly.wav", {}, 9, 5.0);
    ASSERT_TRUE(QFile::setPermissions(path("readonly.wav"), QFile::ReadOwner | QFile::ReadGroup));
    expectRefused({"a.wav", "readonly.wav"}, "readonly.wav");

    // The output may not be an input under any name: it would replace what the join reads.
    make("b.wav", {}, 4, 1.0);
    ASSERT_EQ(
        ::link(QFile::encodeName(path("a.wav")).constData(), QFile::encodeName(path("hard.wav")).constData()),
        0);
    ASSERT_TRUE(QFile::link("a.wav", path("soft.wav")));
    for (const char* output : {"a.wav", "./a.wav", "hard.wav", "soft.wav"})
        for (const QStringList& inputs : {QStringList{"a.wav"}, QStringList{"b.wav", "a.wav"}})
            expectRefused(inputs + QStringList{output}, output, "the same file as the input 'a.wav'");
    // A FIFO stays one (as root, /dev/null would have become a regular file).
    expectRefused({"a.wav", "fifo.wav"}, "fifo.wav", "not a regular file");
    EXPECT_TRUE(QFileInfo(path("fifo.wav")).isFile() == false && QFileInfo::exists(path("fifo.wav")));

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("locked"));
    make("locked/out.wav", {}, 9, 5.0);
    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(path("locked"), readable));
    expectRefused({"a.wav", "locked/out.wav"}, "locked/out.wav");
    QFile::setPermissions(path("locked"), readable | QFile::WriteOwner);
}

// A WAV header claiming 1024 channels and `dataLength` bytes of audio, followed by 4 KiB of it.
QByteArray claimingHeader(quint32 dataLength)
{
    QByteArray bytes;
    const auto le = [&](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            bytes.append(char(v >> (8 * i)));
    };
    bytes += "RIFF";
    le(0xFFFFFFF0, 4);
    bytes += "WAVEfmt ";
    for (const auto& [v, n] :
         {std::pair{16u, 4}, {1u, 2}, {1024u, 2}, {8000u, 4}, {8000u * 2048, 4}, {2048u, 2}, {16u, 2}})
        le(v, n);
    bytes += "data";
    le(dataLength, 4);
    return bytes + QByteArray(4096, '\x11');
}

// A pipe is read to its end; what it may hold in memory is bounded however long it runs, a claim in
// its header reserves nothing, and a stream that is not audio is refused before it is read on.
TEST_F(Wavcat, aPipeCannotClaimMemory_aLongOneIsBounded_andOneThatIsNotAudioIsRefusedAtOnce)
{
    for (const quint32 claimed : {0xFFFFF000u, 0xFFFFFFFFu /* length unknown, as when streamed */})
        ASSERT_TRUE(
            quillfen::testing::writeFile(path(QString::number(claimed) + ".head"), claimingHeader(claimed)));
    const struct
    {
        const char* what;
        QString generator; // its output goes to wavcat's standard input
        int status;
        const char* says;
        std::size_t samples;
    } cases[] = {
        {"a claim of 4 GiB cut short", "cat 4294963200.head", 1, "'/dev/stdin': cut short", 0},
        {"an unknown length: the frames that are there", "cat 4294967295.head", 0, "", 2u * 1024u},
        {"160 MiB more of an unknown length", "cat 4294967295.head; head -c 167772160 /dev/zero", 0, "",
         2u * 1024u + 160u * 512u * 1024u},
        {"zeros without end", "exec cat /dev/zero", 1, "'/dev/stdin': Format not recognised", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path("out.wav"));
        const Result result =
            run({"-c", "{ " + c.generator + "; } | " WAVCAT_PROGRAM " /dev/stdin out.wav"}, {}, "/bin/bash");
        EXPECT_EQ(result.exitCode, c.status) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.says)) << result.err.toStdString();
        if (c.status == 0) {
            EXPECT_EQ(QFileInfo(path("out.wav")).size(), 44 + 2 * qint64(c.samples));
        }
    }
    // The largest of the children so far; an allocation for the claim alone would be 2 GiB and more,
    // and the long stream held whole, 320 MiB.
    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "KiB";
}

// In a mount namespace of its own, where a read-only tmpfs can be had without privileges; skipped
// where the system allows no such namespace.
TEST_F(Wavcat, aReadOnlyFileSystemIsCalledSo)
{
    make("a.wav", {}, 4, 0.0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("ro"));
    const QString script = "unshare -r -m true 2>/dev/null || exit 77\n"
                           "exec unshare -r -m sh -c 'mount -t tmpfs -o ro none ro || exit 77; "
                           "exec \"$0\" a.wav ro/out.wav' \"$0\"";
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start("sh", {"-c", script, QStringLiteral(WAVCAT_PROGRAM)});
    ASSERT_TRUE(process.waitForFinished(60000));
    if (process.exitCode() == 77)
        GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(process.readAllStandardError().toStdString(),
              "wavcat: cannot write 'ro/out.wav': Read-only file system\n");
}

TEST_F(Wavcat, onlyALoneArgumentIsAnOption_tooFewIsUsageError)
{
    make("a.wav", {}, 4, 0.0);
    const auto before = files();
    // Arguments, exit status, what stdout (0) or stderr (2) holds.
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--help"}, 0, "usage: wavcat INPUT... OUTPUT"},
        {{"--version"}, 0, "wavcat " QUILLFEN_VERSION "\n"},
        {{}, 2, "usage: wavcat"},
        {{"a.wav"}, 2, "usage: wavcat"},
        {{"--bogus"}, 2, "usage: wavcat"}};
    for (const auto& [args, status, text] : cases) {
        const Result result = run(args);
        EXPECT_EQ(result.exitCode, status) << args.join(' ').toStdString();
        EXPECT_TRUE((status ? result.err : result.out).contains(text) &&
                    (status ? result.out : result.err).isEmpty())
            << args.join(' ').toStdString();
    }
    EXPECT_TRUE(files() == before);
}

} // namespace
