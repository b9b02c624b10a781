#include "settings/settings_section.h"

#include "localization/mod_localize.h"
#include "platform/app_error.h"
#include "platform/settings_format.h"

#include <QFileInfo>
#include <QStringList>

namespace quillfen {

SettingsSection::SettingsSection()
    : m_settings(settingsFormat(), QSettings::UserScope, QStringLiteral("Veltrane"), executableName())
{
    m_settings.beginGroup(QStringLiteral("Settings"));
}

std::optional<QString> SettingsSection::read(const QString& key) const
{
    QString found;
    for (const QString& name : m_settings.childKeys()) {
        if (name == key || (found.isEmpty() && name.compare(key, Qt::CaseInsensitive) == 0))
            found = name;
    }
    if (found.isEmpty() || m_settings.status() != QSettings::NoError)
        return std::nullopt;
    return m_settings.value(found).toString();
}

void SettingsSection::write(const QString& key, const QString& text)
{
    for (const QString& name : m_settings.childKeys()) {
        if (name != key && name.compare(key, Qt::CaseInsensitive) == 0)
            m_settings.remove(name);
    }
    m_settings.setValue(key, text);
}

void SettingsSection::remove(const QString& key)
{
    for (const QString& name : m_settings.childKeys()) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            m_settings.remove(name);
    }
}

void SettingsSection::sync()
{
    m_settings.sync();
    if (m_settings.status() != QSettings::AccessError)
        return;
    const QFileInfo file(m_settings.fileName());
    const QFileInfo dir(file.absolutePath());
    const bool denied = file.isFile() ? !file.isWritable() : dir.isDir() && !dir.isWritable();
    throw AppError::make(denied ? AppError::PermissionDenied : AppError::PathFileAccessError,
                         file.filePath());
}

} // namespace quillfen
