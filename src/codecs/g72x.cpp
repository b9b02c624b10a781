// G.722 and G.726 through spandsp. Both are waveform codecs that encode sample by sample, so a
// unit is as small as a byte: one for each 8 kHz sample in G.722 at 64 kbit/s (two 16 kHz samples,
// the rate G.722 runs at, reached through a low-pass filter each way), and one for each two
// samples in G.726 at 32 kbit/s.

#include "codecs/backend.h"
#include "codecs/resampler.h"

#include <stdexcept>

// spandsp last: its headers need <cstdint> before them and upset <cmath> after them.
#include <spandsp/telephony.h>

#include <spandsp/g722.h>
#include <spandsp/g726.h>

namespace quillfen::codecs {
namespace {

constexpr int kG722BitRate = 64000;
constexpr int kG726BitRate = 32000;

class G722Encoder : public UnitEncoder
{
public:
    G722Encoder() : m_state(g722_encode_init(nullptr, kG722BitRate, 0))
    {
        if (m_state == nullptr)
            throw std::runtime_error("spandsp cannot start a G.722 encoder");
    }
    ~G722Encoder() override { g722_encode_free(m_state); }
    G722Encoder(const G722Encoder&) = delete;
    G722Encoder& operator=(const G722Encoder&) = delete;

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        m_wide.clear();
        m_filter.upsample(samples, m_wide);
        const std::size_t start = out.size();
        out.resize(start + m_wide.size() / 2);
        const int n =
            g722_encode(m_state, out.data() + start, m_wide.data(), static_cast<int>(m_wide.size()));
        out.resize(start + static_cast<std::size_t>(n));
    }

private:
    g722_encode_state_t* m_state;
    Resampler2x m_filter;
    std::vector<std::int16_t> m_wide;
};

class G722Decoder : public FixedUnitDecoder
{
public:
    G722Decoder() : FixedUnitDecoder(1), m_state(g722_decode_init(nullptr, kG722BitRate, 0))
    {
        if (m_state == nullptr)
            throw std::runtime_error("spandsp cannot start a G.722 decoder");
    }
    ~G722Decoder() override { g722_decode_free(m_state); }
    G722Decoder(const G722Decoder&) = delete;
    G722Decoder& operator=(const G722Decoder&) = delete;

    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override
    {
        m_wide.resize(2 * bytes.size());
        const int n = g722_decode(m_state, m_wide.data(), bytes.data(), static_cast<int>(bytes.size()));
        m_wide.resize(static_cast<std::size_t>(n));
        m_filter.downsample(m_wide, out);
    }

private:
    g722_decode_state_t* m_state;
    Resampler2x m_filter;
    std::vector<std::int16_t> m_wide;
};

// The first sample of each pair goes in the low nibble, the order of RTP's G726-32 payload.
class G726Encoder : public UnitEncoder
{
public:
    G726Encoder() : m_state(g726_init(nullptr, kG726BitRate, G726_ENCODING_LINEAR, G726_PACKING_RIGHT))
    {
        if (m_state == nullptr)
            throw std::runtime_error("spandsp cannot start a G.726 encoder");
    }
    ~G726Encoder() override { g726_free(m_state); }
    G726Encoder(const G726Encoder&) = delete;
    G726Encoder& operator=(const G726Encoder&) = delete;

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        const std::size_t start = out.size();
        out.resize(start + samples.size() / 2);
        const int n =
            g726_encode(m_state, out.data() + start, samples.data(), static_cast<int>(samples.size()));
        out.resize(start + static_cast<std::size_t>(n));
    }

private:
    g726_state_t* m_state;
};

class G726Decoder : public FixedUnitDecoder
{
public:
    G726Decoder()
        : FixedUnitDecoder(1),
          m_state(g726_init(nullptr, kG726BitRate, G726_ENCODING_LINEAR, G726_PACKING_RIGHT))
    {
        if (m_state == nullptr)
            throw std::runtime_error("spandsp cannot start a G.726 decoder");
    }
    ~G726Decoder() override { g726_free(m_state); }
    G726Decoder(const G726Decoder&) = delete;
    G726Decoder& operator=(const G726Decoder&) = delete;

    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override
    {
        const std::size_t start = out.size();
        out.resize(start + 2 * bytes.size());
        const int n = g726_decode(m_state, out.data() + start, bytes.data(), static_cast<int>(bytes.size()));
        out.resize(start + static_cast<std::size_t>(n));
    }

private:
    g726_state_t* m_state;
};

} // namespace

std::vector<std::uint8_t> encodeG722Wideband(std::span<const std::int16_t> samples16k)
{
    std::vector<std::int16_t> padded;
    if (samples16k.size() % 2 != 0) {
        padded.assign(samples16k.begin(), samples16k.end());
        padded.push_back(0);
        samples16k = padded;
    }
    g722_encode_state_t* state = g722_encode_init(nullptr, kG722BitRate, 0);
    if (state == nullptr)
        throw std::runtime_error("spandsp cannot start a G.722 encoder");
    std::vector<std::uint8_t> out(samples16k.size() / 2);
    const int n = g722_encode(state, out.data(), samples16k.data(), static_cast<int>(samples16k.size()));
    g722_encode_free(state);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::unique_ptr<UnitEncoder> makeG722Encoder()
{
    return std::make_unique<G722Encoder>();
}

std::unique_ptr<UnitDecoder> makeG722Decoder()
{
    return std::make_unique<G722Decoder>();
}

std::unique_ptr<UnitEncoder> makeG726Encoder()
{
    return std::make_unique<G726Encoder>();
}

std::unique_ptr<UnitDecoder> makeG726Decoder()
{
    return std::make_unique<G726Decoder>();
}

} // namespace quillfen::codecs
