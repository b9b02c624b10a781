#include "settings/spoken_part_settings.h"

#include "settings/settings_section.h"

namespace quillfen {
namespace {

const QString kBeforeKey = QStringLiteral("SpokenPartBefore");
const QString kAfterKey = QStringLiteral("SpokenPartAfter");

} // namespace

StoredSpokenParts readSpokenPartSettings()
{
    const SettingsSection section;
    return {section.read(kBeforeKey).value_or(QString()), section.read(kAfterKey).value_or(QString())};
}

void writeSpokenPartSettings(const StoredSpokenParts& parts)
{
    SettingsSection section;
    for (const auto& [key, path] : {std::pair{kBeforeKey, parts.before}, std::pair{kAfterKey, parts.after}}) {
        if (path.isEmpty())
            section.remove(key);
        else
            section.write(key, path);
    }
    section.sync();
}

} // namespace quillfen
