#include "settings/output_format_settings.h"

#include "localization/mod_localize.h"
#include "platform/app_error.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace quillfen {
namespace {

const QString kEncodingKey = QStringLiteral("OutputEncoding");
const QString kRateKey = QStringLiteral("OutputRate");
const QString kLevelKey = QStringLiteral("OutputLevel");
const QString kBaudKey = QStringLiteral("OutputBaud");
const QString kTransliterateKey = QStringLiteral("Transliterate");

// The same file and section as the window's geometry.
class Section
{
public:
    Section()
        : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Veltrane"), executableName())
    {
        m_settings.beginGroup(QStringLiteral("Settings"));
    }

    // INI keys are case-sensitive here; a hand-edited spelling still counts, the exact one first.
    std::optional<QString> read(const QString& key) const
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

    void write(const QString& key, const QString& text)
    {
        for (const QString& name : m_settings.childKeys()) {
            if (name != key && name.compare(key, Qt::CaseInsensitive) == 0)
                m_settings.remove(name);
        }
        m_settings.setValue(key, text);
    }

    void sync()
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

private:
    QSettings m_settings;
};

} // namespace

StoredOutputFormat readOutputFormatSettings()
{
    const Section section;
    return {section.read(kEncodingKey), section.read(kRateKey), section.read(kLevelKey),
            section.read(kBaudKey), section.read(kTransliterateKey)};
}

void writeOutputFormatSettings(const QString& encoding, const QString& rate, const QString& level)
{
    Section section;
    section.write(kEncodingKey, encoding);
    section.write(kRateKey, rate);
    section.write(kLevelKey, level);
    section.sync();
}

void writeOutputBaudSetting(const QString& baud)
{
    Section section;
    section.write(kBaudKey, baud);
    section.sync();
}

void writeTransliterateSetting(const QString& transliterate)
{
    Section section;
    section.write(kTransliterateKey, transliterate);
    section.sync();
}

} // namespace quillfen
