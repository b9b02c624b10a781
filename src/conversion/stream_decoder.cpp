// The decoder live on a stream: the WAV header read as it comes (a pipe cannot seek back), the audio
// in blocks of 10 ms, the reading handed on whenever the decoder has read more.
#include "conversion/stream_decoder.h"

#include "platform/app_error.h"

#include <QString>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace quillfen::tty {
namespace {

// A block waits for all its bytes: at most this much audio sits unread while a live writer pauses.
constexpr double kBlockSeconds = 0.01;
// More channels than this are no telephone recording, and each costs a decoder.
constexpr unsigned kMaxChannels = 16;
// A format chunk longer than this is damaged.
constexpr std::uint32_t kMaxFormatBytes = 1024;
// The audio sizes a writer that cannot know the size puts in the header.
constexpr std::uint32_t kSizeNotKnown = 0, kSizeNotKnownEither = 0xFFFFFFFF;
// WAVE_FORMAT_PCM, _IEEE_FLOAT, _ALAW, _MULAW and _EXTENSIBLE (whose subformat then says which).
constexpr unsigned kPcm = 1, kFloat = 3, kAlaw = 6, kUlaw = 7, kExtensible = 0xFFFE;

enum class Sample { U8, S16, S24, S32, F32, F64, Ulaw, Alaw };

// The WAV sample forms the decoder takes: format tag and bits per sample.
struct SampleForm
{
    unsigned tag, bits;
    Sample sample;
};
constexpr SampleForm kSampleForms[] = {
    {kPcm, 8, Sample::U8},     {kPcm, 16, Sample::S16},   {kPcm, 24, Sample::S24},  {kPcm, 32, Sample::S32},
    {kFloat, 32, Sample::F32}, {kFloat, 64, Sample::F64}, {kUlaw, 8, Sample::Ulaw}, {kAlaw, 8, Sample::Alaw},
};

struct Layout
{
    double rate = 0;
    unsigned channels = 1;
    Sample sample = Sample::S16;
    unsigned bytes = 2;                      // per sample
    std::optional<std::uint64_t> audioBytes; // none: to the end of the stream
};

AppError streamError(const std::string& name, AppError::Number number, const QString& why)
{
    return AppError::make(number, QString::fromLocal8Bit(name.c_str()) + QStringLiteral(": ") + why);
}

AppError readingFailed(const std::string& name, int error)
{
    return streamError(
        name, AppError::DeviceIoError,
        QStringLiteral("reading failed (%1)").arg(QString::fromLocal8Bit(std::strerror(error))));
}

std::uint32_t le16(const unsigned char* p)
{
    return p[0] | (p[1] << 8U);
}

std::uint32_t le32(const unsigned char* p)
{
    return le16(p) | (le16(p + 2) << 16U);
}

// The next `n` bytes of the header; a stream that ends first is no WAV stream.
std::vector<unsigned char> headerBytes(std::FILE* in, std::size_t n, const std::string& name)
{
    std::vector<unsigned char> bytes(n);
    const std::size_t got = std::fread(bytes.data(), 1, n, in);
    if (got == n)
        return bytes;
    if (std::ferror(in))
        throw readingFailed(name, errno);
    throw streamError(name, AppError::BadFileName, QStringLiteral("the stream ends inside its WAV header"));
}

QString rateProblem(double rate)
{
    if (isDecodableRate(rate))
        return {};
    return QStringLiteral("the sample rate is %1 Hz; recordings from 8000 to 192000 Hz can be decoded")
        .arg(rate, 0, 'f', 0);
}

Layout layoutOf(const std::vector<unsigned char>& fmt, const std::string& name)
{
    if (fmt.size() < 16)
        throw streamError(name, AppError::BadFileName, QStringLiteral("its WAV format chunk is too short"));
    unsigned tag = le16(&fmt[0]);
    const unsigned bits = le16(&fmt[14]);
    // The extensible form names its encoding in the first two bytes of its subformat.
    if (tag == kExtensible && fmt.size() >= 26)
        tag = le16(&fmt[24]);
    Layout layout;
    layout.channels = le16(&fmt[2]);
    layout.rate = le32(&fmt[4]);
    const auto* form = std::find_if(std::begin(kSampleForms), std::end(kSampleForms),
                                    [&](const SampleForm& f) { return f.tag == tag && f.bits == bits; });
    if (form == std::end(kSampleForms))
        throw streamError(
            name, AppError::BadFileName,
            QStringLiteral("its audio is in a form that cannot be decoded (format %1, %2 bits); "
                           "PCM of 8 to 32 bits, float, u-law and A-law can")
                .arg(tag)
                .arg(bits));
    layout.sample = form->sample;
    layout.bytes = bits / 8;
    if (layout.channels < 1 || layout.channels > kMaxChannels)
        throw streamError(name, AppError::BadFileName,
                          QStringLiteral("it has %1 channels; 1 to %2 can be decoded")
                              .arg(layout.channels)
                              .arg(kMaxChannels));
    if (le16(&fmt[12]) != layout.channels * layout.bytes)
        throw streamError(name, AppError::BadFileName,
                          QStringLiteral("its WAV header gives a frame size that does not fit its samples"));
    if (const QString problem = rateProblem(layout.rate); !problem.isEmpty())
        throw streamError(name, AppError::InvalidProcedureCall, problem);
    return layout;
}

// Reads the header up to the first byte of audio: the chunks before it in any order, the format
// first of all.
Layout readWavHeader(std::FILE* in, const std::string& name)
{
    // Text or other audio, however short, is told as what it is, not as a header cut short.
    std::vector<unsigned char> riff(12);
    const std::size_t got = std::fread(riff.data(), 1, riff.size(), in);
    if (got < riff.size() && std::ferror(in))
        throw readingFailed(name, errno);
    if (got == 0)
        throw streamError(name, AppError::BadFileName, QStringLiteral("nothing came, not even a WAV header"));
    const auto is = [](const unsigned char* p, const char* id) { return std::memcmp(p, id, 4) == 0; };
    const bool riffStart = std::memcmp(riff.data(), "RIFF", std::min<std::size_t>(got, 4)) == 0 ||
                           std::memcmp(riff.data(), "RF64", std::min<std::size_t>(got, 4)) == 0;
    if (!riffStart || (got == riff.size() && !is(riff.data() + 8, "WAVE")))
        throw streamError(
            name, AppError::BadFileName,
            QStringLiteral("not a WAV stream (it does not start with a RIFF WAVE header); audio "
                           "without a header needs its rate and encoding given"));
    if (got < riff.size())
        throw streamError(name, AppError::BadFileName,
                          QStringLiteral("the stream ends inside its WAV header"));
    std::optional<Layout> layout;
    for (;;) {
        const std::vector<unsigned char> chunk = headerBytes(in, 8, name);
        const std::uint32_t size = le32(&chunk[4]);
        if (is(chunk.data(), "data")) {
            if (!layout)
                throw streamError(name, AppError::BadFileName,
                                  QStringLiteral("its audio comes before its WAV format chunk"));
            if (size != kSizeNotKnown && size != kSizeNotKnownEither)
                layout->audioBytes = size;
            return *layout;
        }
        // Chunks are padded to an even size.
        const std::uint64_t body = std::uint64_t{size} + (size & 1U);
        if (is(chunk.data(), "fmt ")) {
            if (size > kMaxFormatBytes)
                throw streamError(name, AppError::BadFileName,
                                  QStringLiteral("its WAV format chunk is damaged"));
            layout = layoutOf(headerBytes(in, body, name), name);
            continue;
        }
        for (std::uint64_t left = body; left > 0;)
            left -=
                headerBytes(in, static_cast<std::size_t>(std::min<std::uint64_t>(left, 4096)), name).size();
    }
}

Layout rawLayout(const StreamFormat& format, const std::string& name)
{
    if (const QString problem = rateProblem(format.rawRate); !problem.isEmpty())
        throw streamError(name, AppError::InvalidProcedureCall, problem);
    Layout layout;
    layout.rate = format.rawRate;
    switch (format.rawEncoding) {
    case SampleEncoding::Pcm16:
        break;
    case SampleEncoding::Ulaw:
        layout.sample = Sample::Ulaw;
        layout.bytes = 1;
        break;
    case SampleEncoding::Alaw:
        layout.sample = Sample::Alaw;
        layout.bytes = 1;
        break;
    }
    return layout;
}

// G.711 expansion to 16-bit linear.
int ulawToLinear(unsigned char u)
{
    u = static_cast<unsigned char>(~u);
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7);
    return (u & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}

int alawToLinear(unsigned char a)
{
    a ^= 0x55;
    const int exponent = (a >> 4) & 7, mantissa = a & 0x0F;
    const int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return (a & 0x80) ? magnitude : -magnitude;
}

float sampleAt(const unsigned char* p, Sample sample)
{
    switch (sample) {
    case Sample::U8:
        return static_cast<float>(p[0] - 128) / 128.0F;
    case Sample::S16:
        return static_cast<float>(static_cast<std::int16_t>(le16(p))) / 32768.0F;
    case Sample::S24:
        // Into the top of 32 bits, so that the sign comes along.
        return static_cast<float>(
                   static_cast<std::int32_t>((p[0] << 8U) | (p[1] << 16U) | (std::uint32_t{p[2]} << 24U))) /
               2147483648.0F;
    case Sample::S32:
        return static_cast<float>(static_cast<std::int32_t>(le32(p))) / 2147483648.0F;
    case Sample::F32:
        return std::bit_cast<float>(le32(p));
    case Sample::F64:
        return static_cast<float>(
            std::bit_cast<double>(std::uint64_t{le32(p)} | (std::uint64_t{le32(p + 4)} << 32U)));
    case Sample::Ulaw:
        return static_cast<float>(ulawToLinear(p[0])) / 32768.0F;
    case Sample::Alaw:
        return static_cast<float>(alawToLinear(p[0])) / 32768.0F;
    }
    return 0.0F;
}

} // namespace

