#include "platform/messages.h"

#include <cstdio>

namespace quillfen {
namespace {

class StderrMessages final : public Messages
{
public:
    MessageResult show(const QString& text, MessageButtons, const QString& title) override
    {
        const QString t = title.isEmpty() ? applicationTitle() : title;
        std::fprintf(stderr, "%s: %s\n", t.toUtf8().constData(), text.toUtf8().constData());
        return MessageResult::Ok;
    }
};

StderrMessages g_fallback;
Messages* g_current = nullptr;

} // namespace

Messages& messages()
{
    return g_current ? *g_current : g_fallback;
}

void setMessages(Messages* m)
{
    g_current = m;
}

QString applicationTitle()
{
    return QStringLiteral("Quillfen");
}

} // namespace quillfen
