#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillfen {

// One message of a set: a row of the set's CSV file.
struct MessageRow
{
    int line = 0;        // where the row starts in the file, counted from 1
    QString name;        // the message's file name without extension
    QString text;        // what it sends
    QString voiceBefore; // a recording before the tones, relative to the CSV file; may be empty
    QString voiceAfter;  // and after them
};

// The columns a message set's CSV may have; a header names `name` and `text` at least, in any order.
inline const QStringList kMessageColumns{QStringLiteral("name"), QStringLiteral("text"),
                                         QStringLiteral("voice_before"), QStringLiteral("voice_after")};

// The rows of a message set's CSV file: UTF-8 (a byte-order mark is allowed), RFC 4180 quoting,
// CRLF or LF line ends, a header row of column names (any case) and one row per message. Lines
// that are wholly empty are skipped. Throws AppError 5 whose text starts "line N:" for the first
// fault: text that is not UTF-8, a quote out of place, a row with another number of fields than
// the header, a missing, unknown or repeated column, or a row whose name or text `messageNameFault`
// or an empty text refuses, or a name used twice (compared without case, as Windows file names are).
QList<MessageRow> parseMessageCsv(const QByteArray& bytes);

// Why `name` cannot name a message's files, or empty when it can: it must be non-empty, not "." or
// "..", hold no path separator or control character, and be a name Windows accepts too (no
// reserved device name such as CON or LPT1, none of < > : " | ? *, no trailing dot or space).
QString messageNameFault(const QString& name);

} // namespace quillfen
