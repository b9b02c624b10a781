#pragma once

// The decoder (src/tty) live on a stream, standard input say: a WAV stream as a recorder or a phone
// system pipes it, or bare samples. Text comes out the moment it is read.

#include "tty/decoder.h"
#include "tty/headerless_audio.h"
#include "tty/live_text.h"

#include <cstdio>
#include <functional>
#include <string>

namespace quillfen::tty {

// How the stream's audio is laid out.
struct StreamFormat
{
    int rawRate = 0; // 0: a WAV stream, its header says the rest; else one channel of bare samples
    SampleEncoding rawEncoding = SampleEncoding::Pcm16; // 16-bit little-endian
};

// Reads `in` as it arrives, to its end, and hands `out` each piece of text the moment the decoder has
// read it (LiveText). A WAV stream may give its audio's size as 0 or 0xFFFFFFFF, as a pipe's writer
// that cannot know it does: the audio then runs to the end of the stream. Returns whether any text was
// printed. Throws quillfen::AppError, naming the stream as `name`, for a header that cannot be read or
// audio the decoder cannot take (before any text), and when reading fails (after handing on all that
// was heard before).
bool decodeStream(std::FILE* in, const std::string& name, const StreamFormat& format,
                  const DecodeOptions& options, const std::function<void(const LivePiece&)>& out);

} // namespace quillfen::tty
