#include "conversion/encoded_output.h"

#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <sndfile.h>

namespace quillfen {
namespace {

using codecs::Codec;

const std::array<EncodedKind, 6>& kinds()
{
    // The speech codecs take 8 kHz audio, so they are joined from the standard rate's prompts; G.722
    // is joined from the 16 kHz prompts, its own rate, as a message set makes it. The tones lie well
    // below any of their band edges.
    static const std::array<EncodedKind, 6> table{{
        {QStringLiteral(".gsm"),
         QStringLiteral("GSM 06.10"),
         {Encoding::Pcm16, 8000},
         QStringLiteral(".sln"),
         Codec::Gsm,
         std::nullopt,
         8000,
         true,
         true},
        {QStringLiteral(".g729"),
         QStringLiteral("G.729"),
         {Encoding::Pcm16, 8000},
         QStringLiteral(".sln"),
         Codec::G729,
         std::nullopt,
         8000,
         true,
         true},
        {QStringLiteral(".g722"),
         QStringLiteral("G.722"),
         {Encoding::Pcm16, 16000},
         QStringLiteral(".sln16"),
         Codec::G722,
         std::nullopt,
         16000,
         true,
         false},
        {QStringLiteral(".wav16"),
         QStringLiteral("16 kHz WAV"),
         {Encoding::Pcm16, 16000},
         QStringLiteral(".wav"),
         std::nullopt,
         Encoding::Pcm16,
         16000,
         false,
         false},
        {QStringLiteral(".pcmu"),
         QStringLiteral("PCMU"),
         {Encoding::Ulaw, 8000},
         QStringLiteral(".ulaw"),
         std::nullopt,
         Encoding::Ulaw,
         8000,
         true,
         false},
        {QStringLiteral(".pcma"),
         QStringLiteral("PCMA"),
         {Encoding::Alaw, 8000},
         QStringLiteral(".alaw"),
         std::nullopt,
         Encoding::Alaw,
         8000,
         true,
         false},
    }};
    return table;
}

// Only ASCII letters fold, as for the headerless names.
bool endsWithAsciiCaseless(const QString& name, const QString& extension)
{
    const QByteArray bytes = QFile::encodeName(name);
    return tty::endsWithIgnoringAsciiCase(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                                          extension.toStdString());
}

std::vector<float> toFloats(std::span<const std::int16_t> samples)
{
    std::vector<float> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(),
                   [](std::int16_t v) { return float(v) / 32768.0F; });
    return out;
}

void writeBytes(const QString& path, std::span<const std::uint8_t> bytes)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) !=
            qint64(bytes.size()) ||
        !out.commit())
        throw AppError::make(AppError::PathFileAccessError, path, out.errorString());
}

std::pair<std::vector<float>, double> readWithSndfile(const QString& path, SF_INFO info)
{
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        throw AppError::make(AppError::BadFileName, path, QString::fromUtf8(sf_strerror(nullptr)));
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_read_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    if (info.channels != 1 || got != sf_count_t(samples.size()))
        throw AppError::make(AppError::DeviceIoError, path, QStringLiteral("not one channel read whole"));
    return {std::move(samples), double(info.samplerate)};
}

} // namespace

std::optional<EncodedKind> encodedKindOf(const QString& outputPath)
{
    const QString name = QFileInfo(outputPath).fileName();
    for (const EncodedKind& kind : kinds())
        if (endsWithAsciiCaseless(name, kind.extension))
            return kind;
    return std::nullopt;
}

std::vector<std::uint8_t> encodeSamples(Codec codec, std::span<const std::int16_t> samples)
{
    std::vector<std::uint8_t> encoded;
    codecs::Encoder encoder(codec);
    encoder.write(samples, encoded);
    encoder.finish(encoded);
    return encoded;
}

std::vector<float> decodeFrames(Codec codec, std::span<const std::uint8_t> bytes)
{
    std::vector<std::int16_t> decoded;
    codecs::Decoder decoder(codec);
    decoder.write(bytes, decoded);
    decoder.finish();
    return toFloats(decoded);
}

void writeEncodedOutput(const EncodedKind& kind, const QString& joinedPath, const QString& outputPath)
{
    if (!kind.codec) {
        replaceFile(joinedPath, outputPath);
        return;
    }
    const QByteArray bytes = readWholeFile(joinedPath);
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + 2 * i);
    writeBytes(outputPath, *kind.codec == Codec::G722 ? codecs::encodeG722Wideband(samples)
                                                      : encodeSamples(*kind.codec, samples));
}

std::pair<std::vector<float>, double> readEncodedAudio(const EncodedKind& kind, const QString& path)
{
    if (kind.codec) {
        const QByteArray bytes = readWholeFile(path);
        return {decodeFrames(*kind.codec, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                    std::size_t(bytes.size()))),
                double(codecs::kSampleRate)};
    }
    SF_INFO info{};
    if (kind.headerless) {
        info.samplerate = kind.sampleRate;
        info.channels = 1;
        info.format = SF_FORMAT_RAW | (kind.encoding == Encoding::Alaw ? SF_FORMAT_ALAW : SF_FORMAT_ULAW);
    }
    return readWithSndfile(path, info);
}

EncodedConversion convertEncoded(ConversionRun& run, const EncodedKind& kind, const QString& text,
                                 const QString& outputPath, const QString& expected)
{
    // The join and the encoded file stay hidden beside the output until the file has been heard.
    const QString folder = QFileInfo(outputPath).absolutePath();
    QTemporaryDir staging(QDir(folder).filePath(QStringLiteral(".quillfen-out-XXXXXX")));
    if (!staging.isValid())
        return {RunOutcome::Failed, {}, folder + QStringLiteral(": ") + staging.errorString()};
    const QString joined = staging.filePath(QStringLiteral("joined") + kind.joinedExtension);
    const QString staged = staging.filePath(QStringLiteral("output") + kind.extension);

    const OutputFormat asked = run.outputFormat();
    run.setOutputFormat({kind.joined.encoding, kind.joined.sampleRate, asked.levelTenths});
    const RunOutcome outcome = run.cmdConstructWavFromString_Click(text, joined);
    run.setOutputFormat(asked);
    if (outcome != RunOutcome::Completed)
        return {outcome, {}, run.failure()};
    try {
        writeEncodedOutput(kind, joined, staged);
        const auto [samples, rate] = readEncodedAudio(kind, staged);
        const QString printed = QString::fromStdString(tty::decodeSamples(samples, rate).text);
        if (printed != expected && !kind.damagesTones)
            return {RunOutcome::Failed, printed,
                    QStringLiteral("read back, it prints \"%1\", not \"%2\"").arg(printed, expected)};
        replaceFile(staged, outputPath);
        return {RunOutcome::Completed, printed, {}};
    } catch (const AppError& e) {
        return {RunOutcome::Failed, {}, e.description};
    }
}

} // namespace quillfen
