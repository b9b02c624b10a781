#include "codecs/codec.h"

#include "codecs/backend.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace quillfen::codecs {
namespace {

// The delays are the codecs' own, as measured through these libraries (the codec test checks that
// they line the output up with the input): G.729 and AMR 5 ms of look-ahead, Opus its encoder's
// look-ahead, G.722 the two resampling filters (47 samples each at 16 kHz) and its band-splitting
// filters (22).
constexpr std::array<CodecInfo, 6> kCodecs = {{
    {Codec::Gsm, "gsm", "GSM 06.10 full rate, 13 kbit/s", 160, 33, 0, true},
    {Codec::G729, "g729", "G.729 Annex A, 8 kbit/s", 80, 10, 40, true},
    {Codec::Amr, "amr", "AMR-NB, 12.2 kbit/s", 160, 32, 40, true},
    {Codec::Opus, "opus", "Opus VoIP, narrowband, 16 kbit/s", 160, 0, 52, false},
    {Codec::G722, "g722", "G.722, 64 kbit/s wideband", 1, 1, 58, true},
    {Codec::G726, "g726", "G.726, 32 kbit/s", 2, 1, 0, true},
}};

// roundTrip's step: a whole number of units of every codec, and the packet length for Opus.
constexpr std::size_t kChunkSamples = 160;

std::unique_ptr<UnitEncoder> makeUnitEncoder(Codec codec)
{
    switch (codec) {
    case Codec::Gsm:
        return makeGsmEncoder();
    case Codec::G729:
        return makeG729Encoder();
    case Codec::Amr:
        return makeAmrEncoder();
    case Codec::Opus:
        return makeOpusEncoder();
    case Codec::G722:
        return makeG722Encoder();
    case Codec::G726:
        return makeG726Encoder();
    }
    throw std::invalid_argument("no such codec");
}

std::unique_ptr<UnitDecoder> makeUnitDecoder(Codec codec)
{
    switch (codec) {
    case Codec::Gsm:
        return makeGsmDecoder();
    case Codec::G729:
        return makeG729Decoder();
    case Codec::Amr:
        return makeAmrDecoder();
    case Codec::Opus:
        return makeOpusDecoder();
    case Codec::G722:
        return makeG722Decoder();
    case Codec::G726:
        return makeG726Decoder();
    }
    throw std::invalid_argument("no such codec");
}

Codec byteStreamCodec(Codec codec)
{
    if (!codecInfo(codec).byteStream)
        throw std::invalid_argument(std::string(codecInfo(codec).name) + " has no byte stream");
    return codec;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::span<const CodecInfo> allCodecs()
{
    return kCodecs;
}

const CodecInfo& codecInfo(Codec codec)
{
    for (const CodecInfo& info : kCodecs) {
        if (info.codec == codec)
            return info;
    }
    throw std::invalid_argument("no such codec");
}

std::optional<Codec> codecFromName(std::string_view name)
{
    for (const CodecInfo& info : kCodecs) {
        if (std::ranges::equal(name, info.name, [](char a, char b) { return lowerAscii(a) == b; }))
            return info.codec;
    }
    return std::nullopt;
}

CodecList parseCodecList(std::string_view list)
{
    CodecList result;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = trimBlanks(list.substr(start, comma - start));
        const std::optional<Codec> codec = codecFromName(name);
        if (!codec) {
            result.unknown = std::string(name);
            result.codecs.clear();
            return result;
        }
        if (std::ranges::find(result.codecs, *codec) == result.codecs.end())
            result.codecs.push_back(*codec);
        if (comma == list.size())
            return result;
        start = comma + 1;
    }
}

std::vector<std::int16_t> roundTrip(Codec codec, std::span<const std::int16_t> samples)
{
    const CodecInfo& info = codecInfo(codec);
    auto encoder = makeUnitEncoder(codec);
    auto decoder = makeUnitDecoder(codec);

    // Enough silence after the input to bring its end out through the delay, in whole chunks.
    const std::size_t total =
        (samples.size() + info.delaySamples + kChunkSamples - 1) / kChunkSamples * kChunkSamples;
    std::vector<std::int16_t> input(samples.begin(), samples.end());
    input.resize(total, 0);

    std::vector<std::int16_t> output;
    output.reserve(total);
    std::vector<std::uint8_t> packet;
    for (std::size_t at = 0; at < total; at += kChunkSamples) {
        packet.clear();
        encoder->encode(std::span(input).subspan(at, kChunkSamples), packet);
        decoder->decode(packet, output);
    }
    output.erase(output.begin(),
                 output.begin() + static_cast<std::ptrdiff_t>(std::min(info.delaySamples, output.size())));
    output.resize(samples.size(), 0);
    return output;
}

Encoder::Encoder(Codec codec) : m_codec(byteStreamCodec(codec)), m_unit(makeUnitEncoder(codec)) {}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

void Encoder::write(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out)
{
    m_pending.insert(m_pending.end(), samples.begin(), samples.end());
    const std::size_t unit = codecInfo(m_codec).unitSamples;
    const std::size_t whole = m_pending.size() - m_pending.size() % unit;
    if (whole == 0)
        return;
    m_unit->encode(std::span(m_pending).first(whole), out);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(whole));
}

void Encoder::finish(std::vector<std::uint8_t>& out)
{
    if (!m_pending.empty()) {
        const std::size_t unit = codecInfo(m_codec).unitSamples;
        m_pending.resize((m_pending.size() + unit - 1) / unit * unit, 0);
        m_unit->encode(m_pending, out);
        m_pending.clear();
    }
    m_unit = makeUnitEncoder(m_codec);
}

Decoder::Decoder(Codec codec) : m_codec(byteStreamCodec(codec)), m_unit(makeUnitDecoder(codec)) {}
Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

void Decoder::write(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out)
{
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    const std::size_t whole = m_unit->wholeUnits(m_pending);
    if (whole == 0)
        return;
    m_unit->decode(std::span(m_pending).first(whole), out);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(whole));
}

std::size_t Decoder::finish()
{
    const std::size_t dropped = m_pending.size();
    m_pending.clear();
    m_unit = makeUnitDecoder(m_codec);
    return dropped;
}

} // namespace quillfen::codecs
