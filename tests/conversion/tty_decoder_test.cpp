#include "conversion/tty_decoder.h"
#include "platform/app_error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace quillfen::tty;

namespace {

// An independent transmitter with its own code table (index = code, first bit sent in bit 0; '_' is
// not sent). Shifts go out only when the shift changes, as US TTYs send them.
constexpr unsigned LTRS = 0b11111, FIGS = 0b11011, CR = 0b01000, LF = 0b00010;
const std::string kLetters = "_E_A SIU_DRJNFCKTZLWHYPQOBG_MXV_",
                  kFigures = "_3_- _87_$4',!:(5\")2#6019?&_./;_";

std::vector<unsigned> encode(const std::string& text)
{
    std::vector<unsigned> codes{LTRS};
    bool figures = false;
    for (char c : text) {
        if (c == '\n') {
            codes.insert(codes.end(), {CR, LF});
            continue;
        }
        const bool figure = kLetters.find(c) == std::string::npos;
        if (figure != figures && c != ' ') {
            codes.push_back(figure ? FIGS : LTRS);
            figures = figure;
        }
        codes.push_back(static_cast<unsigned>((figure ? kFigures : kLetters).find(c)));
    }
    return codes;
}

struct Sender
{
    double rate = 8000, baud = 45.45, stopBits = 2, toneScale = 1, amplitude = 0.3, gapSeconds = 0;
};

class Line
{
public:
    explicit Line(double rate) : rate(rate) {}

    void tone(double hz, double seconds, double amplitude)
    {
        clock += seconds * rate;
        while (static_cast<double>(samples.size()) < std::round(clock)) {
            phase += 2 * std::numbers::pi * hz / rate;
            samples.push_back(static_cast<float>(hz > 0 ? amplitude * std::sin(phase) : 0));
        }
    }
    // `stopIsMark` false: a frame whose stop bit is space.
    void frames(const std::vector<unsigned>& codes, const Sender& s, bool stopIsMark = true)
    {
        const double bit = 1 / s.baud, mark = 1400 * s.toneScale, space = 1800 * s.toneScale;
        for (unsigned c : codes) {
            tone(space, bit, s.amplitude);
            for (int i = 0; i < 5; ++i)
                tone((c >> i) & 1U ? mark : space, bit, s.amplitude);
            tone(stopIsMark ? mark : space, s.stopBits * bit, s.amplitude);
            tone(0, s.gapSeconds, 0);
        }
    }
    void message(const std::string& text, const Sender& s)
    {
        tone(1400 * s.toneScale, 0.15, s.amplitude);
        frames(encode(text), s);
        tone(0, 0.3, 0);
    }
    // Anything but TTY tones, from now on.
    void add(const std::vector<float>& other)
    {
        samples.insert(samples.end(), other.begin(), other.end());
        clock = static_cast<double>(samples.size());
    }

    double rate;
    std::vector<float> samples;
    double phase = 0, clock = 0;
};

std::vector<float> whiteNoise(double rms, double seconds, double rate, unsigned seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> n(0, rms);
    std::vector<float> v(static_cast<std::size_t>(seconds * rate));
    for (float& x : v)
        x = static_cast<float>(n(gen));
    return v;
}

// Voiced syllables: a gliding pitch with harmonics through the tones' band, under a 4 Hz envelope, on
// breath noise. Its harmonics sit on 1400 and 1800 Hz over and over, both at once.
std::vector<float> speechLike(double seconds, double rate, unsigned seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> breath(0, 0.02);
    std::vector<float> v(static_cast<std::size_t>(seconds * rate));
    double phase = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double pitch = 140 + 40 * std::sin(2 * std::numbers::pi * 0.7 * t);
        phase += 2 * std::numbers::pi * pitch / rate;
        double x = 0;
        for (int h = 1; h * pitch < 3800; ++h)
            x += std::sin(h * phase) / std::sqrt(h);
        const double syllable = std::max(0.0, std::sin(2 * std::numbers::pi * 4 * t));
        v[i] = static_cast<float>(0.08 * syllable * x + breath(gen));
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

std::string write(const std::string& path, const std::vector<std::vector<float>>& channels, int rate,
                  int format)
{
    SF_INFO info{0, rate, static_cast<int>(channels.size()), format, 0, 0};
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& ch : channels)
            interleaved.push_back(ch[i]);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
    sf_close(f);
    return path;
}

std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = std::exchange(row[0], i);
        for (std::size_t j = 1; j <= b.size(); ++j)
            diagonal = std::exchange(
                row[j], std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])}));
    }
    return row[b.size()];
}

