#pragma once

// Small fakes shared by the tests: message boxes that record, diagnostics that collect lines.
#include "conversion/diagnostic_sink.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>

#include <functional>

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

// Polls `condition` while processing events, for at most `ms`; the caller asserts on the result.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace quillfen::testing
