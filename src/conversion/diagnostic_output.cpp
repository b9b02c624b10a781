#include "conversion/diagnostic_output.h"

namespace quillfen {

void DiagnosticText::DiagOutput(const QString& line)
{
    m_text += line;
    m_text += QStringLiteral("\r\n");
    if (m_changed)
        m_changed(m_text);
}

void DiagnosticText::clearDiagnostics()
{
    m_text.clear();
    if (m_changed)
        m_changed(m_text);
}

void DiagnosticText::setChangedCallback(std::function<void(const QString&)> callback)
{
    m_changed = std::move(callback);
}

DiagnosticText& mainDiagnostics()
{
    static DiagnosticText text;
    return text;
}

void WriteDiagnostic(const QString& text)
{
    mainDiagnostics().DiagOutput(text);
}

} // namespace quillfen
