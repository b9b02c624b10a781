#pragma once

#include <QString>

namespace quillfen {

enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

// Message boxes. The window program installs one that shows real boxes; tests install one that
// records and answers. Without one, messages go to standard error and count as answered OK.
class Messages
{
public:
    virtual ~Messages() = default;
    // An empty title means the application title, "Quillfen".
    virtual MessageResult show(const QString& text, MessageButtons buttons, const QString& title) = 0;
};

// Messages as lines on standard error, "<prefix>: <text>", answered OK; an empty prefix means the
// box's title. The fallback when no one installed other messages, and the command line's own.
class StderrMessages final : public Messages
{
public:
    explicit StderrMessages(QString prefix = {}) : m_prefix(std::move(prefix)) {}
    MessageResult show(const QString& text, MessageButtons buttons, const QString& title) override;

private:
    QString m_prefix;
};

Messages& messages();
// Passing nullptr restores the standard-error fallback. The caller keeps ownership.
void setMessages(Messages* messages);

QString applicationTitle();

} // namespace quillfen
