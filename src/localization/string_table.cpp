#include "localization/string_table.h"

#include "localization/mod_localize.h"
#include "localization/own_string_table.h"
#include "platform/app_error.h"
#include "platform/messages.h"

#include <algorithm>

namespace quillfen {
namespace {

constexpr int kLookupBufferLength = 1200;

} // namespace

std::optional<QString> ownString(int id)
{
    const auto* begin = detail::kOwnStrings;
    const auto* end = begin + detail::kOwnStringCount;
    const auto* it = std::find_if(begin, end, [id](const detail::OwnStringEntry& e) { return e.id == id; });
    if (it == end)
        return std::nullopt;
    return QString::fromUtf8(it->utf8, it->size);
}

QString myLoadResString(StringId id)
{
    QString buffer;
    if (LoadStringW(LanguageLibrary(), id, buffer, kLookupBufferLength) >= 1)
        return buffer;
    // An id the library lacks or holds empty falls back to the program's own text.
    if (auto text = ownString(id))
        return *text;
    const AppError error(AppError::ResourceNotFound,
                         QStringLiteral("Resource with identifier '%1' not found").arg(int(id)));
    messages().show(QStringLiteral("error in myLoadResString: ") + error.description, MessageButtons::Ok, {});
    return {};
}

} // namespace quillfen