bool decodeStream(std::FILE* in, const std::string& name, const StreamFormat& format,
                  const DecodeOptions& options, const std::function<void(const LivePiece&)>& out)
{
    const Layout layout = format.rawRate != 0 ? rawLayout(format, name) : readWavHeader(in, name);
    Decoder decoder(layout.rate, static_cast<int>(layout.channels), options);
    LiveText live;
    const auto handOn = [&](const std::vector<LivePiece>& pieces) {
        for (const LivePiece& piece : pieces)
            out(piece);
    };
    const std::size_t frameBytes = std::size_t{layout.channels} * layout.bytes;
    const auto blockFrames = static_cast<std::size_t>(std::max(1L, std::lround(layout.rate * kBlockSeconds)));
    std::vector<unsigned char> block(blockFrames * frameBytes);
    std::vector<float> samples(blockFrames);
    std::optional<std::uint64_t> left = layout.audioBytes;
    std::size_t progress = decoder.progress();
    for (;;) {
        const std::size_t want =
            left ? static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), *left)) : block.size();
        if (want == 0)
            break;
        const std::size_t got = std::fread(block.data(), 1, want, in);
        if (left)
            *left -= got;
        const std::size_t frames = got / frameBytes;
        for (std::size_t c = 0; c < layout.channels && frames > 0; ++c) {
            for (std::size_t i = 0; i < frames; ++i)
                samples[i] = sampleAt(&block[i * frameBytes + c * layout.bytes], layout.sample);
            decoder.push(static_cast<int>(c), std::span<const float>(samples.data(), frames));
        }
        if (decoder.progress() != progress) {
            progress = decoder.progress();
            handOn(live.update(decoder.readSoFar()));
        }
        if (got < want)
            break;
    }
    const int error = std::ferror(in) ? errno : 0;
    decoder.finish();
    handOn(live.update(decoder.readSoFar()));
    handOn(live.finish());
    if (error != 0)
        throw readingFailed(name, error);
    return live.printedAny();
}

} // namespace quillfen::tty
