#pragma once

#include "codecs/codec.h"
#include "conversion/conversion_run.h"
#include "conversion/output_format.h"

#include <QString>

#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace quillfen {

// An output that wavcat does not write itself, chosen by the output name's extension in any ASCII
// case: joined from the prompt set of `joined` into a file of its own, then encoded (or, without a
// codec, taken as it is). .gsm, .g729 and .g722 are headerless frames as phone systems read them,
// .pcmu and .pcma headerless laws, .wav16 a 16 kHz WAV file.
struct EncodedKind
{
    QString extension; // as the table writes it: ".gsm"
    QString label;     // for messages: "GSM 06.10"
    OutputFormat joined;
    QString joinedExtension; // of the join: ".sln", ".ulaw", ".wav"
    std::optional<codecs::Codec> codec;
    // What the file holds, as --encoding and --rate name it; no encoding for a codec's frames.
    std::optional<Encoding> encoding;
    int sampleRate;
    bool headerless;
    // The codec smears the tones enough that a text telephone may print something else.
    bool damagesTones;
};

std::optional<EncodedKind> encodedKindOf(const QString& outputPath);

// The join at `joinedPath` as `kind`'s file: encoded into a file beside `outputPath` that replaces
// it only once whole. Throws AppError when it cannot be read or written.
void writeEncodedOutput(const EncodedKind& kind, const QString& joinedPath, const QString& outputPath);

// Samples in [-1, 1] and their rate: a codec's frames decoded, a law expanded, a WAV read. Throws
// AppError naming the file when it cannot be read.
std::pair<std::vector<float>, double> readEncodedAudio(const EncodedKind& kind, const QString& path);

// A codec's frames from 16-bit samples at its 8 kHz, and back as floats in [-1, 1].
std::vector<std::uint8_t> encodeSamples(codecs::Codec codec, std::span<const std::int16_t> samples);
std::vector<float> decodeFrames(codecs::Codec codec, std::span<const std::uint8_t> bytes);

struct EncodedConversion
{
    RunOutcome outcome = RunOutcome::Failed;
    QString printed; // what the file prints when read back and decoded
    QString failure; // why no file was written
};

// One conversion into `kind`'s file: joined with `run` (its level kept, encoding and rate from the
// kind) into a hidden folder beside the output, encoded, read back and decoded. A file whose codec
// damages tones is written whatever it prints; any other one only when it prints `expected`.
EncodedConversion convertEncoded(ConversionRun& run, const EncodedKind& kind, const QString& text,
                                 const QString& outputPath, const QString& expected);

} // namespace quillfen
