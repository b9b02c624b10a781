// quillfen-cli --decode - through a pipe, fed as a recorder or a phone system feeds it: a WAV stream
// that cannot know its size, or bare samples. For latency the writer sends a burst and the half second
// of silence the program may take, then holds the pipe open and waits: a character the program keeps
// back for more audio never comes. Nothing here measures the wall clock.
#include "support/tty_signal.h"
#include "support/wav_files.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace quillfen::test;

namespace {

const std::string kText = "HELLO 73 GA";
// How much audio after a burst may pass before its last character is printed.
constexpr double kLatencySeconds = 0.5;
// Enough for a loaded machine under the sanitizers; only a failing run waits this long.
constexpr int kPatienceMs = 60000;

// 150 ms of mark, then the text; the burst ends with the last sample.
std::vector<float> burst(const std::string& text, double rate)
{
    Line line(rate);
    line.tone(1400, 0.15, 0.3);
    Sender sender;
    sender.rate = rate;
    line.frames(encode(text), sender);
    return line.samples;
}

void appendSilence(std::vector<float>& samples, double seconds, double rate)
{
    samples.insert(samples.end(), static_cast<std::size_t>(std::lround(seconds * rate)), 0.0F);
}

// The samples as libsndfile stores them in `format`: a WAV file, or bare samples.
QByteArray stored(const std::vector<float>& samples, int format, int rate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sound"));
    EXPECT_TRUE(writeSound(path.toStdString(),
                           Sound{format, rate, 1, std::vector<double>(samples.begin(), samples.end())}));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

quint32 le32(const QByteArray& bytes, qsizetype at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8U) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

void putLe(QByteArray& bytes, qsizetype at, quint32 value, int size = 4)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
}

// Where the audio of a WAV file starts.
qsizetype audioStart(const QByteArray& wav)
{
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const quint32 size = le32(wav, at + 4);
        if (wav.mid(at, 4) == "data")
            return at + 8;
        at += 8 + size + (size & 1U);
    }
    ADD_FAILURE() << "no data chunk";
    return wav.size();
}

// A WAV file as a writer to a pipe sends it: the RIFF and the data size both `size`.
QByteArray asStream(QByteArray wav, quint32 size)
{
    putLe(wav, 4, size);
    putLe(wav, audioStart(wav) - 4, size);
    return wav;
}

// A header of 44 bytes, format chunk and all, before no audio.
QByteArray wavHeader(unsigned tag, unsigned rate, unsigned bits)
{
    QByteArray h("RIFF\0\0\0\0WAVEfmt \x10\0\0\0", 20);
    h.resize(36);
    putLe(h, 20, tag, 2);
    putLe(h, 22, 1, 2);
    putLe(h, 24, rate);
    putLe(h, 28, rate * bits / 8);
    putLe(h, 32, bits / 8, 2);
    putLe(h, 34, bits, 2);
    return h + QByteArray("data\0\0\0\0", 8);
}

// quillfen-cli --decode OPTIONS - with a pipe on its standard input.
class LiveRun
{
public:
    explicit LiveRun(const QStringList& options)
    {
        m_process.start(QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR "/quillfen-cli"),
                        QStringList{QStringLiteral("--decode")} + options + QStringList{QStringLiteral("-")});
        EXPECT_TRUE(m_process.waitForStarted(kPatienceMs));
    }
    ~LiveRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kPatienceMs);
        }
    }
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    void write(const QByteArray& bytes)
    {
        m_process.write(bytes);
        QElapsedTimer waited;
        waited.start();
        while (m_process.bytesToWrite() > 0 && m_process.state() == QProcess::Running &&
               waited.elapsed() < kPatienceMs)
            m_process.waitForBytesWritten(1000);
    }
    // Waits with the pipe open until standard output holds `expected`; false when it never does.
    bool waitForOutput(const std::string& expected)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            readOutput();
            if (m_out.contains(expected.c_str()))
                return true;
            if (m_process.state() != QProcess::Running || waited.elapsed() > kPatienceMs)
                return false;
            m_process.waitForReadyRead(1000);
        }
    }
    // Ends the input; the exit status.
    int finish()
    {
        m_process.closeWriteChannel();
        // (False at once when it has already ended.)
        m_process.waitForFinished(kPatienceMs);
        EXPECT_EQ(m_process.state(), QProcess::NotRunning);
        readOutput();
        m_err += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    std::string out() const { return m_out.toStdString(); }
    std::string err() const { return m_err.toStdString(); }

private:
    void readOutput()
    {
        m_out += m_process.readAllStandardOutput();
#ifdef Q_OS_WIN
        // The C runtime there ends text lines with CR LF; the words are what is compared.
        m_out.replace("\r\n", "\n");
#endif
    }

    QProcess m_process;
    QByteArray m_out, m_err;
};

struct StreamCase
{
    const char* what;
    QStringList options;
    int rate;
    std::function<QByteArray(const std::vector<float>&)> bytes;
};

} // namespace

