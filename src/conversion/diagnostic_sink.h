#pragma once

#include <QString>

namespace quillfen {

// Where a conversion run reports: the main window's diagnostic box, or standard output.
class DiagnosticSink
{
public:
    virtual ~DiagnosticSink() = default;
    virtual void clearDiagnostics() = 0;
    // One line; the sink ends it. The text may itself hold line breaks.
    virtual void DiagOutput(const QString& line) = 0;
};

} // namespace quillfen
