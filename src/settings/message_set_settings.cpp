#include "settings/message_set_settings.h"

#include "settings/settings_section.h"

namespace quillfen {
namespace {

const QString kCsvKey = QStringLiteral("MessageSetCsv");
const QString kSystemKey = QStringLiteral("MessageSetSystem");
const QString kFolderKey = QStringLiteral("MessageSetFolder");

} // namespace

StoredMessageSet readMessageSetSettings()
{
    const SettingsSection section;
    return {section.read(kCsvKey).value_or(QString()), section.read(kSystemKey).value_or(QString()),
            section.read(kFolderKey).value_or(QString())};
}

void writeMessageSetSettings(const StoredMessageSet& set)
{
    SettingsSection section;
    section.write(kCsvKey, set.csv);
    section.write(kSystemKey, set.system);
    section.write(kFolderKey, set.folder);
    section.sync();
}

} // namespace quillfen
