#pragma once

// The telephone speech codecs a TTY message may meet on its way, behind one interface: used to
// check whether tones survive a line and to write encoded files. Audio is always 16-bit mono at
// 8 kHz; a codec that runs at another rate converts inside. Std only, plus each codec's C library.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen::codecs {

inline constexpr int kSampleRate = 8000;

enum class Codec {
    Gsm,  // GSM 06.10 full rate, 13 kbit/s (libsndfile)
    G729, // G.729 Annex A, 8 kbit/s, no silence suppression (bcg729)
    Amr,  // AMR-NB at 12.2 kbit/s, no DTX (opencore-amrnb)
    Opus, // Opus VoIP, narrowband at 8 kHz, 16 kbit/s, 20 ms frames (libopus)
    G722, // G.722 at 64 kbit/s on 16 kHz audio, resampled from and to 8 kHz inside (spandsp)
    G726, // G.726 at 32 kbit/s (spandsp)
};

struct CodecInfo
{
    Codec codec;
    std::string_view name; // lower case, as on the command line
    std::string_view description;
    // The smallest piece the codec encodes: a frame for the speech codecs, a sample (or a byte's
    // worth) for the waveform codecs. The encoder pads the last frame with silence.
    std::size_t unitSamples;
    // Encoded bytes per unit as this library writes them; 0 where packets vary in size.
    std::size_t unitBytes;
    // Decoded audio lags the input by this many samples; roundTrip has removed it already.
    std::size_t delaySamples;
    // Whether Encoder and Decoder take this codec: the packets are self-delimiting, so a file of
    // them needs no framing. Opus packets are not.
    bool byteStream;
};

std::span<const CodecInfo> allCodecs();
const CodecInfo& codecInfo(Codec codec);
// Case-insensitive ASCII.
std::optional<Codec> codecFromName(std::string_view name);

struct CodecList
{
    std::vector<Codec> codecs; // in the order first named, each once
    // The first item that names no codec (possibly empty, as in "gsm,,g729"); unset on success.
    std::optional<std::string> unknown;
};
// "gsm,G729" -> {Gsm, G729}. Blanks around names are ignored; an empty list is an error.
CodecList parseCodecList(std::string_view list);

// Encodes and decodes in one go. The result has exactly as many samples as the input, aligned with
// it: the codec's delay is taken off the front and the tail is flushed out with silence.
std::vector<std::int16_t> roundTrip(Codec codec, std::span<const std::int16_t> samples);

// G.722 frames of audio at the codec's own 16 kHz, encoded without the resampling that Encoder
// does: one byte for each two samples, an odd last one padded with silence. They decode with
// Decoder like any other G.722.
std::vector<std::uint8_t> encodeG722Wideband(std::span<const std::int16_t> samples16k);

class UnitEncoder;
class UnitDecoder;

// A streaming encoder to the codec's raw byte format (for GSM the 33-byte frames of a raw .gsm
// file, for G.729 10-byte frames, for G.722 one byte per 8 kHz sample, for G.726 two samples a
// byte with the first in the low nibble, for AMR storage-format frames without the file header).
// Feed blocks of any size. Throws std::invalid_argument for a codec without a byte stream.
class Encoder
{
public:
    explicit Encoder(Codec codec);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    Encoder(Encoder&&) noexcept;
    Encoder& operator=(Encoder&&) noexcept;

    // Appends the bytes of every unit the samples complete; the rest waits for more.
    void write(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out);
    // Encodes what waits, padded to a whole unit. The encoder then starts afresh.
    void finish(std::vector<std::uint8_t>& out);

private:
    Codec m_codec;
    std::unique_ptr<UnitEncoder> m_unit;
    std::vector<std::int16_t> m_pending;
};

// The decoder for what Encoder writes. Its output lags by codecInfo().delaySamples.
class Decoder
{
public:
    explicit Decoder(Codec codec);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    Decoder(Decoder&&) noexcept;
    Decoder& operator=(Decoder&&) noexcept;

    // Appends the samples of every whole unit the bytes complete; the rest waits for more.
    void write(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out);
    // Returns how many bytes of a cut-off frame were left over and dropped. The decoder then
    // starts afresh.
    std::size_t finish();

private:
    Codec m_codec;
    std::unique_ptr<UnitDecoder> m_unit;
    std::vector<std::uint8_t> m_pending;
};

} // namespace quillfen::codecs
