#pragma once

#include <QString>

namespace quillfen {

// The message set last made from the window, as text under "MessageSetCsv", "MessageSetSystem" and
// "MessageSetFolder" in the settings store's section "Settings" (key names matched without regard
// to case, like the others). Read and written only by File, Convert Message Set.
struct StoredMessageSet
{
    QString csv; // empty: not stored (or the store cannot be read)
    QString system;
    QString folder;
};

StoredMessageSet readMessageSetSettings();

// Writes all three; throws AppError when the store cannot be written.
void writeMessageSetSettings(const StoredMessageSet& set);

} // namespace quillfen
