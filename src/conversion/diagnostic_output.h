#pragma once

#include "conversion/diagnostic_sink.h"

#include <QString>

#include <functional>

namespace quillfen {

// The text of the main window's diagnostic box. It lives here so that lines written before the
// window exists keep their order; the window shows it through the change callback.
class DiagnosticText final : public DiagnosticSink
{
public:
    // Appends `line` and CR LF. Nothing is trimmed or dropped.
    void DiagOutput(const QString& line) override;
    void clearDiagnostics() override;

    const QString& text() const { return m_text; }
    // Called with the whole text after every change (the window sets txtDiag from it).
    void setChangedCallback(std::function<void(const QString&)> callback);

private:
    QString m_text;
    std::function<void(const QString&)> m_changed;
};

// The main window's diagnostic text, for the whole program.
DiagnosticText& mainDiagnostics();

// Forwards to the main window's DiagOutput; callers outside the window use it.
void WriteDiagnostic(const QString& text);

} // namespace quillfen
