#include "conversion/clipboard_wav.h"

#include "platform/app_error.h"

#include <QtEndian>

#include <limits>

namespace quillfen {
namespace {

// The format tags of the WAVE header: linear PCM, A-law, µ-law.
constexpr quint16 kPcm = 1;
constexpr quint16 kAlaw = 6;
constexpr quint16 kUlaw = 7;

void put16(QByteArray& to, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    to.append(bytes, 2);
}

void put32(QByteArray& to, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    to.append(bytes, 4);
}

} // namespace

QByteArray wavFromHeaderless(const QByteArray& samples, Encoding encoding, int sampleRate)
{
    const bool linear = encoding == Encoding::Pcm16;
    const quint16 bytesPerSample = linear ? 2 : 1;
    // Formats other than PCM carry cbSize in "fmt " and a "fact" chunk with the sample count.
    const quint32 fmtSize = linear ? 16 : 18;
    const quint32 headerSize = 4 + (8 + fmtSize) + (linear ? 0 : 12) + 8;
    const quint32 pad = samples.size() & 1;
    if (quint64(samples.size()) + headerSize + pad > std::numeric_limits<quint32>::max())
        throw AppError::make(AppError::Overflow, QStringLiteral("the audio is too long for a WAV file"));
    const auto dataSize = quint32(samples.size());

    QByteArray wav;
    wav.reserve(8 + qsizetype(headerSize) + samples.size() + qsizetype(pad));
    wav.append("RIFF");
    put32(wav, headerSize + dataSize + pad);
    wav.append("WAVEfmt ");
    put32(wav, fmtSize);
    put16(wav, linear ? kPcm : encoding == Encoding::Alaw ? kAlaw : kUlaw);
    put16(wav, 1); // mono
    put32(wav, quint32(sampleRate));
    put32(wav, quint32(sampleRate) * bytesPerSample);
    put16(wav, bytesPerSample);
    put16(wav, bytesPerSample * 8);
    if (!linear) {
        put16(wav, 0);
        wav.append("fact");
        put32(wav, 4);
        put32(wav, dataSize);
    }
    wav.append("data");
    put32(wav, dataSize);
    wav.append(samples);
    if (pad)
        wav.append('\0');
    return wav;
}

QByteArray clipboardWavImage(const QString& path, const QByteArray& bytes)
{
    const auto kind = headerlessKindOf(path);
    return kind ? wavFromHeaderless(bytes, kind->encoding, kind->sampleRate) : bytes;
}

} // namespace quillfen
