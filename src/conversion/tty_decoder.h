#pragma once

#include <span>
#include <string>
#include <vector>

namespace quillfen::tty {

enum class BaudRate { Auto, Baud45, Baud50 };

struct DecodeOptions
{
    BaudRate baud = BaudRate::Auto; // Auto: 45.45 or 50, chosen for each burst
    // Off: a shift holds until the next LTRS or FIGS, as US TTYs print (a message that plainly comes
    // from a sender counting on unshift-on-space is still read its way). On: a space always returns to
    // letters, for senders that expect it and do not repeat LTRS.
    bool unshiftOnSpace = false;
};

// Characters that came without a pause of a second or more.
struct Burst
{
    double startSeconds = 0.0; // where its first start bit begins in the recording
    double baud = 0.0;         // 45.45 or 50
    std::string text;
};

struct DecodedText
{
    std::string text;          // what a TTY would print, all bursts in order (ASCII; '\n' for CR/LF)
    std::vector<Burst> bursts; // the bursts that printed something
    int characters = 0;        // Baudot frames accepted, shifts included
    int framingErrors = 0;     // frames heard whose stop bit was space
};

// Decodes mono samples in [-1, 1] at 8,000-192,000 Hz: 1400 Hz mark, 1800 Hz space (each +-3 %),
// 1 start bit, 5 data bits least significant first, 1 to 2 stop bits. Anything else in the signal
// (silence, noise, speech, dialling tones) decodes to nothing. Throws quillfen::AppError for a
// rate outside that range.
DecodedText decodeSamples(std::span<const float> samples, double sampleRate,
                          const DecodeOptions& options = {});

// Streams any file libsndfile reads. Each channel is decoded and each burst is taken from the channel
// that heard it best. Throws quillfen::AppError naming the file when it is missing, not a regular file,
// not audio, at a rate outside 8,000-192,000 Hz, or fails while being read. A file without TTY tones is
// not an error: its text is empty.
DecodedText decodeFile(const std::string& path, const DecodeOptions& options = {});

// A burst's offset as it is printed before its text: "[01:23.4]" (tenths truncated).
std::string formatOffset(double seconds);

} // namespace quillfen::tty
