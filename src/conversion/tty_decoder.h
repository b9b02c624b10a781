#pragma once

// The decoder (src/tty) on samples and on files, with the program's errors.

#include "tty/decoder.h"

#include <span>
#include <string>

struct SF_INFO;

namespace quillfen::tty {

// Decodes mono samples in [-1, 1] at 8,000-192,000 Hz. Throws quillfen::AppError for a rate outside
// that range.
DecodedText decodeSamples(std::span<const float> samples, double sampleRate,
                          const DecodeOptions& options = {});

// Streams any file libsndfile reads. Each channel is decoded and each burst is taken from the channel
// that heard it best. Throws quillfen::AppError naming the file when it is missing, not a regular file,
// not audio, at a rate outside 8,000-192,000 Hz, or fails while being read. A file without TTY tones is
// not an error: its text is empty.
DecodedText decodeFile(const std::string& path, const DecodeOptions& options = {});

// For a file of bare samples, named by the extension table the writer uses, fills in what libsndfile
// cannot tell from its bytes (format, rate, one channel) before it is opened; leaves `info` alone for
// any other name.
void describeHeaderless(const std::string& path, SF_INFO& info);

} // namespace quillfen::tty
