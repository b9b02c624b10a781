#include "wav_join.h"

#include "error.h"
#include "input_file.h"
#include "replacement_file.h"

#include "tty/headerless_audio.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sndfile.h>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace wavcat {
namespace {

// Large enough that the write phase costs a few syscalls per MiB, like a plain copy.
constexpr std::size_t kWriteBufferBytes = std::size_t{1} << 20;
// Inputs that would take more than this decoded are read in steps while they are written, so that
// memory stays bounded whatever a stream sends.
constexpr std::size_t kLargeInputBytes = std::size_t{32} << 20;

std::string subtypeName(int format)
{
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_SUBMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
        return "format 0x" + std::to_string(info.format);
    return info.name;
}

std::string channelCount(int channels)
{
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

void checkSameFormat(const std::string& firstPath, const SF_INFO& a, const InputFile& other)
{
    const SF_INFO& b = other.info();
    const std::string prefix = "cannot join '" + other.path() + "': ";
    const std::string likeFirst = " like '" + firstPath + "'";
    if (b.samplerate != a.samplerate)
        throw Error(prefix + "sample rate " + std::to_string(b.samplerate) + " Hz, not " +
                    std::to_string(a.samplerate) + " Hz" + likeFirst);
    if (b.channels != a.channels)
        throw Error(prefix + channelCount(b.channels) + ", not " + channelCount(a.channels) + likeFirst);
    if (other.subtype() != (a.format & SF_FORMAT_SUBMASK))
        throw Error(prefix + "sample format '" + subtypeName(b.format) + "', not '" + subtypeName(a.format) +
                    "'" + likeFirst);
}

// A file of bare samples that phone systems play as they are, chosen by the output's extension.
struct Headerless
{
    std::string_view extension;
    int subtype;
    int rate; // and always one channel
};

std::optional<Headerless> headerlessOutput(const std::string& output)
{
    const auto format = quillfen::tty::headerlessFormatOf(output);
    if (!format)
        return std::nullopt;
    switch (format->encoding) {
    case quillfen::tty::SampleEncoding::Ulaw:
        return Headerless{format->extension, SF_FORMAT_ULAW, format->sampleRate};
    case quillfen::tty::SampleEncoding::Alaw:
        return Headerless{format->extension, SF_FORMAT_ALAW, format->sampleRate};
    case quillfen::tty::SampleEncoding::Pcm16:
        break;
    }
    return Headerless{format->extension, SF_FORMAT_PCM_16, format->sampleRate};
}

// A headerless file says nothing of its format, so the inputs must already be in the one its
// extension stands for; converting here would hide a wrong prompt set.
void checkFitsHeaderless(const InputFile& first, const std::string& output, const Headerless& kind)
{
    const SF_INFO& info = first.info();
    const std::string prefix = "cannot join '" + first.path() + "' into '" + output + "': ";
    const std::string needs = " as a headerless " + std::string(kind.extension) + " file holds";
    if (first.subtype() != kind.subtype)
        throw Error(prefix + "sample format '" + subtypeName(info.format) + "', not '" +
                    subtypeName(kind.subtype) + "'" + needs);
    if (info.samplerate != kind.rate)
        throw Error(prefix + "sample rate " + std::to_string(info.samplerate) + " Hz, not " +
                    std::to_string(kind.rate) + " Hz" + needs);
    if (info.channels != 1)
        throw Error(prefix + channelCount(info.channels) + ", not 1 channel" + needs);
}

SF_INFO outputFormat(const InputFile& first, const std::string& output)
{
    SF_INFO info{};
    info.samplerate = first.info().samplerate;
    info.channels = first.info().channels;
    info.format = SF_FORMAT_WAV | first.subtype();
    if (const auto kind = headerlessOutput(output)) {
        checkFitsHeaderless(first, output, *kind);
        // Signed linear is little-endian, as the systems that take it expect on every machine.
        info.format =
            SF_FORMAT_RAW | first.subtype() | (kind->subtype == SF_FORMAT_PCM_16 ? SF_ENDIAN_LITTLE : 0);
    }
    if (!sf_format_check(&info))
        throw Error("cannot join '" + first.path() + "': sample format '" + subtypeName(info.format) +
                    "' cannot be written to a WAV file");
    return info;
}

class OutputWav
{
public:
    OutputWav(ReplacementFile& file, SF_INFO info) : m_path(file.target()), m_channels(info.channels)
    {
        m_file = sf_open_fd(file.fd(), SFM_WRITE, &info, SF_FALSE);
        if (!m_file)
            throw cannotWrite(m_path, sndfileReason(nullptr));
    }
    OutputWav(const OutputWav&) = delete;
    OutputWav& operator=(const OutputWav&) = delete;
    ~OutputWav()
    {
        if (m_file)
            sf_close(m_file);
    }

    template <typename T> void write(const T* samples, sf_count_t frames)
    {
        errno = 0;
        if (writeFrames(samples, frames) != frames)
            fail();
    }

    // The header's sizes are final only here; a failure to write them is a failed output.
    void close()
    {
        sf_command(m_file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        if (sf_error(m_file) != SF_ERR_NO_ERROR)
            fail();
        const int result = sf_close(std::exchange(m_file, nullptr));
        if (result != SF_ERR_NO_ERROR)
            throw cannotWrite(m_path, sf_error_number(result));
    }

private:
    [[noreturn]] void fail()
    {
        throw cannotWrite(m_path, errno != 0 ? std::strerror(errno) : sndfileReason(m_file));
    }

    sf_count_t writeFrames(const short* p, sf_count_t n) { return sf_writef_short(m_file, p, n); }
    sf_count_t writeFrames(const int* p, sf_count_t n) { return sf_writef_int(m_file, p, n); }
    sf_count_t writeFrames(const float* p, sf_count_t n) { return sf_writef_float(m_file, p, n); }
    sf_count_t writeFrames(const double* p, sf_count_t n) { return sf_writef_double(m_file, p, n); }
    sf_count_t writeFrames(const std::byte* p, sf_count_t n)
    {
        const sf_count_t written = sf_write_raw(m_file, p, n * m_channels);
        return written < 0 ? written : written / m_channels;
    }

    std::string m_path;
    int m_channels;
    SNDFILE* m_file = nullptr;
};

// Opens inputs for a join into `output`, refusing any that is the output file under another name
// (a link, "./a.wav"): the join would replace what it reads.
class InputOpener
{
public:
    explicit InputOpener(const std::string& output)
        : m_output(output), m_existing(ReplacementFile::checkTarget(output))
    {
    }

    InputFile open(const std::string& path) const
    {
        InputFile in = InputFile::open(path);
        if (m_existing && in.identity() == *m_existing)
            throw cannotWrite(m_output, "the same file as the input '" + path + "'");
        return in;
    }

private:
    const std::string& m_output;
    std::optional<FileIdentity> m_existing;
};

template <typename T>
void joinAs(const std::vector<std::string>& inputs, const std::string& output, const InputOpener& opener,
            InputFile first)
{
    const SF_INFO format = outputFormat(first, output);
    const SF_INFO firstInfo = first.info();
    const auto channels = static_cast<std::size_t>(format.channels);

    // Decoded samples per distinct path, and each argument as an index into them: a text repeats a
    // few dozen prompts thousands of times. An input too large to hold decoded (a long stream) stays
    // open instead and is read again in steps wherever it is joined.
    std::vector<std::vector<T>> decoded;
    std::vector<std::optional<InputFile>> large;
    std::vector<std::uint32_t> order;
    order.reserve(inputs.size());
    std::unordered_map<std::string_view, std::uint32_t> seen;
    std::optional<InputFile> firstFile(std::move(first));
    for (const std::string& path : inputs) {
        const auto [it, added] = seen.try_emplace(path, static_cast<std::uint32_t>(decoded.size()));
        if (added) {
            InputFile in = firstFile ? std::move(*firstFile) : opener.open(path);
            if (firstFile)
                firstFile.reset();
            else
                checkSameFormat(inputs.front(), firstInfo, in);
            const bool tooLarge = in.samplesAtMost() * sizeof(T) > kLargeInputBytes;
            decoded.push_back(tooLarge ? std::vector<T>() : in.readAll<T>());
            large.push_back(tooLarge ? std::optional<InputFile>(std::move(in)) : std::nullopt);
        }
        order.push_back(it->second);
    }

    ReplacementFile file(output);
    OutputWav wav(file, format);
    std::vector<T> buffer;
    buffer.reserve(std::max(kWriteBufferBytes / sizeof(T), channels));
    const auto flush = [&] {
        wav.write(buffer.data(), static_cast<sf_count_t>(buffer.size() / channels));
        buffer.clear();
    };
    for (const std::uint32_t index : order) {
        if (large[index]) {
            flush();
            large[index]->template readEach<T>([&](const T* samples, std::size_t n) {
                wav.write(samples, static_cast<sf_count_t>(n / channels));
            });
            continue;
        }
        const std::vector<T>& samples = decoded[index];
        if (buffer.size() + samples.size() > buffer.capacity()) {
            flush();
            if (samples.size() > buffer.capacity()) {
                wav.write(samples.data(), static_cast<sf_count_t>(samples.size() / channels));
                continue;
            }
        }
        buffer.insert(buffer.end(), samples.begin(), samples.end());
    }
    flush();
    wav.close();
    file.commit();
}

} // namespace

void joinWavs(const std::vector<std::string>& inputs, const std::string& output)
{
    // The output is checked first, so that nothing is read for one that cannot be written.
    const InputOpener opener(output);
    InputFile first = opener.open(inputs.at(0));
    // A sample type that carries every value of the first input's format unchanged. The companding
    // laws are copied as stored: decoding and encoding again would not give every byte back.
    switch (first.subtype()) {
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return joinAs<std::byte>(inputs, output, opener, std::move(first));
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return joinAs<int>(inputs, output, opener, std::move(first));
    case SF_FORMAT_FLOAT:
        return joinAs<float>(inputs, output, opener, std::move(first));
    case SF_FORMAT_DOUBLE:
        return joinAs<double>(inputs, output, opener, std::move(first));
    default:
        return joinAs<short>(inputs, output, opener, std::move(first));
    }
}

} // namespace wavcat