TEST(LiveDecode, printsTheLastCharacterWithinHalfASecondOfAudioWithoutWaitingForTheEnd)
{
    const auto wav = [](int format, int rate, quint32 size) {
        return [=](const std::vector<float>& s) {
            return asStream(stored(s, SF_FORMAT_WAV | format, rate), size);
        };
    };
    const auto raw = [](int format, int rate) {
        return [=](const std::vector<float>& s) {
            return stored(s, SF_FORMAT_RAW | SF_ENDIAN_LITTLE | format, rate);
        };
    };
    const StreamCase cases[] = {
        {"WAV, 16-bit, size 0", {}, 8000, wav(SF_FORMAT_PCM_16, 8000, 0)},
        {"WAV, 8-bit unsigned, size 0xFFFFFFFF", {}, 8000, wav(SF_FORMAT_PCM_U8, 8000, 0xFFFFFFFF)},
        {"WAV, float with more chunks, size 0", {}, 16000, wav(SF_FORMAT_FLOAT, 16000, 0)},
        {"raw u-law", {"--raw", "8000", "--encoding", "ulaw"}, 8000, raw(SF_FORMAT_ULAW, 8000)},
        {"raw A-law", {"--raw", "8000", "--encoding", "alaw"}, 8000, raw(SF_FORMAT_ALAW, 8000)},
        {"raw 16-bit", {"--raw", "16000"}, 16000, raw(SF_FORMAT_PCM_16, 16000)},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> samples = burst(kText, c.rate);
        appendSilence(samples, kLatencySeconds, c.rate);
        LiveRun run(c.options);
        run.write(c.bytes(samples));
        EXPECT_TRUE(run.waitForOutput(kText)) << "printed so far: " << run.out();
        EXPECT_EQ(run.finish(), 0) << run.err();
        EXPECT_EQ(run.out(), kText + "\n");
    }
}

TEST(LiveDecode, timestampsEachBurstAsAFileDecodeDoesAndEndsItsLineWhileTheInputRuns)
{
    constexpr int kRate = 8000;
    std::vector<float> samples = burst("FIRST 1", kRate);
    appendSilence(samples, 2.0, kRate);
    const std::size_t firstPart = samples.size();
    const std::vector<float> second = burst("SECOND 2 GA", kRate);
    samples.insert(samples.end(), second.begin(), second.end());
    appendSilence(samples, kLatencySeconds, kRate);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("call.wav"));
    ASSERT_TRUE(writeSound(path.toStdString(), Sound{SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1,
                                                     std::vector<double>(samples.begin(), samples.end())}));
    QProcess file;
    file.start(QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR "/quillfen-cli"),
               {QStringLiteral("--decode"), QStringLiteral("--timestamps"), path});
    ASSERT_TRUE(file.waitForFinished(kPatienceMs));
    QByteArray printed = file.readAllStandardOutput();
#ifdef Q_OS_WIN
    printed.replace("\r\n", "\n");
#endif
    const std::string fromFile = printed.toStdString();
    ASSERT_EQ(std::count(fromFile.begin(), fromFile.end(), '\n'), 2) << fromFile;

    QFile wav(path);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const QByteArray stream = asStream(wav.readAll(), 0);
    const qsizetype cut = audioStart(stream) + static_cast<qsizetype>(firstPart) * 2;
    LiveRun run({QStringLiteral("--timestamps")});
    run.write(stream.left(cut));
    EXPECT_TRUE(run.waitForOutput(fromFile.substr(0, fromFile.find('\n') + 1))) << run.out();
    run.write(stream.mid(cut));
    EXPECT_TRUE(run.waitForOutput(fromFile.substr(0, fromFile.size() - 1))) << run.out();
    EXPECT_EQ(run.finish(), 0) << run.err();
    EXPECT_EQ(run.out(), fromFile);
}

TEST(LiveDecode, refusesAStreamWhoseHeaderCannotBeReadWithStatusTwo)
{
    const QByteArray valid = wavHeader(1, 8000, 16);
    const struct
    {
        QByteArray input;
        const char* said;
    } cases[] = {
        {"HELLO THIS IS TEXT\n", "not a WAV stream"},
        {"", "nothing came"},
        {valid.left(30), "ends inside its WAV header"},
        {wavHeader(0x55, 8000, 16), "cannot be decoded (format 85, 16 bits)"},
        {wavHeader(1, 4000, 16), "the sample rate is 4000 Hz"},
        {valid.left(12) + valid.mid(36) + valid.mid(12, 24), "audio comes before its WAV format chunk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        LiveRun run({});
        run.write(c.input);
        EXPECT_EQ(run.finish(), 2);
        EXPECT_EQ(run.out(), "");
        EXPECT_EQ(run.err().rfind("quillfen-cli: ", 0), 0U) << run.err();
        EXPECT_NE(run.err().find("standard input: "), std::string::npos) << run.err();
        EXPECT_NE(run.err().find(c.said), std::string::npos) << run.err();
    }
}
