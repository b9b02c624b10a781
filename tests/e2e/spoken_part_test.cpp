// Spoken parts through the real run, wavcat and prompt sets: a voice-like recording in several
// containers, rates and channel counts, placed before or after the tones (or both), found again in
// the output at its place and rate, with the tones still printing their text. The command line and
// the message sets refuse a recording they cannot read and touch nothing.
#include "conversion/message_set_run.h"
#include "conversion/spoken_part.h"
#include "platform/app_error.h"
#include "program_runs.h"
#include "support/wav_files.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sndfile.h>
#include <vector>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

constexpr double kVoiceSeconds = 1.5;

// Something like a voice: a gliding fundamental near 150 Hz with harmonics shaped by two formants,
// in syllables four times a second; nothing above 3 kHz, so that any output rate keeps all of it.
double voice(double t)
{
    constexpr double pi = std::numbers::pi;
    const double f0 = 150.0 + 25.0 * std::sin(2 * pi * 0.7 * t);
    const double phase = 2 * pi * (150.0 * t - 25.0 / (2 * pi * 0.7) * std::cos(2 * pi * 0.7 * t));
    double sum = 0.0;
    for (int k = 1; k * 175.0 < 3000.0; ++k) {
        const double f = k * f0;
        const double formants = 1.0 + 2.0 * std::exp(-std::pow((f - 700.0) / 200.0, 2)) +
                                std::exp(-std::pow((f - 1200.0) / 250.0, 2));
        sum += formants / k * std::sin(k * phase);
    }
    const double syllable = std::sin(pi * 4.0 * t);
    return 0.2 * syllable * syllable * sum;
}

// The voice at `rate`: in both channels of a stereo file, with a tone in opposite phase that a
// right downmix cancels.
test::Sound recording(int format, int rate, int channels)
{
    test::Sound sound{format, rate, channels, {}};
    const auto frames = static_cast<int>(kVoiceSeconds * rate);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate, v = voice(t);
        if (channels == 1) {
            sound.samples.push_back(v);
            continue;
        }
        const double other = 0.2 * std::sin(2 * std::numbers::pi * 523.0 * t);
        sound.samples.push_back(v + other);
        sound.samples.push_back(v - other);
    }
    return sound;
}

// The largest normalised correlation of `part` with the voice sampled at `rate`, over small lags.
double correlationWithVoice(const std::vector<double>& part, int rate)
{
    constexpr int kMaxLag = 3;
    std::vector<double> reference(part.size() + 2 * kMaxLag);
    for (std::size_t i = 0; i < reference.size(); ++i)
        reference[i] = i < kMaxLag ? 0.0 : voice(double(i - kMaxLag) / rate);
    double best = -1.0;
    for (std::size_t lag = 0; lag <= 2 * kMaxLag; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const double y = reference[i + lag];
            xy += part[i] * y;
            xx += part[i] * part[i];
            yy += y * y;
        }
        best = std::max(best, xy / std::sqrt(xx * yy + 1e-30));
    }
    return best;
}

test::Sound readAudio(const QString& path)
{
    return test::readSound(QFile::encodeName(path).toStdString()).value_or(test::Sound{});
}

class SpokenPart : public ProgramRun
{
protected:
    QString write(const QString& name, const test::Sound& sound)
    {
        const QString path = out.filePath(name);
        EXPECT_TRUE(test::writeSound(QFile::encodeName(path).toStdString(), sound)) << name.toStdString();
        return path;
    }
};

} // namespace