const std::string kText = "CALL 555-0142 AT 9:30 (EXT. 7) OR TEXT ME, THANKS! \"OK\" GA";

enum class Before { Nothing, Noise, Speech, Dialling };

struct Recording
{
    const char* name;
    Sender sender{};
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    Before before = Before::Nothing;
    double noiseRms = 0; // white noise over the whole recording
    bool stereo = false; // the tones on the right; speech on the left
    DecodeOptions options{};
    double maxErrorRate = 0; // 0: exactly the text
};

} // namespace

TEST(TtyDecoder, recordingsFromTheLineDecode)
{
    const Recording cases[] = {
        {"plain 8 kHz", {}},
        {"-55 dBFS", {.amplitude = std::pow(10, -55 / 20.0)}},
        {"clipped 4x, 44.1 kHz", {.rate = 44100, .amplitude = 4}},
        {"u-law 11025 Hz, 1.5 stop bits", {.rate = 11025, .stopBits = 1.5}, SF_FORMAT_WAV | SF_FORMAT_ULAW},
        {"A-law, gaps between characters", {.gapSeconds = 0.07}, SF_FORMAT_WAV | SF_FORMAT_ALAW},
        {"float 48 kHz", {.rate = 48000}, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"FLAC 192 kHz", {.rate = 192000}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"tones +3 %, baud -3 %", {.baud = 45.45 * 0.97, .toneScale = 1.03}},
        {"tones -3 %, baud +3 %", {.baud = 45.45 * 1.03, .toneScale = 0.97}},
        {"50 baud", {.baud = 50, .stopBits = 1.5}},
        {.name = "50 baud forced", .sender = {.baud = 50}, .options = {.baud = BaudRate::Baud50}},
        {.name = "loud noise first", .before = Before::Noise},
        {.name = "speech first", .sender = {.rate = 16000}, .before = Before::Speech},
        {.name = "dialling first", .before = Before::Dialling},
        {.name = "stereo, tones right, speech left", .sender = {.rate = 22050}, .stereo = true},
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
        line.tone(0, 0.3, 0);
        line.message(kText, c.sender);
        if (c.noiseRms > 0)
            addInto(line.samples,
                    whiteNoise(c.noiseRms, static_cast<double>(line.samples.size()) / rate, rate, 8));
        std::vector<std::vector<float>> channels{line.samples};
        if (c.stereo)
            channels.insert(channels.begin(),
                            speechLike(static_cast<double>(line.samples.size()) / rate, rate, 9));
        const bool flac = (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
        const std::string file = dir.filePath(flac ? "r.flac" : "r.wav").toStdString();
        const DecodedText d = decodeFile(write(file, channels, static_cast<int>(rate), c.format), c.options);
        if (c.maxErrorRate == 0) {
            EXPECT_EQ(d.text, kText);
            EXPECT_EQ(d.characters, static_cast<int>(encode(kText).size()));
        } else {
            EXPECT_LE(static_cast<double>(editDistance(d.text, kText)) / kText.size(), c.maxErrorRate)
                << d.text;
        }
        EXPECT_EQ(d.framingErrors, 0);
        ASSERT_EQ(d.bursts.size(), 1U);
        EXPECT_EQ(d.bursts[0].baud, c.sender.baud < 48 ? 45.45 : 50.0);
    }
}

TEST(TtyDecoder, burstsAreTimedAndTheirBaudDetectedEachOnItsOwn)
{
    Line line(8000);
    line.tone(0, 1.25, 0);
    line.message("HELLO GA", {});
    line.tone(0, 3, 0);
    line.message("BYE 73 SK", {.baud = 50});
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

TEST(TtyDecoder, shiftsHoldUntilTheNextShiftUnlessSpaceUnshifts)
{
    const unsigned Q = 0b10111, T = 0b10000, SPACE = 0b00100, A = 0b00011, P = 0b10110, O = 0b11000,
                   R = 0b01010, C = 0b01110, L = 0b10010;
    const struct
    {
        std::vector<unsigned> codes;
        bool unshiftOnSpace;
        const char* printed;
    } cases[] = {
        {{FIGS, Q, SPACE, Q, LTRS, Q}, false, "1 1Q"},
        {{FIGS, Q, SPACE, Q, LTRS, Q}, true, "1 QQ"},
        {{FIGS, T, CR, LF, T, 0, LF}, false, "5\n5\n"},
        // A sender that counts on unshift-on-space: FIGS again after each space, no LTRS.
        {{LTRS, A, T, SPACE, FIGS, Q, P, SPACE, O, R, SPACE, FIGS, Q, Q, SPACE, C, A, L, L},
         false,
         "AT 10 OR 11 CALL"},
    };
    for (const auto& c : cases) {
        Line line(8000);
        line.tone(1400, 0.2, 0.3);
        line.frames(c.codes, {});
        line.tone(0, 0.3, 0);
        EXPECT_EQ(decodeSamples(line.samples, 8000, {.unshiftOnSpace = c.unshiftOnSpace}).text, c.printed);
    }
}

TEST(TtyDecoder, aLostShiftInNoiseDoesNotGarbleTheRest)
{
    // The LTRS after the number never arrives; the words after it still read as words.
    const std::string text = "MY NUMBER IS 73914 AND IT HAS NOT ARRIVED YET PLEASE CALL BACK";
    std::vector<unsigned> codes = encode(text);
    const auto ltrs = std::find(codes.begin() + 1, codes.end(), LTRS);
    codes.erase(ltrs);
    Line line(8000);
    line.tone(1400, 0.2, 0.1);
    line.frames(codes, {.amplitude = 0.1});
    line.tone(0, 0.3, 0);
    addInto(line.samples, whiteNoise(0.16, static_cast<double>(line.samples.size()) / 8000, 8000, 10));
    const std::string got = decodeSamples(line.samples, 8000).text;
    EXPECT_LE(editDistance(got, text), 6U) << got;
}

TEST(TtyDecoder, frameWithoutStopBitIsCountedAndDecodingResumes)
{
    Line line(8000);
    line.tone(1400, 0.2, 0.3);
    line.frames({LTRS, 0b00011}, {});           // A
    line.frames({0}, {}, /*stopIsMark=*/false); // eight bits of space: a break, not a character
    line.tone(1400, 3 / 45.45, 0.3);
    line.frames({0b11001}, {}); // B
    line.tone(0, 0.3, 0);
    const DecodedText d = decodeSamples(line.samples, 8000);
    EXPECT_EQ(d.text, "AB");
    EXPECT_EQ(d.characters, 3);
    EXPECT_EQ(d.framingErrors, 1);
}

TEST(TtyDecoder, finalFrameCutOffIsDropped)
{
    Line line(8000);
    line.tone(1400, 0.2, 0.3);
    line.frames({LTRS, 0b00011}, {});
    const std::size_t b = line.samples.size();
    line.frames({0b11001}, {});
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
    std::vector<float> hiss = whiteNoise(0.3, 20, 8000, 13);
    const struct
    {
        const char* name;
        std::vector<float> samples;
    } cases[] = {
        {"60 s of speech and dialling", talk},
        {"white noise", hiss},
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
                      fifo = dir.filePath("pipe.wav").toStdString();
    std::ofstream(notAudio) << "these are words, not samples\n";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string slow = write(dir.filePath("slow.wav").toStdString(), {std::vector<float>(4000)}, 4000,
                                   SF_FORMAT_WAV | SF_FORMAT_PCM_16);
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
        }
    }
    EXPECT_THROW(decodeSamples(std::vector<float>(100), 200000), quillfen::AppError);
}
