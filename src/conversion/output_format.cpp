#include "conversion/output_format.h"

#include <QFileInfo>

#include <cmath>

namespace quillfen {
namespace {

struct HeaderlessEntry
{
    const char* extension;
    Encoding encoding;
    int sampleRate;
};

// The names phone systems give these files; wavcat keeps the same table.
constexpr HeaderlessEntry kHeaderless[] = {
    {".ulaw", Encoding::Ulaw, 8000},    {".ul", Encoding::Ulaw, 8000},   {".alaw", Encoding::Alaw, 8000},
    {".al", Encoding::Alaw, 8000},      {".sln", Encoding::Pcm16, 8000}, {".sln16", Encoding::Pcm16, 16000},
    {".sln48", Encoding::Pcm16, 48000},
};

} // namespace

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
    return QStringLiteral("%1_%2Hz_%3dBFS")
        .arg(encodingKeyword(format.encoding))
        .arg(format.sampleRate)
        .arg(levelText(format.levelTenths));
}

std::optional<HeaderlessKind> headerlessKindOf(const QString& outputPath)
{
    const QString name = QFileInfo(outputPath).fileName();
    for (const HeaderlessEntry& entry : kHeaderless) {
        const QString extension = QLatin1String(entry.extension);
        if (name.endsWith(extension, Qt::CaseInsensitive))
            return HeaderlessKind{extension, entry.encoding, entry.sampleRate};
    }
    return std::nullopt;
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
