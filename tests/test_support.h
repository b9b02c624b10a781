#pragma once

// Small fakes shared by the tests: message boxes that record, diagnostics that collect lines.
#include "conversion/diagnostic_sink.h"
#include "platform/messages.h"

#include <QStringList>

namespace quillfen::testing {

class RecordingMessages final : public Messages
{
public:
    RecordingMessages() { setMessages(this); }
    ~RecordingMessages() override { setMessages(nullptr); }
    MessageResult show(const QString& text, MessageButtons, const QString& title) override
    {
        texts << text;
        titles << title;
        return answer;
    }
    QStringList texts;
    QStringList titles;
    MessageResult answer = MessageResult::Ok;
};

class LineCollector final : public DiagnosticSink
{
public:
    void clearDiagnostics() override
    {
        lines.clear();
        ++clears;
    }
    void DiagOutput(const QString& line) override { lines << line; }
    QStringList lines;
    int clears = 0;
};

} // namespace quillfen::testing