TEST_F(SpokenPart, eachRecordingLandsAtItsPlaceResampledAndTheTonesStillPrintTheText)
{
    constexpr int kWav = SF_FORMAT_WAV | SF_FORMAT_PCM_16, kFlac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                  kOgg = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    const OutputFormat standard, ulawQuiet{Encoding::Ulaw, 8000, -200}, wide{Encoding::Pcm16, 16000, -100};
    const struct
    {
        const char* name;
        int format, rate, channels;
        bool before, after;
        OutputFormat output;
    } cases[] = {
        {"a.wav", kWav, 8000, 1, true, false, standard},    {"b.wav", kWav, 44100, 2, false, true, standard},
        {"c.flac", kFlac, 48000, 1, true, true, standard},  {"d.ogg", kOgg, 44100, 2, true, false, standard},
        {"e.flac", kFlac, 8000, 2, false, true, ulawQuiet}, {"f.ogg", kOgg, 48000, 1, true, true, wide},
        {"g.wav", kWav, 48000, 2, false, true, wide},
    };
    const QString text = "Hello GA";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Sound source = recording(c.format, c.rate, c.channels);
        const QString path = write(c.name, source);
        const QString plain = out.filePath("plain.wav"), spoken = out.filePath("spoken.wav");
        run.setOutputFormat(c.output);
        run.setSpokenParts({});
        ASSERT_EQ(run.cmdConstructWavFromString_Click(text, plain), RunOutcome::Completed);
        run.setSpokenParts({c.before ? path : QString(), c.after ? path : QString()});
        ASSERT_EQ(run.cmdConstructWavFromString_Click(text, spoken), RunOutcome::Completed)
            << diag.lines.join('\n').toStdString();
        EXPECT_EQ(decode(spoken), "HELLO GA");
        EXPECT_EQ(diag.lines.constLast(),
                  c.before && c.after
                      ? QString("Spoken parts: %1 before the tones, %2 after them").arg(c.name, c.name)
                  : c.before ? QString("Spoken part before the tones: %1").arg(c.name)
                             : QString("Spoken part after the tones: %1").arg(c.name));

        const test::Sound tones = readAudio(plain), joined = readAudio(spoken), stored = readAudio(path);
        ASSERT_EQ(joined.rate, c.output.sampleRate);
        ASSERT_EQ(joined.channels, 1);
        // Each part is the recording at the output's rate, and its pause.
        const auto pause = static_cast<std::ptrdiff_t>(kSpokenPauseSeconds * c.output.sampleRate);
        const std::ptrdiff_t parts = (c.before ? 1 : 0) + (c.after ? 1 : 0);
        const std::ptrdiff_t added = std::ssize(joined.samples) - std::ssize(tones.samples);
        ASSERT_EQ(added % parts, 0);
        const std::ptrdiff_t voiceFrames = added / parts - pause;
        EXPECT_NEAR(double(voiceFrames), double(stored.frames()) * c.output.sampleRate / c.rate, 2.0);

        // The tones are the same samples as without the spoken parts, between their pauses.
        const std::ptrdiff_t tonesAt = c.before ? voiceFrames + pause : 0;
        EXPECT_TRUE(std::equal(tones.samples.begin(), tones.samples.end(), joined.samples.begin() + tonesAt));
        std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> voices; // where each part starts, its pause
        if (c.before)
            voices.emplace_back(0, voiceFrames);
        if (c.after)
            voices.emplace_back(tonesAt + std::ssize(tones.samples) + pause,
                                tonesAt + std::ssize(tones.samples));
        for (const auto& [at, pauseAt] : voices) {
            const auto silent =
                std::all_of(joined.samples.begin() + pauseAt, joined.samples.begin() + pauseAt + pause,
                            [](double v) { return std::abs(v) < 1e-3; });
            EXPECT_TRUE(silent) << "the pause at " << pauseAt;
            const std::vector<double> part(joined.samples.begin() + at,
                                           joined.samples.begin() +
                                               std::min(at + voiceFrames, std::ssize(joined.samples)));
            EXPECT_GE(correlationWithVoice(part, c.output.sampleRate), 0.9) << "the part at " << at;
            // As loud as the tones: its peak at the output's level.
            const double peak = std::abs(*std::max_element(
                part.begin(), part.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }));
            EXPECT_NEAR(20 * std::log10(peak), c.output.levelTenths / 10.0, 0.5);
        }
    }
}

