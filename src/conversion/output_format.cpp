#include "conversion/output_format.h"

#include "localization/string_table.h"

#include <QFileInfo>

#include <cmath>

namespace quillfen {

QString encodingKeyword(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Ulaw:
        return QStringLiteral("ulaw");
    case Encoding::Alaw:
        return QStringLiteral("alaw");
    case Encoding::Pcm16:
        break;
    }
    return QStringLiteral("pcm16");
}

std::optional<Encoding> parseEncoding(const QString& text)
{
    for (const Encoding encoding : kEncodings) {
        if (text == encodingKeyword(encoding))
            return encoding;
    }
    return std::nullopt;
}

QString baudKeyword(LineBaud baud)
{
    return baud == LineBaud::Baud50 ? QStringLiteral("50") : QStringLiteral("45.45");
}

std::optional<LineBaud> parseBaud(const QString& text)
{
    if (text == u"45.45" || text == u"45")
        return LineBaud::Baud45;
    if (text == u"50")
        return LineBaud::Baud50;
    return std::nullopt;
}

std::optional<int> parseSampleRate(const QString& text)
{
    for (const int rate : kSampleRates) {
        if (text == QString::number(rate))
            return rate;
    }
    return std::nullopt;
}

std::optional<int> parseLevel(const QString& text)
{
    bool ok = false;
    const double db = text.trimmed().toDouble(&ok);
    // toDouble takes "nan" and "inf"; neither is a level. The range holds before rounding: 0.04 is
    // above 0 dBFS, however close.
    if (!ok || !std::isfinite(db) || db < OutputFormat::kMinLevelTenths / 10.0 ||
        db > OutputFormat::kMaxLevelTenths / 10.0)
        return std::nullopt;
    return static_cast<int>(std::round(db * 10.0));
}

QString levelText(int levelTenths)
{
    const QString digits = QString::number(std::abs(levelTenths) / 10) + QLatin1Char('.') +
                           QString::number(std::abs(levelTenths) % 10);
    return levelTenths < 0 ? QLatin1Char('-') + digits : digits;
}

bool usesStandardPrompts(const OutputFormat& format)
{
    return format == OutputFormat{};
}

QString promptSetKey(const OutputFormat& format)
{
    // The standard speed keeps the names that sets had before there was a choice.
    const QString speed = format.baud == LineBaud::Baud45 ? QString() : QStringLiteral("_50Bd");
    return QStringLiteral("%1_%2Hz_%3dBFS%4")
        .arg(encodingKeyword(format.encoding))
        .arg(format.sampleRate)
        .arg(levelText(format.levelTenths), speed);
}

std::optional<HeaderlessKind> headerlessKindOf(const QString& outputPath)
{
    const auto format = tty::headerlessFormatOf(QFileInfo(outputPath).fileName().toStdString());
    if (!format)
        return std::nullopt;
    return HeaderlessKind{
        QString::fromLatin1(format->extension.data(), static_cast<qsizetype>(format->extension.size())),
        format->encoding, format->sampleRate};
}

QString encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Ulaw:
        return myLoadResString(IDS_ENCODING_ULAW);
    case Encoding::Alaw:
        return myLoadResString(IDS_ENCODING_ALAW);
    case Encoding::Pcm16:
        break;
    }
    return myLoadResString(IDS_ENCODING_PCM16);
}

QString formatUse(const OutputFormat& format)
{
    const bool linear = format.encoding == Encoding::Pcm16;
    if (format.sampleRate == 8000)
        return myLoadResString(format.encoding == Encoding::Ulaw   ? IDS_USE_ULAW_8K
                               : format.encoding == Encoding::Alaw ? IDS_USE_ALAW_8K
                                                                   : IDS_USE_PCM16_8K);
    if (linear && format.sampleRate == 16000)
        return myLoadResString(IDS_USE_PCM16_16K);
    if (linear && format.sampleRate >= 44100)
        return myLoadResString(IDS_USE_MEDIA).arg(format.sampleRate);
    return myLoadResString(IDS_USE_OTHER).arg(format.sampleRate).arg(encodingName(format.encoding));
}

QString OutputFileType::filter() const
{
    return name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QList<OutputFileType> outputFileTypes()
{
    QList<OutputFileType> types{{myLoadResString(IDS_WAV_FILES), {QStringLiteral("*.wav")}}};
    // The laws first: they are what phone systems ask for most.
    for (const Encoding encoding : {Encoding::Ulaw, Encoding::Alaw, Encoding::Pcm16}) {
        OutputFileType type{myLoadResString(IDS_RAW_FILES).arg(encodingName(encoding)), {}};
        for (const tty::HeaderlessFormat& format : tty::kHeaderlessFormats) {
            if (format.encoding == encoding)
                type.patterns << QLatin1Char('*') +
                                     QString::fromLatin1(format.extension.data(),
                                                         static_cast<qsizetype>(format.extension.size()));
        }
        types << type;
    }
    return types;
}

qsizetype outputFileTypeOf(const QString& outputPath)
{
    const auto kind = headerlessKindOf(outputPath);
    if (!kind)
        return 0;
    const QList<OutputFileType> types = outputFileTypes();
    for (qsizetype i = 1; i < types.size(); ++i) {
        if (types[i].patterns.contains(QLatin1Char('*') + kind->extension))
            return i;
    }
    return 0;
}

OutputFormat formatForOutput(const OutputFormat& requested, const QString& outputPath)
{
    OutputFormat format = requested;
    if (const auto kind = headerlessKindOf(outputPath)) {
        format.encoding = kind->encoding;
        format.sampleRate = kind->sampleRate;
    }
    return format;
}

} // namespace quillfen
