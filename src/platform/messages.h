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

Messages& messages();
// Passing nullptr restores the standard-error fallback. The caller keeps ownership.
void setMessages(Messages* messages);

QString applicationTitle();

} // namespace quillfen
