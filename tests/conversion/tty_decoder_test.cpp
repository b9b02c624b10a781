#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "support/tty_signal.h"
#include "support/wav_files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

using namespace quillfen::tty;
using namespace quillfen::test;

namespace {

// Voiced syllables: a gliding pitch with harmonics through the tones' band, under a 4 Hz envelope, on
// breath noise. Its harmonics sit on 1400 and 1800 Hz over and over, both at once.
std::vector<float> speechLike(double seconds, double rate, unsigned seed)
{
    std::vector<float> v = whiteNoise(0.02, seconds, rate, seed);
    double phase = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double pitch = 140 + 40 * std::sin(2 * std::numbers::pi * 0.7 * t);
        phase += 2 * std::numbers::pi * pitch / rate;
        double x = 0;
        for (int h = 1; h * pitch < 3800; ++h)
            x += std::sin(h * phase) / std::sqrt(h);
        const double syllable = std::max(0.0, std::sin(2 * std::numbers::pi * 4 * t));
        v[i] += static_cast<float>(0.08 * syllable * x);
    }
    return v;
}

// Dialled digits: 100 ms of two tones, 100 ms of silence.
std::vector<float> dtmf(double seconds, double rate, unsigned seed)
{
    const double rows[] = {697, 770, 852, 941}, cols[] = {1209, 1336, 1477, 1633};
    std::mt19937 gen(seed);
    std::vector<float> v(static_cast<std::size_t>(seconds * rate));
    double r = rows[0], c = cols[0];
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::size_t slot = i % static_cast<std::size_t>(0.2 * rate);
        if (slot == 0)
            r = rows[gen() % 4], c = cols[gen() % 4];
        const double t = static_cast<double>(i) / rate;
        if (static_cast<double>(slot) < 0.1 * rate)
            v[i] = static_cast<float>(
                0.25 * (std::sin(2 * std::numbers::pi * r * t) + std::sin(2 * std::numbers::pi * c * t)));
    }
    return v;
}

void addInto(std::vector<float>& to, const std::vector<float>& from)
{
    for (std::size_t i = 0; i < std::min(to.size(), from.size()); ++i)
        to[i] += from[i];
}

const std::string kText = "CALL 555-0142 AT 9:30 (EXT. 7) OR TEXT ME, THANKS! \"OK\" GA";

enum class Before { Nothing, Noise, Speech, Dialling };

struct Recording
{
    const char* name;
    Sender sender{};
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    Before before = Before::Nothing;
    double noiseRms = 0;     // white noise over the whole recording
    bool stereo = false;     // the tones on the right; speech on the left
    bool badSamples = false; // NaN, infinities and 1e15 scattered through the tones
    DecodeOptions options{};
    double maxErrorRate = 0; // 0: exactly the text
};

// Frames on a line of mark, then silence.
std::vector<float> framed(const std::vector<unsigned>& codes)
{
    Line line(8000);
    line.tone(1400, 0.2, 0.3);
    line.frames(codes, {});
    line.silence(0.3);
    return line.samples;
}

} // namespace

