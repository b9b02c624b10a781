// Opus through libopus, set up as a VoIP call on a narrowband line: 8 kHz, 16 kbit/s, 20 ms frames.
// One packet per frame; packets vary in size, so there is no byte stream without a container.

#include "codecs/backend.h"

#include <opus.h>

#include <array>
#include <stdexcept>
#include <string>

namespace quillfen::codecs {
namespace {

constexpr std::size_t kFrameSamples = 160;
constexpr opus_int32 kBitRate = 16000;
constexpr std::size_t kMaxPacketBytes = 1500;

class OpusEncoderUnit : public UnitEncoder
{
public:
    OpusEncoderUnit()
    {
        int error = OPUS_OK;
        m_state = opus_encoder_create(kSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
        if (m_state == nullptr || error != OPUS_OK)
            throw std::runtime_error(std::string("libopus cannot start an encoder: ") + opus_strerror(error));
        opus_encoder_ctl(m_state, OPUS_SET_BITRATE(kBitRate));
        opus_encoder_ctl(m_state, OPUS_SET_BANDWIDTH(OPUS_BANDWIDTH_NARROWBAND));
    }
    ~OpusEncoderUnit() override { opus_encoder_destroy(m_state); }
    OpusEncoderUnit(const OpusEncoderUnit&) = delete;
    OpusEncoderUnit& operator=(const OpusEncoderUnit&) = delete;

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        std::array<unsigned char, kMaxPacketBytes> packet{};
        const opus_int32 n = opus_encode(m_state, samples.data(), static_cast<int>(kFrameSamples),
                                         packet.data(), static_cast<opus_int32>(packet.size()));
        if (n < 0)
            throw std::runtime_error(std::string("libopus cannot encode: ") + opus_strerror(n));
        out.insert(out.end(), packet.begin(), packet.begin() + n);
    }

private:
    OpusEncoder* m_state = nullptr;
};

class OpusDecoderUnit : public UnitDecoder
{
public:
    OpusDecoderUnit()
    {
        int error = OPUS_OK;
        m_state = opus_decoder_create(kSampleRate, 1, &error);
        if (m_state == nullptr || error != OPUS_OK)
            throw std::runtime_error(std::string("libopus cannot start a decoder: ") + opus_strerror(error));
    }
    ~OpusDecoderUnit() override { opus_decoder_destroy(m_state); }
    OpusDecoderUnit(const OpusDecoderUnit&) = delete;
    OpusDecoderUnit& operator=(const OpusDecoderUnit&) = delete;

    std::size_t wholeUnits(std::span<const std::uint8_t> bytes) const override { return bytes.size(); }

    void decode(std::span<const std::uint8_t> packet, std::vector<std::int16_t>& out) override
    {
        const std::size_t start = out.size();
        out.resize(start + kFrameSamples);
        const int n = opus_decode(m_state, packet.data(), static_cast<opus_int32>(packet.size()),
                                  out.data() + start, static_cast<int>(kFrameSamples), 0);
        if (n < 0)
            throw std::runtime_error(std::string("libopus cannot decode: ") + opus_strerror(n));
        out.resize(start + static_cast<std::size_t>(n));
    }

private:
    OpusDecoder* m_state = nullptr;
};

} // namespace

std::unique_ptr<UnitEncoder> makeOpusEncoder()
{
    return std::make_unique<OpusEncoderUnit>();
}

std::unique_ptr<UnitDecoder> makeOpusDecoder()
{
    return std::make_unique<OpusDecoderUnit>();
}

} // namespace quillfen::codecs
