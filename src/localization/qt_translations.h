#pragma once

#include <QString>

#include <cstdint>

namespace quillfen {

// Qt's own texts (file dialogs, message-box buttons) in the language `lcid`, from Qt's translations
// for it; 0, or a language Qt has none for, gives them back in English. Without an application
// object nothing is installed. Returns whether a translation is in force.
bool followLanguageInQtTexts(std::int32_t lcid);

// Where Qt's translations are looked for: Qt's own folder, then "translations" in `programDir`.
void setQtTranslationsFolders(const QStringList& folders);

} // namespace quillfen
