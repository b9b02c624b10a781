#include "input_file.h"

#include "error.h"
#include "input_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace wavcat {
namespace {

// Samples decoded per read after the first, and bytes per read from a pipe: memory follows the data
// in steps of this size.
constexpr std::size_t kReadStep = std::size_t{1} << 16;
// What a pipe must send before it is taken for audio or refused: enough for any usual header.
constexpr std::size_t kPipeHeadBytes = std::size_t{1} << 16;
// What a pipe may hold in memory; the rest of a longer stream goes to an unnamed temporary file.
constexpr std::size_t kPipeMemoryBytes = std::size_t{64} << 20;

using ReadAt = std::function<bool(std::uint64_t at, unsigned char* to, std::size_t n)>;

std::uint64_t word32(const unsigned char* p, bool little)
{
    return little ? std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 |
                        std::uint64_t{p[3]} << 24
                  : std::uint64_t{p[3]} | std::uint64_t{p[2]} << 8 | std::uint64_t{p[1]} << 16 |
                        std::uint64_t{p[0]} << 24;
}

struct AudioChunk
{
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};

// A data chunk's length as its header gives it: RF64 puts it in ds64 and all ones in the chunk.
// nullopt for a length left "unknown" (0 or all ones).
std::optional<std::uint64_t> knownLength(std::uint64_t length, std::optional<std::uint64_t> ds64Length)
{
    if (length == 0xFFFFFFFF && ds64Length)
        length = *ds64Length;
    if (length == 0 || length == 0xFFFFFFFF)
        return std::nullopt;
    return length;
}

// The audio data as the header announces it, for the containers that give its length: WAVE in
// RIFF, RIFX or RF64, and AIFF/AIFC. nullopt where the header does not say, or says "unknown" (0 or
// all ones, as a writer that streams leaves it).
std::optional<AudioChunk> announcedAudio(const ReadAt& read, std::uint64_t size)
{
    std::array<unsigned char, 12> head{};
    if (!read(0, head.data(), head.size()))
        return std::nullopt;
    const std::string_view form(reinterpret_cast<const char*>(head.data()), 4);
    const std::string_view kind(reinterpret_cast<const char*>(head.data()) + 8, 4);
    const bool wave = kind == "WAVE" && (form == "RIFF" || form == "RIFX" || form == "RF64");
    const bool aiff = form == "FORM" && (kind == "AIFF" || kind == "AIFC");
    if (!wave && !aiff)
        return std::nullopt;
    const bool little = form != "RIFX" && !aiff;
    std::optional<std::uint64_t> ds64Length;
    // Every step moves on by at least 8 bytes, so the walk ends within the file.
    for (std::uint64_t at = 12; at + 8 <= size;) {
        std::array<unsigned char, 8 + 16> chunk{};
        if (!read(at, chunk.data(), 8))
            return std::nullopt;
        const std::string_view id(reinterpret_cast<const char*>(chunk.data()), 4);
        std::uint64_t length = word32(chunk.data() + 4, little);
        if (form == "RF64" && id == "ds64" && read(at + 8, chunk.data() + 8, 16))
            ds64Length = word32(chunk.data() + 16, true) | word32(chunk.data() + 20, true) << 32;
        if (id == (aiff ? "SSND" : "data")) {
            const auto known = knownLength(length, ds64Length);
            return known ? std::optional(AudioChunk{at + 8, *known}) : std::nullopt;
        }
        at += 8 + length + (length & 1);
    }
    return std::nullopt;
}

// libsndfile reads a file cut short inside its audio data as a shorter one, without a word.
void checkComplete(const std::string& path, const ReadAt& read, std::uint64_t size)
{
    const auto audio = announcedAudio(read, size);
    if (!audio)
        return;
    const std::uint64_t there = size > audio->start ? size - audio->start : 0;
    if (there < audio->length)
        throw cannotRead(path, "cut short: the header announces " + std::to_string(audio->length) +
                                   " bytes of audio, " + std::to_string(there) + " are there");
}

sf_count_t readFrames(SNDFILE* f, short* p, sf_count_t n, int)
{
    return sf_readf_short(f, p, n);
}
sf_count_t readFrames(SNDFILE* f, int* p, sf_count_t n, int)
{
    return sf_readf_int(f, p, n);
}
sf_count_t readFrames(SNDFILE* f, float* p, sf_count_t n, int)
{
    return sf_readf_float(f, p, n);
}
sf_count_t readFrames(SNDFILE* f, double* p, sf_count_t n, int)
{
    return sf_readf_double(f, p, n);
}
// The stored bytes of a one-byte-per-sample encoding, as they are: µ-law and A-law pass unchanged.
sf_count_t readFrames(SNDFILE* f, std::byte* p, sf_count_t n, int channels)
{
    const sf_count_t got = sf_read_raw(f, p, n * channels);
    return got < 0 ? got : got / channels;
}

} // namespace

