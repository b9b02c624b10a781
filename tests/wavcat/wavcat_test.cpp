// Runs the real wavcat on WAV files made here with libsndfile.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h> // umask
#include <vector>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

struct Wav
{
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    int rate = 8000;
    int channels = 1;
    std::vector<double> samples; // interleaved, as libsndfile normalises them
};

Wav readWav(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path.toStdString() << ": " << sf_strerror(nullptr);
        return {};
    }
    Wav wav{info.format, info.samplerate, info.channels, std::vector<double>(info.frames * info.channels)};
    EXPECT_EQ(sf_readf_double(file, wav.samples.data(), info.frames), info.frames);
    sf_close(file);
    return wav;
}

std::vector<double> joined(const std::vector<const Wav*>& parts)
{
    std::vector<double> all;
    for (const Wav* part : parts)
        all.insert(all.end(), part->samples.begin(), part->samples.end());
    return all;
}

// Every entry below a directory, hidden ones too, with its bytes and permissions.
using Snapshot = std::map<QString, std::pair<QByteArray, QFile::Permissions>>;

Snapshot snapshot(const QString& root)
{
    Snapshot files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files[file.fileName()] = {file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
                                  file.permissions()};
    }
    return files;
}

class Wavcat : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Content at full resolution, so that a join through too narrow a sample type shows.
    Wav make(const QString& name, const Wav& shape, int frames, double seed)
    {
        SF_INFO info{0, shape.rate, shape.channels, shape.format, 0, 0};
        SNDFILE* file = sf_open(QFile::encodeName(path(name)).constData(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        std::vector<double> samples(static_cast<std::size_t>(frames * shape.channels));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = 0.9 * std::sin(0.377 * static_cast<double>(i) + seed);
        EXPECT_EQ(sf_writef_double(file, samples.data(), frames), frames);
        sf_close(file);
        return readWav(path(name));
    }

    Result run(const QStringList& args, rlim_t maxOpenFiles = RLIM_INFINITY)
    {
        QProcess process;
        process.setProgram(QStringLiteral(WAVCAT_PROGRAM));
        process.setArguments(args);
        process.setWorkingDirectory(m_dir.path());
        process.setChildProcessModifier([maxOpenFiles] {
            if (maxOpenFiles != RLIM_INFINITY) {
                const rlimit limit{maxOpenFiles, maxOpenFiles};
                ::setrlimit(RLIMIT_NOFILE, &limit);
            }
        });
        process.start();
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "wavcat did not finish normally";
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // A refused run: status 1, one line on stderr naming the file, and nothing on disk changed.
    void expectRefused(const QStringList& args, const QString& named)
    {
        const Snapshot before = snapshot(m_dir.path());
        const Result result = run(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains("'" + named + "'")) << result.err.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
        EXPECT_TRUE(snapshot(m_dir.path()) == before) << "files changed after: " << result.err.toStdString();
    }

    QTemporaryDir m_dir;
};

struct FormatCase
{
    const char* name;
    Wav shape;
};

class WavcatFormats : public Wavcat, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P(WavcatFormats, joinsInOrderWithRepeats_exactSamplesInFirstFormat)
{
    const Wav& shape = GetParam().shape;
    const Wav a = make("a.wav", shape, 5, 0.0);
    const Wav b = make("b.wav", shape, 3, 1.0);
    const Wav empty = make("empty.wav", shape, 0, 0.0);
    const Wav c = make("c.wav", shape, 1, 2.0);

    const Result result = run({"a.wav", "b.wav", "a.wav", "empty.wav", "c.wav", "b.wav", "a.wav", "out.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty());

    const Wav out = readWav(path("out.wav"));
    EXPECT_EQ(out.format, SF_FORMAT_WAV | (shape.format & SF_FORMAT_SUBMASK));
    EXPECT_EQ(out.rate, shape.rate);
    EXPECT_EQ(out.channels, shape.channels);
    EXPECT_EQ(out.samples, joined({&a, &b, &a, &empty, &c, &b, &a}));
}

INSTANTIATE_TEST_SUITE_P(
    , WavcatFormats,
    ::testing::Values(FormatCase{"pcm16_mono", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, {}}},
                      FormatCase{"pcm24_stereo", {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2, {}}},
                      FormatCase{"float", {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, {}}},
                      FormatCase{"unsigned8_stereo", {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 2, {}}},
                      FormatCase{"aiff_first_makes_wav", {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, {}}}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST_F(Wavcat, replacedOutputKeepsItsPermissionsAndLinksStayLinks)
{
    const Wav a = make("a.wav", {}, 4, 0.0);
    make("out.wav", {}, 100, 3.0);
    ASSERT_TRUE(QFile::setPermissions(path("out.wav"), QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ReadUser | QFile::WriteUser));
    const mode_t oldMask = ::umask(022);
    Result result = run({"a.wav", "out.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readWav(path("out.wav")).samples, a.samples);
    // A private recording stays private.
    EXPECT_EQ(QFile::permissions(path("out.wav")),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    // A new file is an ordinary one.
    result = run({"a.wav", "new.wav"});
    ::umask(oldMask);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QFile::permissions(path("new.wav")), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                       QFile::WriteUser | QFile::ReadGroup |
                                                       QFile::ReadOther);

    // Writing through a link replaces the file it names and keeps the link.
    ASSERT_TRUE(QFile::link("out.wav", path("link.wav")));
    make("b.wav", {}, 6, 1.0);
    result = run({"b.wav", "link.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(path("link.wav")).isSymLink());
    EXPECT_EQ(readWav(path("out.wav")).samples.size(), 6u);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 5)
        << "temporary left behind";
}

TEST_F(Wavcat, fortyThousandArguments_readEachFileOnceWithFewDescriptors)
{
    constexpr int kDistinct = 100;
    std::vector<Wav> prompts;
    for (int i = 0; i < kDistinct; ++i)
        prompts.push_back(make(QString("p%1.wav").arg(i), {}, 8, i));

    QStringList args;
    std::vector<const Wav*> expected;
    for (int i = 0; i < 40000; ++i) {
        const int pick = (i * 37 + i / 100) % kDistinct;
        args << QString("p%1.wav").arg(pick);
        expected.push_back(&prompts[static_cast<std::size_t>(pick)]);
    }
    args << "out.wav";

    // Far fewer descriptors than distinct inputs: inputs must be closed as soon as they are read.
    const Result result = run(args, 16);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(readWav(path("out.wav")).samples, joined(expected));
}

TEST_F(Wavcat, mismatchedFormat_failsNamingTheFileAndWhatDiffers)
{
    make("a.wav", {}, 4, 0.0);
    make("rate.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, {}}, 4, 0.0);
    make("stereo.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, {}}, 4, 0.0);
    make("wide.wav", {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 8000, 1, {}}, 4, 0.0);
    for (const auto& [file, what] : {std::pair{"rate.wav", "sample rate"}, std::pair{"stereo.wav", "channel"},
                                     std::pair{"wide.wav", "sample format"}}) {
        SCOPED_TRACE(file);
        expectRefused({"a.wav", "a.wav", file, "a.wav", "out.wav"}, file);
        EXPECT_TRUE(run({"a.wav", file, "out.wav"}).err.contains(what));
    }
}

TEST_F(Wavcat, unreadableInput_failsNamingItAndLeavesOutputAlone)
{
    make("a.wav", {}, 4, 0.0);
    make("out.wav", {}, 9, 5.0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.wav"));

    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise += static_cast<char>((i * 7919 + 13) % 251);
    QFile whole(path("a.wav"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    for (const auto& [name, bytes] :
         {std::pair{"noise.wav", noise}, std::pair{"truncated.wav", whole.read(30)},
          std::pair{"empty.wav", QByteArray()}}) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    for (const char* bad : {"missing.wav", "noise.wav", "truncated.wav", "empty.wav", "folder.wav"}) {
        SCOPED_TRACE(bad);
        expectRefused({"a.wav", bad, "a.wav", "out.wav"}, bad);
        expectRefused({bad, "a.wav", "new.wav"}, bad);
    }
}

TEST_F(Wavcat, unwritableOutput_failsNamingItAndLeavesExistingFileAlone)
{
    make("a.wav", {}, 4, 0.0);
    QDir dir(m_dir.path());

    expectRefused({"a.wav", "nodir/out.wav"}, "nodir/out.wav");
    expectRefused({"a.wav", ""}, "");
    expectRefused({"a.wav", "a.wav", "."}, ".");

    make("readonly.wav", {}, 9, 5.0);
    ASSERT_TRUE(QFile::setPermissions(path("readonly.wav"), QFile::ReadOwner | QFile::ReadGroup));
    expectRefused({"a.wav", "readonly.wav"}, "readonly.wav");

    ASSERT_TRUE(dir.mkdir("locked"));
    make("locked/out.wav", {}, 9, 5.0);
    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(path("locked"), readable));
    expectRefused({"a.wav", "locked/out.wav"}, "locked/out.wav");
    QFile::setPermissions(path("locked"), readable | QFile::WriteOwner);
}

TEST_F(Wavcat, oddFileNames_areFilesNotOptions)
{
    const Wav dash = make("-x.wav", {}, 3, 0.0);
    const Wav help = make("--help", {}, 2, 1.0);
    const Wav quoted = make("it's a \"wav\" file.wav", {}, 4, 2.0);

    const Result result = run({"-x.wav", "--help", "it's a \"wav\" file.wav", "-out.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(readWav(path("-out.wav")).samples, joined({&dash, &help, &quoted}));

    ASSERT_EQ(run({"--help", "--version"}).exitCode, 0);
    EXPECT_EQ(readWav(path("--version")).samples, help.samples);
}

TEST_F(Wavcat, onlyALoneArgumentIsAnOption_tooFewIsUsageError)
{
    make("a.wav", {}, 4, 0.0);
    const Snapshot before = snapshot(m_dir.path());

    Result result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.contains("usage: wavcat INPUT... OUTPUT") && result.err.isEmpty());
    result = run({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "wavcat " QUILLFEN_VERSION "\n");

    for (const QStringList& args : {QStringList{}, QStringList{"a.wav"}, QStringList{"--bogus"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        result = run(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains("usage: wavcat") && result.out.isEmpty()) << result.err.toStdString();
    }
    EXPECT_TRUE(snapshot(m_dir.path()) == before);
}

} // namespace
