#pragma once

#include <QString>

#include <optional>

namespace quillfen {

// Ids of the texts the conversion run and its callers show.
enum StringId : int {
    IDS_BUILD = 0,
    IDS_ERROR_PREFIX = 3,
    IDS_CONVERSION_COMPLETE = 16,
    IDS_NEW_TEXT = 24,
    IDS_ORIGINAL_STRING = 27,
    IDS_PRODUCT_NAME = 32,
    IDS_ENTER_TEXT_FIRST = 41,
};

// The program's own (US English) text for `id`; nullopt when the id is not in the table.
std::optional<QString> ownString(int id);

// The text for `id` in the language in use. Never fails towards the caller: an id that nobody
// has is reported in a message box ("error in myLoadResString: ...") and gives the empty text.
QString myLoadResString(int id);

} // namespace quillfen
