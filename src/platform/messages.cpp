#include "platform/messages.h"

#include <cstdio>

namespace quillfen {
namespace {

StderrMessages g_fallback;
Messages* g_current = nullptr;

} // namespace

MessageResult StderrMessages::show(const QString& text, MessageButtons, const QString& title)
{
    const QString prefix = !m_prefix.isEmpty() ? m_prefix : title.isEmpty() ? applicationTitle() : title;
    std::fprintf(stderr, "%s: %s\n", prefix.toUtf8().constData(), text.toUtf8().constData());
    return MessageResult::Ok;
}

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
