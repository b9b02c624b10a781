#pragma once

#include <QString>

namespace quillfen {

// The recordings last chosen to say in voice before and after the tones, as paths under
// "SpokenPartBefore" and "SpokenPartAfter" in the settings store's section "Settings" (key names
// matched without regard to case, like the others). Empty: none, or the store cannot be read.
struct StoredSpokenParts
{
    QString before;
    QString after;
};

StoredSpokenParts readSpokenPartSettings();

// Writes both (an empty path removes its key); throws AppError when the store cannot be written.
void writeSpokenPartSettings(const StoredSpokenParts& parts);

} // namespace quillfen
