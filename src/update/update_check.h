#pragma once

#include <QString>

namespace quillfen {

// The rules of the update check that need no network: padding, reading the version off the home
// page, and the decision. The download and the messages live in mod_update_check.h.

// Every period-separated field zero-filled to at least four digits ("1.0.6" -> "0001.0000.0006").
// Shorter than four characters gives the empty text; four or more without a period is reported
// in a message box and also gives the empty text.
QString PadVersionString(const QString& version);

// The padded version published on a home page: the run of digits and periods that starts 11
// characters after the first "Helvetica" following the ">version<" marker. Empty when there is none.
QString versionFromPageText(const QString& page);

enum class UpdateOutcome { NoVersion, NewerAvailable, UpToDate };

// Compares two padded versions field by field as numbers (an empty field counts as 0); when the
// fields they share are equal, the one with more fields is newer.
UpdateOutcome decideUpdate(const QString& paddedOwn, const QString& paddedWeb);

} // namespace quillfen