TEST(TtyDecoder, recordingsFromTheLineDecode)
{
    const Recording cases[] = {
        {"plain 8 kHz", {}},
        {"-55 dBFS", {.amplitude = std::pow(10, -55 / 20.0)}},
        {"clipped 4x, 44.1 kHz", {.rate = 44100, .amplitude = 4}},
        {"u-law 11025 Hz, 1.5 stop bits", {.rate = 11025, .stopBits = 1.5}, SF_FORMAT_WAV | SF_FORMAT_ULAW},
        {"A-law, gaps between characters", {.gapSeconds = 0.07}, SF_FORMAT_WAV | SF_FORMAT_ALAW},
        {"FLAC 192 kHz", {.rate = 192000}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"tones +3 %, baud -3 %", {.baud = 45.45 * 0.97, .toneScale = 1.03}},
        {"tones -3 %, baud +3 %", {.baud = 45.45 * 1.03, .toneScale = 0.97}},
        {.name = "50 baud forced", .sender = {.baud = 50}, .options = {.baud = BaudRate::Baud50}},
        {.name = "loud noise first", .before = Before::Noise},
        {.name = "speech first", .sender = {.rate = 16000}, .before = Before::Speech},
        {.name = "dialling first", .before = Before::Dialling},
        {.name = "stereo, tones right, speech left", .sender = {.rate = 22050}, .stereo = true},
        {.name = "float with NaN, infinities and 1e15 among the tones",
         .format = SF_FORMAT_WAV | SF_FORMAT_FLOAT,
         .badSamples = true},
        // Full-band SNR -6 dB: white noise 0-4 kHz four times the tone power.
        {.name = "noise 6 dB over the tones",
         .sender = {.amplitude = 0.1},
         .noiseRms = 0.1414,
         .maxErrorRate = 0.02},
    };
    QTemporaryDir dir;
    for (const Recording& c : cases) {
        SCOPED_TRACE(c.name);
        const double rate = c.sender.rate;
        Line line(rate);
        if (c.before == Before::Noise)
            line.add(whiteNoise(0.3, 2, rate, 5));
        else if (c.before == Before::Speech)
            line.add(speechLike(4, rate, 6));
        else if (c.before == Before::Dialling)
            line.add(dtmf(2, rate, 7));
        line.silence(0.3);
        line.message(kText, c.sender);
        if (c.noiseRms > 0)
            addNoise(line.samples, c.noiseRms, 8);
        if (c.badSamples) {
            const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(), 1e15F};
            for (std::size_t i = 0; i < 40; ++i)
                line.samples[line.samples.size() / 3 + i * 997] = bad[i % 4];
        }
        std::vector<std::vector<float>> channels{line.samples};
        if (c.stereo)
            channels.insert(channels.begin(),
                            speechLike(static_cast<double>(line.samples.size()) / rate, rate, 9));
        const bool flac = (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
        const std::string file = dir.filePath(flac ? "r.flac" : "r.wav").toStdString();
        ASSERT_TRUE(writeSound(file, {c.format, static_cast<int>(rate), static_cast<int>(channels.size()),
                                      interleave(channels)}));
        const DecodedText d = decodeFile(file, c.options);
        if (c.maxErrorRate == 0) {
            EXPECT_EQ(d.text, kText);
            EXPECT_EQ(d.characters, static_cast<int>(encode(kText).size()));
        } else {
            EXPECT_LE(characterErrorRate(d.text, kText), c.maxErrorRate) << d.text;
        }
        EXPECT_EQ(d.framingErrors, 0);
        ASSERT_EQ(d.bursts.size(), 1U);
        EXPECT_EQ(d.bursts[0].baud, c.sender.baud < 48 ? 45.45 : 50.0);
    }
}

TEST(TtyDecoder, burstsAreTimedAndTheirBaudDetectedEachOnItsOwn)
{
    Line line(8000);
    line.silence(1.25);
    line.message("HELLO GA", {});
    line.silence(3);
    line.message("BYE 73 SK", {.baud = 50, .stopBits = 1.5});
    const DecodedText d = decodeSamples(line.samples, 8000);
    EXPECT_EQ(d.text, "HELLO GABYE 73 SK");
    ASSERT_EQ(d.bursts.size(), 2U);
    EXPECT_EQ(d.bursts[0].text, "HELLO GA");
    EXPECT_EQ(d.bursts[1].text, "BYE 73 SK");
    EXPECT_EQ(d.bursts[0].baud, 45.45);
    EXPECT_EQ(d.bursts[1].baud, 50.0);
    // First start bit: after the silence and 150 ms of mark.
    EXPECT_NEAR(d.bursts[0].startSeconds, 1.4, 0.03);
    EXPECT_EQ(formatOffset(d.bursts[0].startSeconds), "[00:01.4]");
    EXPECT_EQ(formatOffset(83.49), "[01:23.4]");
    EXPECT_EQ(formatOffset(3600), "[60:00.0]");
}

// The shift choice on its own is shift_choice_test; here the whole chain, once each way.
TEST(TtyDecoder, shiftsHoldUntilTheNextShiftUnlessSpaceUnshifts)
{
    const std::vector<unsigned> codes = encode("1 1");
    for (const auto& [unshiftOnSpace, printed] : {std::pair{false, "1 1"}, std::pair{true, "1 Q"}})
        EXPECT_EQ(decodeSamples(framed(codes), 8000, {.unshiftOnSpace = unshiftOnSpace}).text, printed);
}

