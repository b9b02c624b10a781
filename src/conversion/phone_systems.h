#pragma once

#include "conversion/output_format.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillfen {

// What is done to a file after its join: nothing, or an encoding the prompt sets do not come in.
enum class AfterJoin { Nothing, G722 };

// One file a phone system plays for each message: where it goes in the set's folder ("%1" is the
// message's name) and the format it is joined in.
struct SystemFile
{
    QString pathPattern; // "%1.ulaw", "8000/%1.wav"
    OutputFormat format;
    AfterJoin afterJoin = AfterJoin::Nothing;

    QString pathFor(const QString& messageName) const { return pathPattern.arg(messageName); }
};

// A phone system's files for every message, after the options that it leaves open.
struct SystemLayout
{
    QString system;
    QList<SystemFile> files;
    qint64 maxFileBytes = 0; // 0: no limit
};

// The choices the command line may make; unset ones take the system's own.
struct FormatChoice
{
    std::optional<Encoding> encoding;
    std::optional<int> sampleRate;
    std::optional<int> levelTenths;
};

// asterisk, freeswitch, cisco, avaya, teams, 3cx, wav.
QStringList phoneSystemNames();

// The files `system` takes, with `choice` applied where the system leaves a choice. Throws AppError 5
// naming the option for an unknown system or a choice the system's format contradicts.
SystemLayout layoutFor(const QString& system, const FormatChoice& choice);

// The encodings `system` lets a set choose, its own first; empty when it fixes the encoding (or is
// unknown).
QList<Encoding> encodingChoices(const QString& system);

} // namespace quillfen