TEST_F(SpokenPart, aMissingOrUnreadableRecordingFailsTheRunNamingItAndWritesNothing)
{
    const QString good = write("good.wav", recording(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1));
    const QString garbage = out.filePath("noise.wav");
    ASSERT_TRUE(writeFile(garbage, QByteArray(4000, 'x')));
    const QString target = out.filePath("kept.wav");
    ASSERT_TRUE(writeFile(target, "an earlier greeting"));
    const std::pair<SpokenParts, QString> cases[] = {
        {{out.filePath("gone.wav"), {}}, "gone.wav"},
        {{good, out.filePath("gone.flac")}, "gone.flac"},
        {{{}, garbage}, "noise.wav"},
        {{out.path(), {}}, "not a file"},
    };
    for (const auto& [parts, named] : cases) {
        SCOPED_TRACE(named.toStdString());
        run.setSpokenParts(parts);
        EXPECT_EQ(run.cmdConstructWavFromString_Click("HI", target), RunOutcome::Failed);
        EXPECT_TRUE(run.failure().contains(named)) << run.failure().toStdString();
        EXPECT_TRUE(diag.lines.join('\n').contains("(error):")) << diag.lines.join('\n').toStdString();
        EXPECT_EQ(fileBytes(target), QByteArray("an earlier greeting"));
    }
}

TEST_F(SpokenPart, theCommandLineRefusesAnUnreadableRecordingWithStatusTwoAndWritesAVoicedOne)
{
    write("please wait.wav", recording(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1));
    ASSERT_TRUE(writeFile(out.filePath("text.wav"), "not audio at all"));
    ASSERT_TRUE(writeFile(out.filePath("kept.wav"), "keep me"));
    for (const QStringList& args : {QStringList{"HI", "--voice-before", "missing.wav", "-o", "kept.wav"},
                                    QStringList{"HI", "--voice-after", "text.wav", "-o", "kept.wav"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Ran r = cliInOut(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.startsWith("quillfen-cli: no WAV file written: ") && r.err.contains(args.at(2)) &&
                    r.err.count('\n') == 1)
            << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(fileBytes(out.filePath("kept.wav")), QByteArray("keep me"));

    const Ran made = cliInOut({"HI", "--voice-before", "please wait.wav", "-o", "greeting.wav"});
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.out.endsWith("Spoken part before the tones: please wait.wav\n"))
        << made.out.toStdString();
    EXPECT_EQ(decode(out.filePath("greeting.wav")), "HI");
    EXPECT_GT(readAudio(out.filePath("greeting.wav")).samples.size(), std::size_t(kVoiceSeconds * 8000));
}

TEST_F(SpokenPart, aSetTakesRecordingsFromItsCsvFolder_andRefusesAMissingOneTouchingNothing)
{
    QDir(out.path()).mkpath("set/voice");
    write("set/voice/wait.flac", recording(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16000, 2));
    const QString csv = out.filePath("set/set.csv"), folder = out.filePath("out");
    ASSERT_TRUE(writeFile(csv, "name,voice_before,text,voice_after\r\ngreeting,voice/wait.flac,Hi GA,\r\n"
                               "closed,,Hi GA,voice/wait.flac\r\nplain,,Hi GA,\r\n"));
    const MessageSetOutcome made = MessageSetRun(kProgramDir).run(csv, "wav", {}, folder);
    ASSERT_EQ(made.files.size(), 3);
    std::map<QString, double> seconds;
    for (const WrittenFile& f : made.files) {
        seconds[f.message] = f.seconds;
        EXPECT_EQ(decode(QDir(folder).filePath(f.path)), f.printed) << f.message.toStdString();
    }
    // Only rows that name a recording get one.
    const double spoken = kVoiceSeconds + kSpokenPauseSeconds;
    EXPECT_NEAR(seconds["greeting"] - seconds["plain"], spoken, 0.01);
    EXPECT_NEAR(seconds["closed"] - seconds["plain"], spoken, 0.01);

    const auto before = folderSnapshot(folder);
    ASSERT_TRUE(writeFile(
        csv, "name,text,voice_after\ngreeting,Hello GA,voice/wait.flac\nclosed,Closed,voice/gone.wav\n"));
    try {
        MessageSetRun(kProgramDir).run(csv, "wav", {}, folder);
        ADD_FAILURE() << "a set with a missing recording was made";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number, AppError::InvalidProcedureCall);
        EXPECT_TRUE(e.description.startsWith(csv + " line 3: the message \"closed\": ") &&
                    e.description.contains(out.filePath("set/voice/gone.wav")))
            << e.description.toStdString();
    }
    EXPECT_EQ(folderSnapshot(folder), before);
}
