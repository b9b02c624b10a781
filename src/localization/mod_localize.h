#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace quillfen {

// The language state of the program. Every start begins with no language chosen (CurrentLCID 0)
// and no library loaded (LanguageLibrary 0): the program's own texts until the About box opens.
std::int32_t CurrentLCID();
void setCurrentLCID(std::int32_t lcid);
std::int32_t LanguageLibrary();
// Codes of the language libraries found, in directory-listing order; one empty entry when none.
const QStringList& LoadedLanguages();

// Chooses the user's language if none is chosen, loads its library, lists the installed
// languages and gives every open form the current language's fonts. Failures are reported in a
// message box ("Error in InitalizeLanguages: ...") and the next step runs.
void InitalizeLanguages();

// Makes `lcid` the current language and re-captions every loaded form in it: its library, fonts,
// the form's <name>_Auto_Init, a repaint. Nothing here reports: a form without a localization
// method keeps its captions, and one failing form does not stop the others.
void SwitchLanguage(std::int32_t lcid);

// Where language libraries are looked for, and the name they start with; by default the running
// program's directory and file name.
void setProgramLocation(const QString& directory, const QString& executableName);
QString executableName();
QString languageDirectory();

// Library handles, as the system's library loader hands them out: 0 is "none", and for
// LoadStringW also the program's own table.
std::int32_t LoadLibraryExW(const QString& path);
void FreeLibrary(std::int32_t handle);
// At most bufferLength - 1 units of string `id` go to `text`; returns their count, 0 when the
// module has no such string or holds it empty.
int LoadStringW(std::int32_t module, std::int32_t id, QString& text, int bufferLength);

// Back to the state of a program start (for tests).
void resetLanguageState();

} // namespace quillfen
