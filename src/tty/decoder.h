#pragma once

// Decoding TTY audio: 1400 Hz mark, 1800 Hz space (each +-3 %), 45.45 or 50 baud, 1 start bit, 5 data
// bits least significant first, 1 to 2 stop bits. Std C++ only; reading files and reporting errors
// belong to the layers that use it.

#include <memory>
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

// A character as read so far: where its start bit begins in the recording, and what it prints ("" for
// the shifts and the codes that print nothing).
struct HeardCharacter
{
    double seconds = 0.0;
    std::string text;
};

// A burst as read so far; open while more characters may still join it.
struct BurstSoFar
{
    double startSeconds = 0.0;
    bool open = false;
    std::vector<HeardCharacter> characters;
};

// The sample rates the decoder takes, in Hz.
inline constexpr double kMinSampleRate = 8000.0, kMaxSampleRate = 192000.0;
// False for NaN and infinities too.
constexpr bool isDecodableRate(double sampleRate)
{
    return sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate;
}

// Decodes a recording as it streams in, one or more channels of samples in [-1, 1]. Anything but
// TTY tones (silence, noise, speech, dialling tones) decodes to nothing. Each channel is decoded on
// its own and each burst is taken from the channel (and baud) that heard it best.
class Decoder
{
public:
    // The rate must be decodable (isDecodableRate); `channels` at least 1.
    Decoder(double sampleRate, int channels, const DecodeOptions& options = {});
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void push(int channel, std::span<const float> samples);
    // Decodes what is left and returns the whole text; the decoder is spent.
    DecodedText finish();

    // What finish() would print if the input ended here, burst by burst with each character's time,
    // without ending anything: the bursts still being read are in it as far as they go. Later input
    // may still change any of it (which baud or channel reads a burst, a shift). After finish(): the
    // final reading, every burst closed.
    std::vector<BurstSoFar> readSoFar() const;
    // Changes whenever a character is read or a burst ends: while it stands still, readSoFar() has
    // nothing new to say.
    std::size_t progress() const;

private:
    struct Channels;
    std::unique_ptr<Channels> m_channels;
    DecodeOptions m_options;
};

// A burst's offset as it is printed before its text: "[01:23.4]" (tenths truncated).
std::string formatOffset(double seconds);

} // namespace quillfen::tty
