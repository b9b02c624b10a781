#include "settings/spoken_part_settings.h"

#include "localization/mod_localize.h"
#include "platform/app_error.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace quillfen {
namespace {

const QString kBeforeKey = QStringLiteral("SpokenPartBefore");
const QString kAfterKey = QStringLiteral("SpokenPartAfter");

const QString kSection = QStringLiteral("Settings");

// INI keys are case-sensitive here; a hand-edited spelling still counts, the exact one first.
QString keyAsStored(const QSettings& settings, const QString& key)
{
    QString found;
    for (const QString& name : settings.childKeys()) {
        if (name == key || (found.isEmpty() && name.compare(key, Qt::CaseInsensitive) == 0))
            found = name;
    }
    return found;
}

} // namespace

// The same file and section as the window's geometry and the output format.
StoredSpokenParts readSpokenPartSettings()
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Veltrane"),
                       executableName());
    settings.beginGroup(kSection);
    if (settings.status() != QSettings::NoError)
        return {};
    const auto read = [&](const QString& key) {
        const QString stored = keyAsStored(settings, key);
        return stored.isEmpty() ? QString() : settings.value(stored).toString();
    };
    return {read(kBeforeKey), read(kAfterKey)};
}

void writeSpokenPartSettings(const StoredSpokenParts& parts)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Veltrane"),
                       executableName());
    settings.beginGroup(kSection);
    for (const auto& [key, path] : {std::pair{kBeforeKey, parts.before}, std::pair{kAfterKey, parts.after}}) {
        for (QString stored = keyAsStored(settings, key); !stored.isEmpty();
             stored = keyAsStored(settings, key))
            settings.remove(stored);
        if (!path.isEmpty())
            settings.setValue(key, path);
    }
    settings.sync();
    if (settings.status() != QSettings::AccessError)
        return;
    const QFileInfo file(settings.fileName());
    const QFileInfo dir(file.absolutePath());
    const bool denied = file.isFile() ? !file.isWritable() : dir.isDir() && !dir.isWritable();
    throw AppError::make(denied ? AppError::PermissionDenied : AppError::PathFileAccessError,
                         file.filePath());
}

} // namespace quillfen
