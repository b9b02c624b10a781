#include "conversion/codec_check.h"

#include "conversion/message_set_run.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "platform/files.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <numeric>

namespace quillfen {
namespace {

QString decodedText(std::span<const std::int16_t> samples)
{
    std::vector<float> floats(samples.size());
    std::transform(samples.begin(), samples.end(), floats.begin(),
                   [](std::int16_t v) { return float(v) / 32768.0F; });
    return QString::fromStdString(tty::decodeSamples(floats, double(codecs::kSampleRate)).text);
}

} // namespace

double characterErrorRate(const QString& expected, const QString& heard)
{
    // One row of the edit-distance table at a time.
    std::vector<qsizetype> row(std::size_t(heard.size()) + 1);
    std::iota(row.begin(), row.end(), qsizetype{0});
    for (qsizetype i = 1; i <= expected.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= heard.size(); ++j) {
            const qsizetype above = row[std::size_t(j)];
            row[std::size_t(j)] = std::min({above + 1, row[std::size_t(j - 1)] + 1,
                                            diagonal + (expected[i - 1] == heard[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    const qsizetype edits = row.back();
    if (expected.isEmpty())
        return double(edits);
    return double(edits) / double(expected.size());
}

CodecCheck checkThroughCodecs(std::span<const std::int16_t> samples, const QString& expected,
                              std::span<const codecs::Codec> codecs)
{
    CodecCheck check{expected, decodedText(samples), {}};
    for (const codecs::Codec codec : codecs) {
        const QString printed = decodedText(codecs::roundTrip(codec, samples));
        check.results << CodecResult{codec, printed, characterErrorRate(expected, printed)};
    }
    return check;
}

CodecCheckRun::CodecCheckRun(QString programDir)
    : m_programDir(programDir.isEmpty() ? programDirectory() : std::move(programDir))
{
}

CodecCheck CodecCheckRun::check(const QString& text, int levelTenths, std::span<const codecs::Codec> codecs)
{
    // Line breaks of any kind as the CR LF that a conversion sends as a space.
    QString sent = text;
    sent.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    sent.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    sent.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));

    QTemporaryDir work;
    if (!work.isValid())
        throw AppError::make(AppError::PathFileAccessError, work.path(), work.errorString());
    const QString joined = work.filePath(QStringLiteral("message.sln"));
    m_conversion.setOutputFormat({Encoding::Pcm16, codecs::kSampleRate, levelTenths});
    if (m_conversion.cmdConstructWavFromString_Click(sent, joined) != RunOutcome::Completed)
        throw AppError(AppError::PathFileAccessError, m_conversion.failure());
    const QByteArray bytes = readWholeFile(joined);
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + 2 * i);
    return checkThroughCodecs(samples, printedText(text), codecs);
}

} // namespace quillfen
