#include "settings/output_format_settings.h"

#include "settings/settings_section.h"

namespace quillfen {
namespace {

const QString kEncodingKey = QStringLiteral("OutputEncoding");
const QString kRateKey = QStringLiteral("OutputRate");
const QString kLevelKey = QStringLiteral("OutputLevel");

} // namespace

StoredOutputFormat readOutputFormatSettings()
{
    const SettingsSection section;
    return {section.read(kEncodingKey), section.read(kRateKey), section.read(kLevelKey)};
}

void writeOutputFormatSettings(const QString& encoding, const QString& rate, const QString& level)
{
    SettingsSection section;
    section.write(kEncodingKey, encoding);
    section.write(kRateKey, rate);
    section.write(kLevelKey, level);
    section.sync();
}

} // namespace quillfen
