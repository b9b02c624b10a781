#include "settings/output_format_settings.h"

#include "settings/settings_section.h"

namespace quillfen {
namespace {

const QString kEncodingKey = QStringLiteral("OutputEncoding");
const QString kRateKey = QStringLiteral("OutputRate");
const QString kLevelKey = QStringLiteral("OutputLevel");
const QString kBaudKey = QStringLiteral("OutputBaud");
const QString kTransliterateKey = QStringLiteral("Transliterate");

} // namespace

StoredOutputFormat readOutputFormatSettings()
{
    const SettingsSection section;
    return {section.read(kEncodingKey), section.read(kRateKey), section.read(kLevelKey),
            section.read(kBaudKey), section.read(kTransliterateKey)};
}

void writeOutputFormatSettings(const QString& encoding, const QString& rate, const QString& level)
{
    SettingsSection section;
    section.write(kEncodingKey, encoding);
    section.write(kRateKey, rate);
    section.write(kLevelKey, level);
    section.sync();
}

void writeOutputBaudSetting(const QString& baud)
{
    SettingsSection section;
    section.write(kBaudKey, baud);
    section.sync();
}

void writeTransliterateSetting(const QString& transliterate)
{
    SettingsSection section;
    section.write(kTransliterateKey, transliterate);
    section.sync();
}

} // namespace quillfen
