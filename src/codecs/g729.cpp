// G.729 Annex A through bcg729: 10-byte frames of 80 samples. Silence suppression stays off, so
// every frame is a speech frame and a file of them needs no framing.

#include "codecs/backend.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include <stdexcept>

namespace quillfen::codecs {
namespace {

constexpr std::size_t kFrameSamples = 80;
constexpr std::size_t kFrameBytes = 10;

class G729Encoder : public UnitEncoder
{
public:
    G729Encoder() : m_state(initBcg729EncoderChannel(0))
    {
        if (m_state == nullptr)
            throw std::runtime_error("bcg729 cannot start an encoder");
    }
    ~G729Encoder() override { closeBcg729EncoderChannel(m_state); }
    G729Encoder(const G729Encoder&) = delete;
    G729Encoder& operator=(const G729Encoder&) = delete;

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        for (std::size_t at = 0; at + kFrameSamples <= samples.size(); at += kFrameSamples) {
            std::uint8_t frame[kFrameBytes] = {};
            std::uint8_t length = 0;
            bcg729Encoder(m_state, samples.data() + at, frame, &length);
            out.insert(out.end(), frame, frame + kFrameBytes);
        }
    }

private:
    bcg729EncoderChannelContextStruct* m_state;
};

class G729Decoder : public FixedUnitDecoder
{
public:
    G729Decoder() : FixedUnitDecoder(kFrameBytes), m_state(initBcg729DecoderChannel())
    {
        if (m_state == nullptr)
            throw std::runtime_error("bcg729 cannot start a decoder");
    }
    ~G729Decoder() override { closeBcg729DecoderChannel(m_state); }
    G729Decoder(const G729Decoder&) = delete;
    G729Decoder& operator=(const G729Decoder&) = delete;

    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override
    {
        for (std::size_t at = 0; at + kFrameBytes <= bytes.size(); at += kFrameBytes) {
            const std::size_t start = out.size();
            out.resize(start + kFrameSamples);
            bcg729Decoder(m_state, bytes.data() + at, kFrameBytes, 0, 0, 0, out.data() + start);
        }
    }

private:
    bcg729DecoderChannelContextStruct* m_state;
};

} // namespace

std::unique_ptr<UnitEncoder> makeG729Encoder()
{
    return std::make_unique<G729Encoder>();
}

std::unique_ptr<UnitDecoder> makeG729Decoder()
{
    return std::make_unique<G729Decoder>();
}

} // namespace quillfen::codecs