TEST(TtyDecoder, aLostShiftInNoiseDoesNotGarbleTheRest)
{
    // The LTRS after the number never arrives; the words after it still read as words.
    const std::string text = "MY NUMBER IS 73914 AND IT HAS NOT ARRIVED YET PLEASE CALL BACK";
    std::vector<unsigned> codes = encode(text);
    codes.erase(std::find(codes.begin() + 1, codes.end(), kLtrs));
    Line line(8000);
    line.tone(1400, 0.2, 0.1);
    line.frames(codes, {.amplitude = 0.1});
    line.silence(0.3);
    addNoise(line.samples, 0.16, 10);
    const std::string got = decodeSamples(line.samples, 8000).text;
    EXPECT_LE(editDistance(got, text), 6U) << got;
}

TEST(TtyDecoder, frameWithoutStopBitIsCountedAndDecodingResumes)
{
    Line line(8000);
    line.tone(1400, 0.2, 0.3);
    line.frames({kLtrs, static_cast<unsigned>(kLetters.find('A'))}, {});
    line.frames({0}, {}, /*stopIsMark=*/false); // eight bits of space: a break, not a character
    line.tone(1400, 3 / 45.45, 0.3);
    line.frames({static_cast<unsigned>(kLetters.find('B'))}, {});
    line.silence(0.3);
    const DecodedText d = decodeSamples(line.samples, 8000);
    EXPECT_EQ(d.text, "AB");
    EXPECT_EQ(d.characters, 3);
    EXPECT_EQ(d.framingErrors, 1);
}

TEST(TtyDecoder, finalFrameCutOffIsDropped)
{
    Line line(8000);
    line.tone(1400, 0.2, 0.3);
    line.frames(encode("A"), {});
    const std::size_t b = line.samples.size();
    line.frames({static_cast<unsigned>(kLetters.find('B'))}, {});
    // B cut off after k bits: it is complete once its first stop bit is.
    for (int k = 0; k < 8; ++k) {
        const auto cut = static_cast<std::ptrdiff_t>(b + (k + 0.3) * 8000 / 45.45);
        const std::vector<float> head(line.samples.begin(), line.samples.begin() + cut);
        EXPECT_EQ(decodeSamples(head, 8000).text, k < 7 ? "A" : "AB") << k;
    }
}

TEST(TtyDecoder, anythingButTtyTonesDecodesToNothing)
{
    std::vector<float> talk = speechLike(60, 8000, 11);
    addInto(talk, dtmf(60, 8000, 12));
    const struct
    {
        const char* name;
        std::vector<float> samples;
    } cases[] = {
        {"60 s of speech and dialling", talk},
        {"white noise", whiteNoise(0.3, 20, 8000, 13)},
        {"digital silence", std::vector<float>(24000)},
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText d = decodeSamples(c.samples, 8000);
        EXPECT_EQ(d.text, "");
        EXPECT_TRUE(d.bursts.empty());
    }
}

TEST(TtyDecoder, unreadableInputThrowsAnErrorThatNamesIt)
{
    QTemporaryDir dir;
    const std::string notAudio = dir.filePath("notes.wav").toStdString(),
                      fifo = dir.filePath("pipe.wav").toStdString(),
                      slow = dir.filePath("slow.wav").toStdString();
    std::ofstream(notAudio) << "these are words, not samples\n";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(writeSound(slow, {.rate = 4000, .samples = std::vector<double>(4000)}));
    const std::tuple<std::string, int, const char*> cases[] = {
        {dir.filePath("missing.wav").toStdString(), quillfen::AppError::FileNotFound, "no such file"},
        {dir.path().toStdString(), quillfen::AppError::PathFileAccessError, "directory"},
        {fifo, quillfen::AppError::PathFileAccessError, "not a regular file"},
        {notAudio, quillfen::AppError::BadFileName, "not an audio file"},
        {slow, quillfen::AppError::InvalidProcedureCall, "4000 Hz"},
    };
    for (const auto& [path, number, says] : cases) {
        try {
            decodeFile(path);
            ADD_FAILURE() << path << ": no error";
        } catch (const quillfen::AppError& e) {
            EXPECT_EQ(e.number, number) << path;
            EXPECT_TRUE(e.description.contains(QString::fromStdString(path)) && e.description.contains(says))
                << e.description.toStdString();
            // Code that catches only std::exception hears the same.
            EXPECT_EQ(std::string(e.what()), e.description.toStdString());
        }
    }
    EXPECT_THROW(decodeSamples(std::vector<float>(100), 200000), quillfen::AppError);
}
