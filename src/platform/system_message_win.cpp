#include "platform/system_message.h"

#include <windows.h>

namespace quillfen {

QString systemMessage(unsigned long error)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message =
        n ? QString::fromWCharArray(text, int(n)).trimmed() : QStringLiteral("system error %1").arg(error);
    ::LocalFree(text);
    return message;
}

} // namespace quillfen
