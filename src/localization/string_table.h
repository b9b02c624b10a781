#pragma once

#include "localization/string_ids.h"

#include <QString>

#include <optional>

namespace quillfen {

// The program's own (US English) text for `id`; nullopt when the id is not in the table.
std::optional<QString> ownString(int id);

// The text for `id` in the language in use. Never fails towards the caller: an id that nobody
// has is reported in a message box ("error in myLoadResString: ...") and gives the empty text.
QString myLoadResString(StringId id);

} // namespace quillfen
