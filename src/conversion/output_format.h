#pragma once

#include "tty/headerless_audio.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace quillfen {

// The encodings the headerless names stand for (one table with wavcat's) are all the program writes.
using Encoding = tty::SampleEncoding;

// The line speed the tones are sent at: 45.45 baud, the standard, or 50 baud, the rate of senders
// elsewhere.
enum class LineBaud { Baud45, Baud50 };

// What the output file holds. The level is the peak of the tones, kept in tenths of a dB so that
// each distinct value is one prompt set and equal values compare equal.
struct OutputFormat
{
    static constexpr int kStandardRate = 8000;
    static constexpr int kStandardLevelTenths = -100; // the standard prompt set's peak, -10 dBFS
    static constexpr int kMinLevelTenths = -300;
    static constexpr int kMaxLevelTenths = 0;

    Encoding encoding = Encoding::Pcm16;
    int sampleRate = kStandardRate;
    int levelTenths = kStandardLevelTenths;
    LineBaud baud = LineBaud::Baud45;

    friend bool operator==(const OutputFormat&, const OutputFormat&) = default;
};

inline constexpr std::array<int, 6> kSampleRates{8000, 11025, 16000, 22050, 44100, 48000};
inline constexpr std::array<Encoding, 3> kEncodings{Encoding::Pcm16, Encoding::Ulaw, Encoding::Alaw};
inline constexpr std::array<LineBaud, 2> kLineBauds{LineBaud::Baud45, LineBaud::Baud50};

// The words the command line and the settings use: "pcm16", "ulaw", "alaw".
QString encodingKeyword(Encoding encoding);
std::optional<Encoding> parseEncoding(const QString& text);
// "45.45" or "50"; parseBaud takes "45" for 45.45 too.
QString baudKeyword(LineBaud baud);
std::optional<LineBaud> parseBaud(const QString& text);
// One of kSampleRates, written in plain digits.
std::optional<int> parseSampleRate(const QString& text);
// A number of dBFS from -30 to 0 in the C locale's form ("-10", "-12.5"), rounded to tenths.
std::optional<int> parseLevel(const QString& text);
// "-10.0", "0.0": what parseLevel reads back.
QString levelText(int levelTenths);

// The standard set in the program directory serves this format; every other one has its own set.
bool usesStandardPrompts(const OutputFormat& format);
// A name for the format's prompt set, unique per format and safe as a directory name:
// "ulaw_8000Hz_-10.0dBFS", and "ulaw_8000Hz_-10.0dBFS_50Bd" for the same at 50 baud.
QString promptSetKey(const OutputFormat& format);

// A file of bare samples, chosen by the output name's extension (any ASCII case, as wavcat chooses):
// .ulaw/.ul, .alaw/.al, .sln, .sln16, .sln48. Always mono.
struct HeaderlessKind
{
    QString extension; // as the table writes it: ".ulaw"
    Encoding encoding;
    int sampleRate;
};
std::optional<HeaderlessKind> headerlessKindOf(const QString& outputPath);

// The format an output name gets: a headerless name fixes the encoding and the rate, the level and
// the baud are always the requested ones; any other name gets a WAV file in the requested format.
OutputFormat formatForOutput(const OutputFormat& requested, const QString& outputPath);

// The encoding's name in the current language: "16-bit signed linear PCM", "µ-law", "A-law".
QString encodingName(Encoding encoding);
// One line, in the current language, on what the format is good for, e.g. "8 kHz µ-law: most
// voicemail systems". The level does not change it.
QString formatUse(const OutputFormat& format);

// The file types a save dialog offers for an output: WAV, then the headerless ones, each with its
// name in the current language and its patterns ("*.ulaw", "*.ul").
struct OutputFileType
{
    QString name;
    QStringList patterns;
    QString filter() const; // "µ-law raw (*.ulaw *.ul)"
};
QList<OutputFileType> outputFileTypes();
// The index in outputFileTypes() of the type an output name has; 0 (WAV) for any other name.
qsizetype outputFileTypeOf(const QString& outputPath);

} // namespace quillfen
