#pragma once

// What each codec's library wrapper provides to codec.cpp. Not part of the public interface.

#include "codecs/codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quillfen::codecs {

class UnitEncoder
{
public:
    virtual ~UnitEncoder() = default;
    // samples holds whole units; appends their bytes (for Opus: one unit, one packet).
    virtual void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) = 0;
};

class UnitDecoder
{
public:
    virtual ~UnitDecoder() = default;
    // How many bytes at the front of bytes make whole units.
    virtual std::size_t wholeUnits(std::span<const std::uint8_t> bytes) const = 0;
    // bytes holds whole units (for Opus: one packet); appends their samples.
    virtual void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) = 0;
};

// Units of one fixed size.
class FixedUnitDecoder : public UnitDecoder
{
public:
    explicit FixedUnitDecoder(std::size_t unitBytes) : m_unitBytes(unitBytes) {}
    std::size_t wholeUnits(std::span<const std::uint8_t> bytes) const override
    {
        return bytes.size() - bytes.size() % m_unitBytes;
    }

private:
    std::size_t m_unitBytes;
};

std::unique_ptr<UnitEncoder> makeGsmEncoder();
std::unique_ptr<UnitDecoder> makeGsmDecoder();
std::unique_ptr<UnitEncoder> makeG729Encoder();
std::unique_ptr<UnitDecoder> makeG729Decoder();
std::unique_ptr<UnitEncoder> makeAmrEncoder();
std::unique_ptr<UnitDecoder> makeAmrDecoder();
std::unique_ptr<UnitEncoder> makeOpusEncoder();
std::unique_ptr<UnitDecoder> makeOpusDecoder();
std::unique_ptr<UnitEncoder> makeG722Encoder();
std::unique_ptr<UnitDecoder> makeG722Decoder();
std::unique_ptr<UnitEncoder> makeG726Encoder();
std::unique_ptr<UnitDecoder> makeG726Decoder();

} // namespace quillfen::codecs