// A pipe's bytes, read to its end as they arrive and served to libsndfile as a file of known size,
// so that a header's claims meet the same checks as in a regular file.
struct InputFile::Stream
{
    std::string bytes;
    sf_count_t position = 0;

    static sf_count_t length(void* self) { return sf_count_t(static_cast<Stream*>(self)->bytes.size()); }
    static sf_count_t tell(void* self) { return static_cast<Stream*>(self)->position; }
    static sf_count_t seek(sf_count_t offset, int whence, void* self)
    {
        auto& s = *static_cast<Stream*>(self);
        const sf_count_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? length(self) : 0;
        if (offset < -base || offset > length(self) - base)
            return -1;
        return s.position = base + offset;
    }
    static sf_count_t read(void* to, sf_count_t count, void* self)
    {
        auto& s = *static_cast<Stream*>(self);
        const sf_count_t n =
            std::clamp<sf_count_t>(length(self) - s.position, 0, std::max<sf_count_t>(count, 0));
        std::memcpy(to, s.bytes.data() + s.position, std::size_t(n));
        s.position += n;
        return n;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }

    // Reads until the pipe ends (true) or `limit` bytes are here (false).
    bool readUpTo(int fd, const std::string& path, std::size_t limit)
    {
        while (bytes.size() < limit) {
            const std::size_t used = bytes.size();
            const std::size_t step = std::min(kReadStep, limit - used);
            bytes.resize(used + step);
            const std::size_t got = readSome(fd, bytes.data() + used, step, path);
            bytes.resize(used + got);
            if (got == 0)
                return true;
        }
        return false;
    }

    // Whether libsndfile takes what is here for audio; a stream that is not is refused before more
    // of it is read.
    bool opensAsAudio()
    {
        SF_VIRTUAL_IO io{&length, &seek, &read, &write, &tell};
        SF_INFO info{};
        position = 0;
        SNDFILE* probe = sf_open_virtual(&io, SFM_READ, &info, this);
        position = 0;
        if (!probe)
            return false;
        sf_close(probe);
        return true;
    }
};

namespace {

// The bytes so far and the rest of the pipe, in an unnamed temporary file.
int spillToTemporaryFile(const std::string& head, int pipe, const std::string& path)
{
    std::string dir;
    const int fd = unnamedTemporaryFile(dir);
    if (fd < 0)
        throw cannotRead(path, "no temporary file for a long stream in " + dir + ": " + std::strerror(errno));
    const auto fail = [&](int error, const std::string& what) {
        closeInput(fd);
        return cannotRead(path, what + std::strerror(error));
    };
    if (const int error = writeAll(fd, head.data(), head.size()))
        throw fail(error, "cannot keep a long stream in " + dir + ": ");
    std::vector<char> buffer(kReadStep);
    for (;;) {
        std::size_t got = 0;
        try {
            got = readSome(pipe, buffer.data(), buffer.size(), path);
        } catch (const Error&) {
            closeInput(fd);
            throw;
        }
        if (got == 0)
            return fd;
        if (const int error = writeAll(fd, buffer.data(), got))
            throw fail(error, "cannot keep a long stream in " + dir + ": ");
    }
}

ReadAt readAtFile(int fd)
{
    return [fd](std::uint64_t at, unsigned char* to, std::size_t n) { return readAt(fd, at, to, n); };
}

} // namespace

InputFile::InputFile(std::string path) : m_path(std::move(path)) {}

InputFile::InputFile(InputFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1)),
      m_stream(std::move(other.m_stream)), m_file(std::exchange(other.m_file, nullptr)), m_info(other.m_info),
      m_bytes(other.m_bytes)
{
}

InputFile::~InputFile()
{
    if (m_file)
        sf_close(m_file);
    if (m_fd >= 0)
        closeInput(m_fd);
}

