// GSM 06.10 through libsndfile's raw GSM format: 33-byte frames of 160 samples, the layout of a
// raw .gsm file. libsndfile works on files, so each side keeps one open on memory and moves bytes
// through it as they come.

#include "codecs/backend.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillfen::codecs {
namespace {

constexpr std::size_t kFrameSamples = 160;
constexpr std::size_t kFrameBytes = 33;
// The decoder's file claims to be this long so that libsndfile never sees its end; the decoder
// only asks for frames whose bytes have arrived.
constexpr sf_count_t kEndlessFile = sf_count_t{1} << 32; // a month of GSM; libsndfile refuses much more

// A file in memory that is written at its end and read from its front; bytes already read are
// forgotten.
struct MemoryFile
{
    std::vector<std::uint8_t> bytes;
    sf_count_t consumed = 0; // bytes before the front of `bytes`
    sf_count_t position = 0;
};

sf_count_t memLength(void*)
{
    return kEndlessFile;
}

sf_count_t memSeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    if (whence == SEEK_SET)
        file->position = offset;
    else if (whence == SEEK_CUR)
        file->position += offset;
    else
        file->position = kEndlessFile + offset;
    return file->position;
}

sf_count_t memRead(void* data, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t start = file->position - file->consumed;
    if (start < 0 || count < 0)
        return 0;
    const auto available = static_cast<sf_count_t>(file->bytes.size()) - start;
    const sf_count_t n = std::clamp<sf_count_t>(available, 0, count);
    std::memcpy(data, file->bytes.data() + start, static_cast<std::size_t>(n));
    file->bytes.erase(file->bytes.begin(), file->bytes.begin() + start + n);
    file->consumed += start + n;
    file->position += n;
    return n;
}

sf_count_t memWrite(const void* data, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const auto* p = static_cast<const std::uint8_t*>(data);
    file->bytes.insert(file->bytes.end(), p, p + count);
    file->position += count;
    return count;
}

sf_count_t memTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

SF_VIRTUAL_IO memoryIo{memLength, memSeek, memRead, memWrite, memTell};

struct SndfileCloser
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

SndfileHandle openRawGsm(int mode, MemoryFile& file)
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_RAW | SF_FORMAT_GSM610;
    SndfileHandle handle(sf_open_virtual(&memoryIo, mode, &info, &file));
    if (!handle)
        throw std::runtime_error(std::string("libsndfile cannot open GSM 06.10: ") + sf_strerror(nullptr));
    return handle;
}

class GsmEncoder : public UnitEncoder
{
public:
    GsmEncoder() : m_handle(openRawGsm(SFM_WRITE, m_file)) {}

    void encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) override
    {
        // Whole frames only, so libsndfile writes each block at once and never pads one.
        sf_write_short(m_handle.get(), samples.data(), static_cast<sf_count_t>(samples.size()));
        out.insert(out.end(), m_file.bytes.begin(), m_file.bytes.end());
        m_file.bytes.clear();
    }

private:
    MemoryFile m_file; // before m_handle: closing the handle still writes to it
    SndfileHandle m_handle;
};

class GsmDecoder : public FixedUnitDecoder
{
public:
    GsmDecoder() : FixedUnitDecoder(kFrameBytes) {}

    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override
    {
        m_file.bytes.insert(m_file.bytes.end(), bytes.begin(), bytes.end());
        // Opening reads the first frame at once, so the file opens when that frame is here.
        if (!m_handle)
            m_handle = openRawGsm(SFM_READ, m_file);
        const std::size_t samples = bytes.size() / kFrameBytes * kFrameSamples;
        const std::size_t start = out.size();
        out.resize(start + samples);
        const sf_count_t got =
            sf_read_short(m_handle.get(), out.data() + start, static_cast<sf_count_t>(samples));
        out.resize(start + static_cast<std::size_t>(std::max<sf_count_t>(got, 0)));
    }

private:
    MemoryFile m_file;
    SndfileHandle m_handle;
};

} // namespace

std::unique_ptr<UnitEncoder> makeGsmEncoder()
{
    return std::make_unique<GsmEncoder>();
}

std::unique_ptr<UnitDecoder> makeGsmDecoder()
{
    return std::make_unique<GsmDecoder>();
}

} // namespace quillfen::codecs
