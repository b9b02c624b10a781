#pragma once

#include "conversion/output_format.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace quillfen {

// Recordings said in voice around the tones, for numbers that voice callers reach too ("If you are
// using a text telephone, please wait"). Either may be empty.
struct SpokenParts
{
    QString before; // any file libsndfile reads
    QString after;

    bool isEmpty() const { return before.isEmpty() && after.isEmpty(); }
    friend bool operator==(const SpokenParts&, const SpokenParts&) = default;
};

// The silence between a spoken part and the tones, so that a listener hears two things.
inline constexpr double kSpokenPauseSeconds = 0.5;

enum class SpokenPlace { BeforeTones, AfterTones };

// Opens the recording and reads its header: throws AppError 53 when it does not exist, 52 when it
// is no regular file or no audio libsndfile reads, 6 when it is longer than ten minutes (a greeting
// is seconds long); the description names it.
void checkRecording(const QString& path);

// The recording as the prompts of `format` hold sound: the channels averaged, resampled to the
// format's rate with a linear-phase low-pass (libsoxr), scaled so that its peak is the format's
// level (the tones' peak; silence stays silence). Throws AppError naming the recording.
std::vector<float> readSpokenPart(const QString& recording, const OutputFormat& format);

// Writes `voice` into `into` as a WAV file in the prompts' form for `format`, so that wavcat joins
// it like a prompt, with the pause on the tones' side. Returns the number of frames written, pause
// included. Throws AppError naming the file.
std::int64_t writeSpokenPart(std::vector<float> voice, SpokenPlace place, const OutputFormat& format,
                             const QString& into);

// The file-name patterns an open dialog offers for a spoken part.
QStringList spokenPartFilePatterns();

} // namespace quillfen
