#pragma once

#include <QString>

#include <optional>

namespace quillfen {

// The output format the user chose last, as text under "OutputEncoding", "OutputRate",
// "OutputLevel", "OutputBaud" and "Transliterate" in the settings store's section "Settings" (key
// names matched without regard to case, like the others). Nothing here is read or written at
// start-up.
struct StoredOutputFormat
{
    std::optional<QString> encoding; // nullopt: not stored (or the store cannot be read)
    std::optional<QString> rate;
    std::optional<QString> level;
    std::optional<QString> baud;
    std::optional<QString> transliterate; // "1" on, "0" off
};

StoredOutputFormat readOutputFormatSettings();

// Writes all three; throws AppError when the store cannot be written.
void writeOutputFormatSettings(const QString& encoding, const QString& rate, const QString& level);
// Each writes its one key; throws AppError when the store cannot be written.
void writeOutputBaudSetting(const QString& baud);
void writeTransliterateSetting(const QString& transliterate);

} // namespace quillfen
