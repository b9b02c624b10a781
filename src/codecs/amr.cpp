// AMR-NB through opencore-amrnb: 160-sample frames in storage format (a table-of-contents byte,
// then the speech bits), as in an .amr file after its "#!AMR\n" header. The encoder always uses
// 12.2 kbit/s without DTX; the decoder takes any mode.

#include "codecs/backend.h"

#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace quillfen::codecs {
namespace {

constexpr std::size_t kFrameSamples = 160;
constexpr std::size_t kMaxFrameBytes = 32;
// Storage-format frame sizes, table-of-contents byte included, by frame type (bits 3..6 of it);
// 0 for the types no frame may have.
constexpr std::array<std::size_t, 16> kFrameBytes = {13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};

std::size_t frameBytes(std::uint8_t toc)
{
    return kFrameBytes[(toc >> 3) & 0x0F];
}

class AmrEncoder : public UnitEncoder
{
public:
    AmrEncoder() : m_state(Encoder_Interface_init(0))
    {
        if (m_state == nullptr)
            throw std::runtime_error("opencore-amrnb cannot start an encoder");
    }
    ~AmrEncoder() override { Encoder_Interface_exit(m_state); }
    AmrEncoder(const AmrEncoder&) = delete;
    AmrEncoder& operator=(const AmrEncoder&) = delete;

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        for (std::size_t at = 0; at + kFrameSamples <= samples.size(); at += kFrameSamples) {
            std::array<unsigned char, kMaxFrameBytes + 8> frame{};
            const int n = Encoder_Interface_Encode(m_state, MR122, samples.data() + at, frame.data(), 0);
            if (n > 0)
                out.insert(out.end(), frame.begin(), frame.begin() + n);
        }
    }

private:
    void* m_state;
};

class AmrDecoder : public UnitDecoder
{
public:
    AmrDecoder() : m_state(Decoder_Interface_init())
    {
        if (m_state == nullptr)
            throw std::runtime_error("opencore-amrnb cannot start a decoder");
    }
    ~AmrDecoder() override { Decoder_Interface_exit(m_state); }
    AmrDecoder(const AmrDecoder&) = delete;
    AmrDecoder& operator=(const AmrDecoder&) = delete;

    std::size_t wholeUnits(std::span<const std::uint8_t> bytes) const override
    {
        std::size_t at = 0;
        while (at < bytes.size()) {
            // A frame type no frame may have counts as a one-byte frame; the decoder makes
            // it a lost frame rather than stall on it.
            const std::size_t n = std::max<std::size_t>(frameBytes(bytes[at]), 1);
            if (at + n > bytes.size())
                break;
            at += n;
        }
        return at;
    }

    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override
    {
        std::array<unsigned char, kMaxFrameBytes> frame{};
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::max<std::size_t>(frameBytes(bytes[at]), 1);
            std::copy(bytes.begin() + at, bytes.begin() + at + n, frame.begin());
            const std::size_t start = out.size();
            out.resize(start + kFrameSamples);
            Decoder_Interface_Decode(m_state, frame.data(), out.data() + start,
                                     frameBytes(bytes[at]) == 0 ? 1 : 0);
            at += n;
        }
    }

private:
    void* m_state;
};

} // namespace

std::unique_ptr<UnitEncoder> makeAmrEncoder()
{
    return std::make_unique<AmrEncoder>();
}

std::unique_ptr<UnitDecoder> makeAmrDecoder()
{
    return std::make_unique<AmrDecoder>();
}

} // namespace quillfen::codecs
