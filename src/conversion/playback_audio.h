#pragma once

// An output file as 16-bit samples for the sound card, whatever encoding and container it was
// written in.

#include <QString>

#include <cstdint>
#include <vector>

namespace quillfen {

struct PlaybackAudio
{
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
};

// Reads a whole file libsndfile reads, a headerless one by its name as the writer names it. Throws
// AppError naming the file when it is missing, not a regular file, not audio, or fails while read.
PlaybackAudio readPlaybackAudio(const QString& path);

} // namespace quillfen