InputFile InputFile::open(const std::string& path)
{
    InputFile in(path);
    // Opening the descriptor ourselves gives the system's reason for a missing or unreadable file
    // rather than libsndfile's paraphrase of it.
    const OpenedInput opened = openInput(path);
    in.m_fd = opened.fd;
    in.m_identity = opened.identity;
    std::uint64_t size = opened.size;
    ReadAt readFileAt;
    if (!opened.regular) {
        in.m_stream = std::make_unique<Stream>();
        const bool ended = in.m_stream->readUpTo(in.m_fd, path, kPipeHeadBytes);
        if (!in.m_stream->opensAsAudio())
            throw cannotRead(path, sndfileReason(nullptr));
        if (!ended && !in.m_stream->readUpTo(in.m_fd, path, kPipeMemoryBytes)) {
            const int spilled = spillToTemporaryFile(in.m_stream->bytes, in.m_fd, path);
            in.m_stream.reset();
            closeInput(std::exchange(in.m_fd, spilled));
            const auto spilledSize = rewindFile(in.m_fd);
            if (!spilledSize)
                throw cannotRead(path, std::strerror(errno));
            size = *spilledSize;
        }
    }
    if (!in.m_stream) {
        in.m_bytes = size;
        in.m_file = sf_open_fd(in.m_fd, SFM_READ, &in.m_info, SF_FALSE);
        readFileAt = readAtFile(in.m_fd);
    } else {
        const std::string& bytes = in.m_stream->bytes;
        in.m_bytes = bytes.size();
        SF_VIRTUAL_IO io{&Stream::length, &Stream::seek, &Stream::read, &Stream::write, &Stream::tell};
        in.m_file = sf_open_virtual(&io, SFM_READ, &in.m_info, in.m_stream.get());
        readFileAt = [&bytes](std::uint64_t at, unsigned char* to, std::size_t n) {
            if (at > bytes.size() || n > bytes.size() - at)
                return false;
            std::memcpy(to, bytes.data() + at, n);
            return true;
        };
    }
    if (!in.m_file)
        throw cannotRead(path, sndfileReason(nullptr));
    checkComplete(path, readFileAt, in.m_bytes);
    return in;
}

template <typename T> std::vector<T> InputFile::readAll()
{
    const auto channels = static_cast<std::size_t>(m_info.channels);
    // The usual file is read in one call: room for what the header announces and one frame more to
    // see the end, but never for more samples than the file has bytes. Beyond that the samples grow
    // in steps, as they really decode.
    const auto announced = static_cast<std::uint64_t>(std::max<sf_count_t>(m_info.frames, 0));
    auto chunk = static_cast<sf_count_t>(std::min(announced, m_bytes / channels) + 1);
    std::vector<T> samples;
    for (;;) {
        const std::size_t used = samples.size();
        samples.resize(used + static_cast<std::size_t>(chunk) * channels);
        const sf_count_t got = readFrames(m_file, samples.data() + used, chunk, m_info.channels);
        samples.resize(used + static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * channels);
        if (got < chunk)
            break;
        chunk = static_cast<sf_count_t>(std::max<std::size_t>(kReadStep / channels, 1));
    }
    if (sf_error(m_file) != SF_ERR_NO_ERROR)
        throw cannotRead(m_path, sndfileReason(m_file));
    samples.shrink_to_fit();
    return samples;
}

std::uint64_t InputFile::samplesAtMost() const
{
    const auto channels = static_cast<std::uint64_t>(m_info.channels);
    return std::min(static_cast<std::uint64_t>(std::max<sf_count_t>(m_info.frames, 0)), m_bytes / channels) *
           channels;
}

template <typename T> void InputFile::readEach(const std::function<void(const T*, std::size_t)>& use)
{
    if (sf_seek(m_file, 0, SEEK_SET) != 0)
        throw cannotRead(m_path, sndfileReason(m_file));
    const auto channels = static_cast<std::size_t>(m_info.channels);
    const auto chunk = static_cast<sf_count_t>(std::max<std::size_t>(kReadStep / channels, 1));
    std::vector<T> samples(static_cast<std::size_t>(chunk) * channels);
    for (;;) {
        const sf_count_t got = readFrames(m_file, samples.data(), chunk, m_info.channels);
        if (got > 0)
            use(samples.data(), static_cast<std::size_t>(got) * channels);
        if (got < chunk)
            break;
    }
    if (sf_error(m_file) != SF_ERR_NO_ERROR)
        throw cannotRead(m_path, sndfileReason(m_file));
}

template void InputFile::readEach<short>(const std::function<void(const short*, std::size_t)>&);
template void InputFile::readEach<int>(const std::function<void(const int*, std::size_t)>&);
template void InputFile::readEach<float>(const std::function<void(const float*, std::size_t)>&);
template void InputFile::readEach<double>(const std::function<void(const double*, std::size_t)>&);
template void InputFile::readEach<std::byte>(const std::function<void(const std::byte*, std::size_t)>&);

template std::vector<short> InputFile::readAll<short>();
template std::vector<int> InputFile::readAll<int>();
template std::vector<float> InputFile::readAll<float>();
template std::vector<double> InputFile::readAll<double>();
template std::vector<std::byte> InputFile::readAll<std::byte>();

} // namespace wavcat
