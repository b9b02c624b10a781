#pragma once

#include <QSettings>
#include <QString>

#include <optional>

namespace quillfen {

// The settings store's section "Settings", the same file and section as the window's geometry,
// for the keys the program keeps beside it. Key names match without regard to case.
class SettingsSection
{
public:
    SettingsSection();

    // INI keys are case-sensitive here; a hand-edited spelling still counts, the exact one first.
    std::optional<QString> read(const QString& key) const;
    void write(const QString& key, const QString& text);
    // Every spelling of the key.
    void remove(const QString& key);
    // Throws AppError when the store cannot be written.
    void sync();

private:
    QSettings m_settings;
};

} // namespace quillfen
